#pragma once

#include <signal.h>

#include <iterator>
#include <mutex>

// What the POSIX SafeFileWriter puts in files of their own: the attributes a
// replacement takes from the file it replaces, and the signals held while the
// complete file is put in place.
namespace Stimulark::SafeFiles {

// Gives replacement the owner and group of replaced as far as the user may give
// them away, its mode (without set-ID bits when neither could be given), its access
// list and its user.* attributes; a new file (replaced < 0) gets the mode that fopen
// would give it. false when the replacement cannot carry the access list or an
// attribute: the list needs the owner and the group kept, since it names them only
// as "the owner" and "the group".
bool takeAttributes(int replacement, int replaced);

// Holds SIGINT, SIGTERM and SIGHUP while it lasts: they are only noted, and raised
// again once the previous dispositions are back, so that a program asked to end
// ends right after. One holds at a time: dispositions belong to the process.
class HeldSignals {
public:
    HeldSignals();
    ~HeldSignals();
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

    static constexpr int held[] = {SIGINT, SIGTERM, SIGHUP};

private:
    std::lock_guard<std::mutex> turn;
    struct sigaction previous[std::size(held)];
};

} // namespace Stimulark::SafeFiles
