#include "stimulark/file/File.hpp"

#include "stimulark/core/Exception.hpp"
#include "stimulark/platform/FileServices.hpp"
#include "stimulark/platform/Platform.hpp"

#include <algorithm>
#include <ctime>
#include <string_view>
#include <utility>

namespace Stimulark {

namespace {

// The user's configuration folder with its trailing "/"; the user-setting folder
// is rebuilt from it by every refresh. Empty until the folders have been found.
std::string& settingsBase() {
    static std::string base;
    return base;
}

// Replaces every occurrence of token, scanning the text only, so that the time grows
// with the text and a replacement holding the token is never scanned again. The
// occurrences are counted first, so that the result is allocated once.
std::string replaceEvery(std::string text, std::string_view token, const std::string& replacement) {
    std::size_t count = 0;
    for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + token.size()))
        ++count;
    if (count == 0)
        return text;
    std::string result;
    result.reserve(text.size() - count * token.size() + count * replacement.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, from)) {
        result.append(text, from, at - from).append(replacement);
        from = at + token.size();
    }
    return result.append(text, from);
}

// The path with exactly one trailing "/".
std::string asFolder(std::string path) {
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    return path + "/";
}

// Creates the levels of folder below base, which is left as it is. A level named
// "." or ".." would lead out of it, so nothing is created from there on.
void createFoldersBelow(const std::string& base, const std::string& folder) {
    for (std::size_t start = base.size(); start < folder.size();) {
        const std::size_t end = std::min(folder.find_first_of("/\\", start), folder.size());
        const std::string_view level(folder.data() + start, end - start);
        if (level == "." || level == "..")
            return;
        if (!level.empty() && !createFolder(folder.substr(0, end).c_str()))
            return;
        start = end + 1;
    }
}

std::string localTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localTime(now, local);
    char buffer[64] = {};
    std::strftime(buffer, sizeof buffer, "%Y%m%d_%H%M%S", &local);
    return buffer;
}

} // namespace

std::array<File::PATH_ID_STRING, 6>& File::pathIds() {
    static std::array<PATH_ID_STRING, 6> table{{
        {"", "%APP%", 5},
        {"", "%RESOURCES%", 11},
        {"", "%USER_HOME%", 11},
        {"", "%USER_SETTING%", 14},
        {"", "%USER_DOCUMENTS%", 16},
        {"", "%USER_DOCUMENTS_ROOT%", 21},
    }};
    return table;
}

std::string& File::toolkitFolderName() {
    static std::string name = "Stimulark";
    return name;
}

std::string& File::experimentName() {
    static std::string name;
    return name;
}

std::string File::decodePath(const std::string& name) {
    std::string result = name;
    refreshUserFolders();

    for (char& c : result)
        if (c == '\\')
            c = '/';

    // A drive's colon ("C:/data") is part of the path, not a character to clean.
    const auto cleaned = result.begin() + static_cast<std::ptrdiff_t>(driveDesignatorLength(result));
    const auto refused = [](char c) { return std::string_view(";,:*?\"<>|").find(c) != std::string_view::npos; };
    result.erase(std::remove_if(cleaned, result.end(), refused), result.end());

    // Only the first occurrence of each folder placeholder is replaced.
    for (const PATH_ID_STRING& entry : pathIds()) {
        const std::size_t at = result.find(entry.id);
        if (at != std::string::npos)
            result.replace(at, static_cast<std::size_t>(entry.idLength), entry.path);
    }

    if (result.find("%TIME_") != std::string::npos)
        result = replaceEvery(std::move(result), "%TIME_", localTimeStamp());
    return replaceEvery(std::move(result), "%EXPNAME_", experimentName());
}

std::string File::decodePathForSaving(const std::string& name) {
    std::string path = decodePath(name);
    if (path.find('\0') != std::string::npos)
        return path;
    const auto& table = pathIds();
    const std::pair<PathId, const std::string&> userFolders[] = {{USER_SETTING, settingsBase()},
                                                                 {USER_DOCUMENTS, table[USER_DOCUMENTS_ROOT].path}};
    for (const auto& [id, base] : userFolders) {
        const std::string& folder = table[id].path;
        if (!base.empty() && name.starts_with(table[id].id) && path.starts_with(folder))
            createFoldersBelow(base, folder);
    }
    return path;
}

void File::initializeFolders() {
    Platform& host = platform();
    auto& table = pathIds();

    // Either separator ends the folder, so that a Windows path given as it is works too.
    const std::string executable = host.executablePath();
    const std::size_t separator = executable.find_last_of("/\\");
    table[APP].path = separator == std::string::npos ? std::string() : executable.substr(0, separator + 1);
    table[RESOURCES].path = table[APP].path + "Resources/";

    const std::optional<UserFolders> folders = host.userFolders();
    if (!folders)
        throw Exception(typeid(File), "", "Failed to get user home path.");
    table[USER_HOME].path = asFolder(folders->home);
    settingsBase() = asFolder(folders->settings);
    table[USER_DOCUMENTS_ROOT].path = asFolder(folders->documents);

    refreshUserFolders();
}

void File::refreshUserFolders() {
    auto& table = pathIds();
    const std::string& toolkit = toolkitFolderName();
    const std::string& experiment = experimentName();
    const bool withExperiment = toolkit == "Stimulark" && !experiment.empty();

    // Folders not found yet stay empty rather than turning into relative paths.
    auto build = [&](const std::string& base) {
        if (base.empty())
            return std::string();
        std::string folder = base + toolkit + "/";
        if (withExperiment)
            folder += experiment + "/";
        return folder;
    };
    table[USER_SETTING].path = build(settingsBase());
    table[USER_DOCUMENTS].path = build(table[USER_DOCUMENTS_ROOT].path);
}

} // namespace Stimulark
