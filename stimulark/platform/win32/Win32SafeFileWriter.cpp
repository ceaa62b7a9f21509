#include "stimulark/platform/SafeFileWriter.hpp"

#include "stimulark/platform/win32/WindowsApi.hpp"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

namespace Stimulark {

namespace {

constexpr std::size_t NAME_MAX_LENGTH = 255; // UTF-16 units, as MAX_PATH counts them

bool isRegularFile(const std::string& path, bool& exists) {
    struct _stat64 status {};
    exists = _stat64(path.c_str(), &status) == 0;
    return exists && (status.st_mode & _S_IFMT) == _S_IFREG;
}

// The path as the system resolves it, in UTF-16, which the names' limits count; paths
// come in the ANSI code page, as the C library takes them. Empty when it has none.
std::wstring fullPath(const std::string& path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD got = size > 0 ? GetFullPathNameW(wide.c_str(), size, full.data(), nullptr) : 0;
    full.resize(got < size ? got : 0);
    return full;
}

// A file so marked is deleted as its last handle closes, however the program ends.
bool deleteOnClose(HANDLE file, bool deleted) {
    FILE_DISPOSITION_INFO disposition{deleted};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Renames the file through its handle, which holds it unshared; the mark is cleared just
// before and set again if the rename fails.
bool renameOver(HANDLE file, const std::wstring& target) {
    const std::size_t bytes = sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t);
    std::vector<std::uint64_t> buffer(bytes / sizeof(std::uint64_t) + 1);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, target.c_str(), (target.size() + 1) * sizeof(wchar_t));
    if (!deleteOnClose(file, false))
        return false;
    if (SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(bytes)))
        return true;
    deleteOnClose(file, true);
    return false;
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

// Beside the file it stands in for, so that the rename stays within one volume, and
// marked to be deleted until then. Its name tells which file it belongs to, shortened
// to keep within a name's 255 characters and MAX_PATH, which bounds the target too.
bool SafeFileWriter::openTemporary() {
    const std::wstring target = fullPath(targetPath);
    const std::size_t slash = target.find_last_of(L"\\/");
    if (target.size() >= MAX_PATH || slash == std::wstring::npos || slash + 1 + 8 >= MAX_PATH)
        return false;
    const std::wstring folder = target.substr(0, slash + 1);
    std::wstring name = target.substr(slash + 1, std::min(NAME_MAX_LENGTH, MAX_PATH - 1 - folder.size()) - 8);
    if (!name.empty() && IS_HIGH_SURROGATE(name.back()))
        name.pop_back();
    static constexpr wchar_t letters[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device source;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring candidate = folder + L"." + name + L".";
        for (int i = 0; i < 6; ++i)
            candidate += letters[source() % (std::size(letters) - 1)];
        const HANDLE handle = CreateFileW(candidate.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS)
            continue;
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        if (!deleteOnClose(handle, true)) {
            CloseHandle(handle);
            DeleteFileW(candidate.c_str());
            return false;
        }
        const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (descriptor < 0) {
            CloseHandle(handle);
            return false;
        }
        file = _fdopen(descriptor, "wb");
        if (!file)
            _close(descriptor);
        return file != nullptr;
    }
    return false;
}

// Whatever fails, closing the temporary deletes it.
SafeFileWriter::Outcome SafeFileWriter::commit() {
    if (!file)
        return Outcome::writeFailed;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    Outcome outcome = Outcome::written;
    if (std::ferror(file) != 0 || std::fflush(file) != 0 || _commit(_fileno(file)) != 0)
        outcome = Outcome::writeFailed;
    else if (!renameOver(handle, fullPath(targetPath)))
        outcome = Outcome::notReplaced;
    discard();
    return outcome;
}

void SafeFileWriter::discard() {
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
    targetPath.clear();
}

void SafeFileWriter::closeTarget() {}
void SafeFileWriter::ignoreSignals() {}
void SafeFileWriter::restoreSignals() {}

} // namespace Stimulark
