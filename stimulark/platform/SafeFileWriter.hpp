#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace Stimulark {

// Writes a file so that an existing one changes only once the new contents are
// complete. Symbolic links are followed and their target written. A regular file
// is replaced by renaming a complete temporary file over it, keeping its mode, its
// access list and user attributes and, where permitted, its owner and group. A
// regular file with other hard links is rewritten in place once the new contents
// are complete, so that every name shows them, and so is one whose access list or
// attributes the replacement cannot carry: the list needs the owner and group
// kept, and an attribute may be unreadable to the user. A FIFO or a character
// device is written straight through; a FIFO without a reader is refused at once.
// Other kinds of files are refused. On Windows a regular file is always replaced.
//
// So that a save killed midway leaves nothing behind, the temporary file has no
// name until it is complete (Linux's O_TMPFILE, where the file system has it), or
// is marked to be deleted with its handle until just before the rename (Windows).
// Its name, ".<name>.XXXXXX" beside the file, is shortened to the system's limits.
//
// On POSIX systems SIGXFSZ and SIGPIPE are ignored from open until commit or
// discard, so that a file-size limit or a vanished reader fails the write instead
// of ending the program; SIGINT, SIGTERM and SIGHUP are held while the complete
// file is put in place and raised again after. Each operating system has its own
// implementation, in platform/posix/ and platform/win32/.
class SafeFileWriter {
public:
    enum class Outcome { written, writeFailed, notReplaced };

    SafeFileWriter();
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // false, with nothing changed on the disk, when the path cannot be written.
    bool open(const std::string& path);
    // Where the contents go; owned by the writer. Null unless open succeeded.
    std::FILE* stream() const { return file; }
    // Puts the contents in place. writeFailed: a write, a flush or the sync failed;
    // notReplaced: the complete file could not be renamed over the old one. Either
    // way the old file is as it was and no temporary file is left.
    Outcome commit();
    // Drops what was written; harmless when nothing is open.
    void discard();

private:
    Outcome place();
    bool openTemporary();
    bool nameTemporary(int descriptor);
    void closeTarget();
    void removeTemporary();
    void ignoreSignals();
    void restoreSignals();

    std::string targetPath;
    std::string temporaryPath;
    int target = -1; // the existing file, open while it exists
    std::FILE* file = nullptr;
    bool throughTarget = false;
    bool inPlace = false;
    bool unnamed = false; // the temporary has no name until it is complete
    // The signal dispositions in force before the write, and the signals held while
    // the file is put in place, where there are signals.
    struct SavedSignals;
    std::unique_ptr<SavedSignals> savedSignals;
};

} // namespace Stimulark
