#include "stimulark/platform/posix/PosixSafeFileSupport.hpp"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace Stimulark::SafeFiles {

namespace {

constexpr char ACCESS_LIST[] = "system.posix_acl_access";

enum class Found { absent, present, unreadable };

// Reads what fill(buffer, size) gives, asking for its size first and again if it grew in between.
template <typename Fill>
Found readSized(std::string& value, Fill fill) {
    for (;;) {
        const ssize_t size = fill(nullptr, 0);
        if (size < 0)
            return errno == ENODATA || errno == ENOTSUP ? Found::absent : Found::unreadable;
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = fill(value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return Found::present;
        }
        if (errno != ERANGE)
            return Found::unreadable;
    }
}

Found readAttribute(int file, const char* name, std::string& value) {
    return readSized(value, [&](char* buffer, std::size_t size) { return ::fgetxattr(file, name, buffer, size); });
}

bool carryAccessList(int replacement, int replaced, bool ownersKept) {
    std::string list;
    switch (readAttribute(replaced, ACCESS_LIST, list)) {
    case Found::absent: // and the replacement has none either, though its folder's default list gave it one
        return ::fremovexattr(replacement, ACCESS_LIST) == 0 || errno == ENODATA || errno == ENOTSUP;
    case Found::present:
        return ownersKept && ::fsetxattr(replacement, ACCESS_LIST, list.data(), list.size(), 0) == 0;
    case Found::unreadable:
        break;
    }
    return false;
}

bool carryUserAttributes(int replacement, int replaced) {
    std::string names; // each ends in a NUL
    const Found listed =
        readSized(names, [&](char* buffer, std::size_t size) { return ::flistxattr(replaced, buffer, size); });
    if (listed != Found::present)
        return listed == Found::absent;
    for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
        const char* name = names.c_str() + at;
        std::string value;
        if (std::strncmp(name, "user.", 5) != 0)
            continue;
        const Found found = readAttribute(replaced, name, value);
        if (found == Found::unreadable ||
            (found == Found::present && ::fsetxattr(replacement, name, value.data(), value.size(), 0) != 0))
            return false;
    }
    return true;
}

} // namespace

// The owner and group go first, as far as the user may give them away, then the mode
// (a change of owner clears the set-ID bits), then the access list, which sets the
// mode's group bits to its mask.
bool takeAttributes(int replacement, int replaced) {
    struct stat status {};
    if (replaced < 0 || ::fstat(replaced, &status) != 0) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(replacement, 0666 & ~mask);
        return true;
    }
    const bool ownersKept = ::fchown(replacement, status.st_uid, status.st_gid) == 0;
    if (!ownersKept && ::fchown(replacement, static_cast<uid_t>(-1), status.st_gid) != 0)
        status.st_mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    ::fchmod(replacement, status.st_mode & 07777);
    return carryAccessList(replacement, replaced, ownersKept) && carryUserAttributes(replacement, replaced);
}

} // namespace Stimulark::SafeFiles
