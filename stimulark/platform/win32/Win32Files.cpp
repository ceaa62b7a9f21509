#include "stimulark/platform/FileServices.hpp"

#include "stimulark/platform/win32/WindowsApi.hpp"

#include <direct.h>
#include <sys/stat.h>

#include <cerrno>

namespace Stimulark {

// Windows has no FIFOs to wait on at open; a device such as CON or NUL opens at
// once and is then turned away by its kind, like a folder.
std::FILE* openRegularFile(const char* path, const char* mode) {
    if (!path || !mode)
        return nullptr;
    std::FILE* file = std::fopen(path, mode);
    if (!file)
        return nullptr;
    struct _stat64 status {};
    if (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

bool createFolder(const char* path) {
    if (_mkdir(path) == 0)
        return true;
    struct _stat64 status {};
    return errno == EEXIST && _stat64(path, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFDIR;
}

std::size_t driveDesignatorLength(std::string_view path) {
    const bool letter = path.size() >= 2 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return letter && path[1] == ':' ? 2 : 0;
}

bool localTime(std::time_t moment, std::tm& local) { return localtime_s(&local, &moment) == 0; }

std::string systemFontsFolder() {
    char folder[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length > MAX_PATH)
        return {};
    std::string path(folder, length);
    if (path.back() != '\\')
        path += '\\';
    return path + "Fonts\\";
}

} // namespace Stimulark
