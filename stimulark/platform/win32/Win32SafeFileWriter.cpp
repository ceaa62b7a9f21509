#include "stimulark/platform/SafeFileWriter.hpp"

#include "stimulark/platform/win32/WindowsApi.hpp"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <random>

namespace Stimulark {

namespace {

bool isRegularFile(const std::string& path, bool& exists) {
    struct _stat64 status {};
    exists = _stat64(path.c_str(), &status) == 0;
    return exists && (status.st_mode & _S_IFMT) == _S_IFREG;
}

} // namespace

// Windows has neither SIGXFSZ nor SIGPIPE: a failed write is reported by the call.
struct SafeFileWriter::SavedSignals {};

SafeFileWriter::SafeFileWriter() = default;
SafeFileWriter::~SafeFileWriter() { discard(); }

// Only a new file or a regular one that the user may write is taken; the contents
// go to a temporary file beside it, which replaces it once complete.
bool SafeFileWriter::open(const std::string& path) {
    discard();
    if (path.empty())
        return false;
    bool exists = false;
    if (!isRegularFile(path, exists) && exists)
        return false;
    if (exists) {
        const int probe = _open(path.c_str(), _O_WRONLY | _O_BINARY);
        if (probe < 0)
            return false;
        _close(probe);
    }
    targetPath = path;
    if (!openTemporary()) {
        targetPath.clear();
        return false;
    }
    return true;
}

bool SafeFileWriter::openTemporary() {
    const std::size_t slash = targetPath.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : targetPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? targetPath : targetPath.substr(slash + 1);
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device source;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + "." + name + ".";
        for (int i = 0; i < 6; ++i)
            candidate += letters[source() % (sizeof letters - 1)];
        const int descriptor =
            _open(candidate.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (descriptor < 0)
            continue;
        file = _fdopen(descriptor, "wb");
        if (!file) {
            _close(descriptor);
            std::remove(candidate.c_str());
            return false;
        }
        temporaryPath = candidate;
        return true;
    }
    return false;
}

SafeFileWriter::Outcome SafeFileWriter::commit() {
    if (!file)
        return Outcome::writeFailed;
    const bool written = std::ferror(file) == 0 && std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    if (!written || !closed) {
        removeTemporary();
        return Outcome::writeFailed;
    }
    if (!MoveFileExA(temporaryPath.c_str(), targetPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        removeTemporary();
        return Outcome::notReplaced;
    }
    temporaryPath.clear();
    targetPath.clear();
    return Outcome::written;
}

void SafeFileWriter::discard() {
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
    removeTemporary();
    targetPath.clear();
}

void SafeFileWriter::closeTarget() {}

void SafeFileWriter::removeTemporary() {
    if (!temporaryPath.empty())
        std::remove(temporaryPath.c_str());
    temporaryPath.clear();
}

void SafeFileWriter::ignoreSignals() {}
void SafeFileWriter::restoreSignals() {}

} // namespace Stimulark
