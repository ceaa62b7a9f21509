#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

// The operating system's file and time services that the portable code needs
// beyond standard C++; each system has its own implementation, in platform/posix/
// and platform/win32/.
namespace Stimulark {

// Opens path as fopen would with mode ("r", "w", "a", each optionally with "b" or
// "+"), but only when it is a regular file: a folder, a device or a FIFO gives
// null, and a FIFO is refused at once rather than waited for.
std::FILE* openRegularFile(const char* path, const char* mode);

// Creates the folder at path, whose parent must exist, with the permissions a
// new folder gets; true when a folder is there afterwards, new or not.
bool createFolder(const char* path);

// The length of the drive designator ("C:") that begins path, whose colon belongs
// to the path; 0 where paths have no drives.
std::size_t driveDesignatorLength(std::string_view path);

// The local time of a moment; false when the system cannot tell it.
bool localTime(std::time_t moment, std::tm& local);

#ifdef _WIN32
// The system's font folder, the subfolder Fonts of the Windows folder, with a closing
// backslash; empty when Windows cannot tell it. Elsewhere fontconfig knows the fonts.
std::string systemFontsFolder();
#endif

} // namespace Stimulark
