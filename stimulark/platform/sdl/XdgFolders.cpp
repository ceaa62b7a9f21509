#include "stimulark/platform/sdl/XdgFolders.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Stimulark::Xdg {

namespace {

// Without its trailing slashes, so that "<folder>/name" never doubles them; "/" gives "".
std::string_view withoutTrailingSlashes(std::string_view path) {
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

// The path without its trailing slashes, except that the root stays "/".
std::string asPath(std::string_view path) {
    const std::string_view trimmed = withoutTrailingSlashes(path);
    return trimmed.empty() && !path.empty() ? "/" : std::string(trimmed);
}

bool isNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Length of a $HOME or ${HOME} reference at text[at] (which holds '$'), 0 if none.
std::size_t homeReference(std::string_view text, std::size_t at) {
    const std::string_view rest = text.substr(at);
    if (rest.starts_with("${HOME}"))
        return 7;
    if (rest.starts_with("$HOME") && (rest.size() == 5 || !isNameCharacter(rest[5])))
        return 5;
    return 0;
}

// Inside double quotes the shell keeps a backslash unless it precedes one of these.
bool escapes(char next, bool quoted) {
    return !quoted || next == '$' || next == '`' || next == '"' || next == '\\';
}

// The shell value that starts the text: double-quoted (with backslash escapes) or
// bare up to the first blank. References to HOME are expanded; nothing when the
// quote is not closed.
std::optional<std::string> shellValue(std::string_view text, std::string_view home) {
    std::string value;
    const bool quoted = !text.empty() && text.front() == '"';
    for (std::size_t i = quoted ? 1 : 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"')
            return value;
        if (!quoted && (c == ' ' || c == '\t' || c == '\r'))
            return value;
        if (c == '\\' && i + 1 < text.size() && escapes(text[i + 1], quoted)) {
            value += text[++i];
        } else if (const std::size_t length = c == '$' ? homeReference(text, i) : 0) {
            value += home;
            i += length - 1;
        } else {
            value += c;
        }
    }
    if (quoted)
        return std::nullopt;
    return value;
}

std::optional<std::string> nonEmpty(std::optional<std::string> value) {
    if (value && value->empty())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::string> homeFolder(const Environment& environment, const AccountHome& accountHome) {
    if (auto home = nonEmpty(environment("HOME")))
        return home;
    return nonEmpty(accountHome());
}

std::string configFolder(const Environment& environment, const std::string& home) {
    // Relative values are not valid for this variable and are ignored, as the
    // desktop's own tools do.
    const auto config = environment("XDG_CONFIG_HOME");
    if (config && config->starts_with('/'))
        return *config;
    return std::string(withoutTrailingSlashes(home)) + "/.config";
}

std::optional<std::string> documentsEntry(std::string_view text, const std::string& home) {
    constexpr std::string_view key = "XDG_DOCUMENTS_DIR=";
    const std::string_view homeText = withoutTrailingSlashes(home);
    std::optional<std::string> found;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (!line.starts_with(key))
            continue;
        // Like the shell that reads this file: the last assignment wins.
        found = shellValue(line.substr(key.size()), homeText);
    }
    if (!found || !found->starts_with('/'))
        return std::nullopt;
    return found;
}

// Every program reads this file at start-up, so only a regular file of sensible
// size is read: a FIFO would hang the start, and a link to /dev/zero fill memory.
// O_NONBLOCK keeps the open itself from waiting for a FIFO's writer.
std::optional<std::string> readSmallFile(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return std::nullopt;
    std::optional<std::string> text;
    struct stat status {};
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= userDirsLimit) {
        text.emplace();
        char buffer[4096];
        ssize_t got = 0;
        constexpr auto limit = static_cast<std::size_t>(userDirsLimit);
        while (text->size() <= limit && (got = ::read(descriptor, buffer, sizeof buffer)) > 0)
            text->append(buffer, static_cast<std::size_t>(got));
        if (got < 0 || text->size() > limit) // it grew while read
            text.reset();
    }
    ::close(descriptor);
    return text;
}

std::string documentsFolder(const std::string& config, const std::string& home) {
    if (const auto text = readSmallFile(std::string(withoutTrailingSlashes(config)) + "/user-dirs.dirs"))
        if (auto documents = documentsEntry(*text, home))
            return *documents;
    return std::string(withoutTrailingSlashes(home)) + "/Documents";
}

std::optional<UserFolders> userFolders(const Environment& environment, const AccountHome& accountHome) {
    const std::optional<std::string> home = homeFolder(environment, accountHome);
    if (!home)
        return std::nullopt;
    const std::string config = configFolder(environment, *home);
    return UserFolders{asPath(*home), asPath(config), asPath(documentsFolder(config, *home))};
}

} // namespace Stimulark::Xdg
