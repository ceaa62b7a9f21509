#pragma once

#include <array>
#include <string>

namespace Stimulark {

// Placeholders in file names and the folders they stand for. Every folder ends in "/".
class File {
public:
    struct PATH_ID_STRING {
        std::string path; // the folder, empty until the folders are found
        std::string id;   // the placeholder text, percent signs included
        int idLength = 0;
    };

    enum PathId { APP = 0, RESOURCES, USER_HOME, USER_SETTING, USER_DOCUMENTS, USER_DOCUMENTS_ROOT };

    // "%APP%", "%RESOURCES%", "%USER_HOME%", "%USER_SETTING%", "%USER_DOCUMENTS%",
    // "%USER_DOCUMENTS_ROOT%", in that order.
    static std::array<PATH_ID_STRING, 6>& pathIds();
    static std::string& toolkitFolderName(); // "Stimulark"
    static std::string& experimentName();    // empty unless a program sets it

    // Turns a file name with placeholders, "%TIME_" and "%EXPNAME_" into a path.
    static std::string decodePath(const std::string& name);
    // Finds the six folders; refuses to go on when no home folder can be found.
    static void initializeFolders();
    // Rebuilds the user-setting and user-documents folders from their bases.
    static void refreshUserFolders();
};

} // namespace Stimulark
