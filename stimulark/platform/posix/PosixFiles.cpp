#include "stimulark/platform/FileServices.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Stimulark {

namespace {

int openFlags(const char* mode) {
    const bool update = std::strchr(mode, '+') != nullptr;
    switch (mode[0]) {
    case 'r': return update ? O_RDWR : O_RDONLY;
    case 'w': return (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
    case 'a': return (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
    default: return -1;
    }
}

} // namespace

// O_NONBLOCK keeps the open of a FIFO from waiting for the other end, and the
// descriptor whose kind is checked is the one that is used.
std::FILE* openRegularFile(const char* path, const char* mode) {
    const int flags = path && mode ? openFlags(mode) : -1;
    const int descriptor = flags < 0 ? -1 : ::open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return nullptr;
    struct stat status {};
    const bool regular = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
                         ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) == 0;
    std::FILE* file = regular ? ::fdopen(descriptor, mode) : nullptr;
    if (!file)
        ::close(descriptor);
    return file;
}

bool createFolder(const char* path) {
    if (::mkdir(path, 0777) == 0)
        return true;
    struct stat status {};
    return errno == EEXIST && ::stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

std::size_t driveDesignatorLength(std::string_view) { return 0; }

bool localTime(std::time_t moment, std::tm& local) { return localtime_r(&moment, &local) != nullptr; }

} // namespace Stimulark
