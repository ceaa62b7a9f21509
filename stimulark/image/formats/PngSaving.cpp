#include "stimulark/image/formats/PngBridge.hpp"

#include "stimulark/image/formats/PngCommon.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <new>

namespace Stimulark::IMAGE_FORMATS {

namespace {

constexpr int LINK_HOPS = 40; // as many as the kernel follows

// Holds libpng's error return, which leaves it by longjmp: nothing in its frame may
// have a destructor.
bool writeGuarded(png_structp png, png_infop info, std::FILE* file, png_uint_32 width,
                  png_uint_32 height, int colorType, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_write_status_fn(png, nullptr);
    png_set_IHDR(png, info, width, height, 8, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// The path that a write through path lands on. Symbolic links are followed, relative
// ones from their own folder, so that a link stays and its target is replaced.
bool followLinks(std::string& path) {
    for (int hop = 0; hop <= LINK_HOPS; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return true;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof target))
            return false;
        const std::string next(target, static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        path = next.front() == '/' || slash == std::string::npos ? next : path.substr(0, slash + 1) + next;
    }
    return false;
}

// A file-size limit raises SIGXFSZ and a FIFO whose reader left raises SIGPIPE; either
// would end the program before the write could fail and the temporary file be removed.
// Dispositions are process-wide, so this holds for the whole save only.
class WriteSignalsIgnored {
public:
    WriteSignalsIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &previousFileSize);
        ::sigaction(SIGPIPE, &ignore, &previousPipe);
    }
    ~WriteSignalsIgnored() {
        ::sigaction(SIGXFSZ, &previousFileSize, nullptr);
        ::sigaction(SIGPIPE, &previousPipe, nullptr);
    }
    WriteSignalsIgnored(const WriteSignalsIgnored&) = delete;
    WriteSignalsIgnored& operator=(const WriteSignalsIgnored&) = delete;

private:
    struct sigaction previousFileSize {};
    struct sigaction previousPipe {};
};

// The replacement takes the replaced file's owner and group as far as the user may give
// them away, then its mode (a change of owner clears the set-ID bits); set-ID bits are
// never passed on to the saving user. A new file gets the mode that fopen would give
// it: 0666 less the umask.
void takeAttributes(int replacement, int replaced) {
    struct stat status {};
    if (replaced >= 0 && ::fstat(replaced, &status) == 0) {
        if (::fchown(replacement, status.st_uid, status.st_gid) != 0 &&
            ::fchown(replacement, static_cast<uid_t>(-1), status.st_gid) != 0)
            status.st_mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
        ::fchmod(replacement, status.st_mode & 07777);
        return;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(replacement, 0666 & ~mask);
}

// Rewrites target with the contents of source. Space is reserved first, so that a full
// disk shows before the old contents are touched.
bool copyInto(int source, int target) {
    const off_t size = ::lseek(source, 0, SEEK_END);
    if (size <= 0)
        return false;
    if (::fallocate(target, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
        return false;
    char buffer[1 << 16];
    for (off_t done = 0; done < size;) {
        const auto wanted = static_cast<std::size_t>(std::min<off_t>(size - done, sizeof buffer));
        const ssize_t got = ::pread(source, buffer, wanted, done);
        if (got <= 0)
            return false;
        for (ssize_t put = 0; put < got;) {
            const ssize_t wrote = ::pwrite(target, buffer + put, static_cast<std::size_t>(got - put), done + put);
            if (wrote <= 0)
                return false;
            put += wrote;
        }
        done += got;
    }
    return ::ftruncate(target, size) == 0 && ::fsync(target) == 0;
}

} // namespace

// Nothing is opened for an image that cannot be written, and an existing file is
// changed only once a complete PNG is on the disk.
void PNG_BRIDGE::save(const char* path, Image& image) {
    if (!image.haveBitmap || image.precision != BYTE)
        refuse("FILE FORMAT ERROR", NOT_WRITABLE);
    const WriteSignalsIgnored ignored;
    openTarget(path);
    if (!throughTarget)
        openTemporary();
    writeHeader();
    writePixels(image);
    destroyStructs();
    commit();
}

// Opening what exists at the path checks the user's right to write it as the kernel
// sees it. O_NONBLOCK refuses a FIFO without a reader at once instead of waiting; a
// FIFO or a character device is then written through, anything but a regular file
// refused.
void PNG_BRIDGE::openTarget(const char* path) {
    close();
    closeTarget();
    targetPath = path ? path : "";
    throughTarget = false;
    inPlace = false;
    if (targetPath.empty() || !followLinks(targetPath))
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    target = ::open(targetPath.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (target < 0) {
        if (errno != ENOENT)
            refuse("FILE ACCESS ERROR", NOT_OPENED);
        return;
    }
    struct stat status {};
    const bool known = ::fstat(target, &status) == 0;
    throughTarget = known && (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode));
    inPlace = known && S_ISREG(status.st_mode) && status.st_nlink > 1;
    if (!throughTarget && !(known && S_ISREG(status.st_mode))) {
        closeTarget();
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    }
    if (!throughTarget)
        return;
    file = ::fcntl(target, F_SETFL, ::fcntl(target, F_GETFL) & ~O_NONBLOCK) == 0 ? ::fdopen(target, "wb") : nullptr;
    if (!file) {
        closeTarget();
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    }
    target = -1; // the stream owns it now
    fileOpen = true;
}

// Beside the file it stands in for, so that the rename stays within one file system;
// its name tells which file it belongs to.
void PNG_BRIDGE::openTemporary() {
    const std::size_t slash = targetPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : targetPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? targetPath : targetPath.substr(slash + 1);
    temporaryPath = folder + "." + name.substr(0, NAME_MAX - 8) + ".XXXXXX";
    const int descriptor = ::mkostemp(temporaryPath.data(), O_CLOEXEC);
    if (descriptor < 0) {
        temporaryPath.clear();
        closeTarget();
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    }
    file = ::fdopen(descriptor, "wb");
    if (!file) {
        ::close(descriptor);
        discardTemporary();
        closeTarget();
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    }
    fileOpen = true;
}

void PNG_BRIDGE::writeHeader() {
    writing = true;
    pngStruct = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!pngStruct)
        failWriting();
    infoStruct = png_create_info_struct(pngStruct);
    if (!infoStruct)
        failWriting();
}

void PNG_BRIDGE::writePixels(Image& image) {
    static constexpr int COLOR_TYPES[3] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    takeImageInfo(image);
    if (precision != BYTE)
        failWriting();
    const int width = static_cast<int>(image.getWidth());
    const int height = static_cast<int>(image.getHeight());
    png_bytepp rows = pngRowPointers(bitmap, lineBytes, height);
    if (!rows) {
        destroyStructs();
        discardTemporary();
        close();
        closeTarget();
        throw std::bad_alloc();
    }
    const bool complete = writeGuarded(pngStruct, infoStruct, file, static_cast<png_uint_32>(width),
                                       static_cast<png_uint_32>(height), COLOR_TYPES[components], rows);
    std::free(rows);
    if (!complete)
        failWriting();
}

// Buffered write errors (a full disk) surface here, before the target changes. A FIFO
// or a device cannot be synced and has nothing to replace.
void PNG_BRIDGE::commit() {
    const int descriptor = ::fileno(file);
    bool written = std::fflush(file) == 0 && (throughTarget || ::fsync(descriptor) == 0);
    if (written && inPlace)
        written = copyInto(descriptor, target);
    else if (written && !throughTarget)
        takeAttributes(descriptor, target);
    written = std::fclose(file) == 0 && written;
    file = nullptr;
    fileOpen = false;
    closeTarget();
    if (!written) {
        discardTemporary();
        refuse("FILE FORMAT ERROR", NOT_WRITABLE);
    }
    if (!throughTarget && !inPlace && std::rename(temporaryPath.c_str(), targetPath.c_str()) != 0) {
        discardTemporary();
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    }
    if (inPlace)
        discardTemporary();
    temporaryPath.clear();
}

void PNG_BRIDGE::discardTemporary() {
    if (temporaryPath.empty())
        return;
    close();
    std::remove(temporaryPath.c_str());
    temporaryPath.clear();
}

void PNG_BRIDGE::closeTarget() {
    if (target >= 0)
        ::close(target);
    target = -1;
}

void PNG_BRIDGE::failWriting() {
    destroyStructs();
    discardTemporary();
    close();
    closeTarget();
    refuse("FILE FORMAT ERROR", NOT_WRITABLE);
}

} // namespace Stimulark::IMAGE_FORMATS
