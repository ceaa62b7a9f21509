#pragma once

#include "stimulark/platform/Platform.hpp"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace Stimulark {

// Where the user's folders are on a desktop that follows the XDG conventions.
// The process's environment and account come in as callables, so that tests can
// script them.
namespace Xdg {

// A variable of the environment by name; nothing when it is not set.
using Environment = std::function<std::optional<std::string>(const char* name)>;
// The home folder of the user's account; nothing when it is not known.
using AccountHome = std::function<std::optional<std::string>()>;

// $HOME, else the home folder of the user's account; nothing when neither is known.
std::optional<std::string> homeFolder(const Environment& environment, const AccountHome& accountHome);
// $XDG_CONFIG_HOME when it is an absolute path, else <home>/.config.
std::string configFolder(const Environment& environment, const std::string& home);
// The largest user-dirs file read; a larger one, or anything but a regular file
// (a FIFO, a device), counts as missing.
inline constexpr long userDirsLimit = 64 * 1024;
// XDG_DOCUMENTS_DIR of <config>/user-dirs.dirs, else <home>/Documents.
std::string documentsFolder(const std::string& config, const std::string& home);
// The XDG_DOCUMENTS_DIR value of a user-dirs file's text, with $HOME and ${HOME}
// expanded; nothing when the text sets no usable (absolute) value.
std::optional<std::string> documentsEntry(std::string_view text, const std::string& home);
// The three folders above without their trailing "/" (the root stays "/");
// nothing when there is no home folder.
std::optional<UserFolders> userFolders(const Environment& environment, const AccountHome& accountHome);

} // namespace Xdg

} // namespace Stimulark
