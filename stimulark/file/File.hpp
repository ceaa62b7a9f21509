#pragma once

/// \file
/// File-name placeholders and the folders they stand for.

#include <array>
#include <string>

namespace Stimulark {

/// Placeholders in file names and the folders they stand for. Every folder ends in "/".
///
/// Every file name the toolkit takes (Image::load, Canvas::saveFrameIntervals ...)
/// goes through decodePath, so `"%USER_DOCUMENTS%results.csv"` works wherever a
/// name is asked for.
class File {
public:
    /// One placeholder and its folder.
    struct PATH_ID_STRING {
        std::string path; ///< the folder, empty until the folders are found
        std::string id;   ///< the placeholder text, percent signs included
        int idLength = 0; ///< characters in id
    };

    /// Indices into pathIds(). APP is the executable's folder and RESOURCES its
    /// "Resources/" subfolder; USER_HOME is the user's home folder; USER_SETTING and
    /// USER_DOCUMENTS are the toolkit's subfolders of the configuration folder and
    /// of the documents folder, USER_DOCUMENTS_ROOT the documents folder itself.
    enum PathId { APP = 0, RESOURCES, USER_HOME, USER_SETTING, USER_DOCUMENTS, USER_DOCUMENTS_ROOT };

    /// `%APP%`, `%RESOURCES%`, `%USER_HOME%`, `%USER_SETTING%`, `%USER_DOCUMENTS%`,
    /// `%USER_DOCUMENTS_ROOT%`, in that order.
    static std::array<PATH_ID_STRING, 6>& pathIds();
    static std::string& toolkitFolderName(); ///< the user folders' subfolder, "Stimulark"; assignable
    static std::string& experimentName();    ///< for `%EXPNAME_`; empty unless a program sets it

    /// Turns a file name with placeholders, `%TIME_` and `%EXPNAME_` into a path.
    ///
    /// Backslashes become "/", and the characters `; , : * ? " < > |` are removed from
    /// the name, except the colon of a Windows drive letter that begins it, as in
    /// `C:/data`. Then the first occurrence of each folder placeholder is replaced by
    /// its folder, every `%TIME_` by the local time as YYYYMMDD_HHMMSS and every
    /// `%EXPNAME_` by experimentName(). The user folders are rebuilt first.
    static std::string decodePath(const std::string& name);
    /// decodePath for a file about to be written. A name that begins with
    /// `%USER_DOCUMENTS%` or `%USER_SETTING%` gets the folder it stands for created
    /// where it is missing, the experiment's subfolder included; neither the
    /// documents or configuration folder it lies in, nor a folder that the rest of
    /// the name adds. Nothing is created for a path holding a NUL, which no file
    /// can have.
    static std::string decodePathForSaving(const std::string& name);
    /// Finds the six folders; refuses to go on when no home folder can be found.
    /// The executable's folder ends at the last "/" or backslash of its path. The
    /// user's folders are the platform's: on Linux the home folder is $HOME, else
    /// the account's; the configuration folder is $XDG_CONFIG_HOME, else ~/.config;
    /// the documents folder is XDG_DOCUMENTS_DIR of its user-dirs.dirs, else
    /// ~/Documents. Without a home folder it throws "Stimulark::File [] Failed to
    /// get user home path.", after APP and RESOURCES are set. initializeToolkit
    /// calls it.
    static void initializeFolders();
    /// Rebuilds the user-setting and user-documents folders from their bases:
    /// `<base>/<toolkitFolderName>/`, followed by `<experimentName>/` when one is set
    /// and the toolkit folder has its default name. decodePath calls it.
    static void refreshUserFolders();
};

} // namespace Stimulark
