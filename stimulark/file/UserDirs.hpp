#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Stimulark {

class Platform;

// Where the user's folders are on a desktop that follows the XDG conventions.
namespace UserDirs {

// $HOME, else the home folder of the user's account; nothing when neither is known.
std::optional<std::string> homeFolder(Platform& host);
// $XDG_CONFIG_HOME when it is an absolute path, else <home>/.config.
std::string configFolder(Platform& host, const std::string& home);
// XDG_DOCUMENTS_DIR of <config>/user-dirs.dirs, else <home>/Documents.
std::string documentsFolder(const std::string& config, const std::string& home);
// The XDG_DOCUMENTS_DIR value of a user-dirs file's text, with $HOME and ${HOME}
// expanded; nothing when the text sets no usable (absolute) value.
std::optional<std::string> documentsEntry(std::string_view text, const std::string& home);
// The path with exactly one trailing "/".
std::string asFolder(std::string path);

} // namespace UserDirs

} // namespace Stimulark
