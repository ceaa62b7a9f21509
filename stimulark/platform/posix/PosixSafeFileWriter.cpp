#include "stimulark/platform/SafeFileWriter.hpp"

#include "stimulark/platform/posix/PosixSafeFileSupport.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <optional>
#include <random>
#include <utility>

namespace Stimulark {

namespace {

constexpr int LINK_HOPS = 40; // as many as the kernel follows

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

// ".<name>.XXXXXX" beside path, the name shortened to fit NAME_MAX, so that it tells
// which file it belongs to.
std::string temporaryPattern(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name.substr(0, NAME_MAX - 8) + ".XXXXXX";
}

} // namespace

struct SafeFileWriter::SavedSignals {
    struct sigaction fileSize {};
    struct sigaction pipe {};
    std::optional<SafeFiles::HeldSignals> held;
};

SafeFileWriter::SafeFileWriter() = default;
SafeFileWriter::~SafeFileWriter() { discard(); }

// Opening what exists at the path checks the user's right to write it as the kernel
// sees it. O_NONBLOCK refuses a FIFO without a reader at once instead of waiting; a
// FIFO or a character device is then written through, anything but a regular file
// refused.
bool SafeFileWriter::open(const std::string& path) {
    discard();
    targetPath = path;
    throughTarget = false;
    inPlace = false;
    unnamed = false;
    if (targetPath.empty() || !followLinks(targetPath))
        return false;
    ignoreSignals();
    target = ::open(targetPath.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (target < 0) {
        if (errno == ENOENT && openTemporary())
            return true;
        discard();
        return false;
    }
    struct stat status {};
    const bool known = ::fstat(target, &status) == 0;
    throughTarget = known && (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode));
    inPlace = known && S_ISREG(status.st_mode) && status.st_nlink > 1;
    if (known && S_ISREG(status.st_mode) && openTemporary())
        return true;
    if (throughTarget &&
        ::fcntl(target, F_SETFL, ::fcntl(target, F_GETFL) & ~O_NONBLOCK) == 0 &&
        (file = ::fdopen(target, "wb")) != nullptr) {
        target = -1; // the stream owns it now
        return true;
    }
    discard();
    return false;
}

// Beside the file it stands in for, so that the rename stays within one file system.
// Without a name (O_TMPFILE) where the file system has such files and /proc can name
// them later, so that a save cut short, even by SIGKILL, leaves nothing behind;
// elsewhere named from the start.
bool SafeFileWriter::openTemporary() {
    const std::size_t slash = targetPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : targetPath.substr(0, slash + 1);
    int descriptor = ::access("/proc/self/fd", X_OK) == 0
                         ? ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600)
                         : -1;
    unnamed = descriptor >= 0;
    if (!unnamed) {
        temporaryPath = temporaryPattern(targetPath);
        descriptor = ::mkostemp(temporaryPath.data(), O_CLOEXEC);
        if (descriptor < 0) {
            temporaryPath.clear();
            return false;
        }
    }
    file = ::fdopen(descriptor, "wb");
    if (!file)
        ::close(descriptor);
    return file != nullptr;
}

// Links the complete unnamed temporary into its folder through /proc, since linking
// the descriptor itself (AT_EMPTY_PATH) takes a privilege on older kernels. Where a
// name is taken, another is tried.
bool SafeFileWriter::nameTemporary(int descriptor) {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::string source = "/proc/self/fd/" + std::to_string(descriptor);
    std::minstd_rand pick(static_cast<unsigned>(::getpid()) ^
                          static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = temporaryPattern(targetPath);
        for (std::size_t at = temporaryPath.size() - 6; at < temporaryPath.size(); ++at)
            temporaryPath[at] = letters[pick() % (sizeof letters - 1)];
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, temporaryPath.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    temporaryPath.clear();
    return false;
}

SafeFileWriter::Outcome SafeFileWriter::commit() {
    const Outcome outcome = file ? place() : Outcome::writeFailed;
    discard();
    return outcome;
}

// Buffered write errors (a full disk) surface here, before the target changes. A FIFO
// or a device cannot be synced and has nothing to replace. Attributes that the
// replacement cannot carry stay with the old file, which is then rewritten in place.
// From then on Ctrl+C would leave that file part-written or the complete temporary
// named beside it, so it waits until discard has cleaned up.
SafeFileWriter::Outcome SafeFileWriter::place() {
    const int descriptor = ::fileno(file);
    if (std::ferror(file) != 0 || std::fflush(file) != 0 || (!throughTarget && ::fsync(descriptor) != 0))
        return Outcome::writeFailed;
    if (throughTarget)
        return std::fclose(std::exchange(file, nullptr)) == 0 ? Outcome::written : Outcome::writeFailed;
    inPlace = inPlace || !SafeFiles::takeAttributes(descriptor, target);
    savedSignals->held.emplace();
    if (inPlace)
        return copyInto(descriptor, target) ? Outcome::written : Outcome::writeFailed;
    if (unnamed && !nameTemporary(descriptor))
        return Outcome::notReplaced;
    if (std::fclose(std::exchange(file, nullptr)) != 0)
        return Outcome::writeFailed;
    if (std::rename(temporaryPath.c_str(), targetPath.c_str()) != 0)
        return Outcome::notReplaced;
    temporaryPath.clear(); // renamed: it is the file now
    return Outcome::written;
}

void SafeFileWriter::discard() {
    if (file)
        std::fclose(file);
    file = nullptr;
    closeTarget();
    removeTemporary();
    restoreSignals();
}

void SafeFileWriter::closeTarget() {
    if (target >= 0)
        ::close(target);
    target = -1;
}

void SafeFileWriter::removeTemporary() {
    if (!temporaryPath.empty())
        std::remove(temporaryPath.c_str());
    temporaryPath.clear();
}

// Dispositions are process-wide, so they are changed for the write only.
void SafeFileWriter::ignoreSignals() {
    if (savedSignals)
        return;
    savedSignals = std::make_unique<SavedSignals>();
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, &savedSignals->fileSize);
    ::sigaction(SIGPIPE, &ignore, &savedSignals->pipe);
}

void SafeFileWriter::restoreSignals() {
    if (!savedSignals)
        return;
    ::sigaction(SIGXFSZ, &savedSignals->fileSize, nullptr);
    ::sigaction(SIGPIPE, &savedSignals->pipe, nullptr);
    savedSignals.reset();
}

} // namespace Stimulark
