// Saves cut short by signals, and files whose access list and user attributes a save keeps: what Linux has
// and Windows has not (signals, fork, /proc, POSIX ACLs, extended attributes, seccomp).

#include "image/ImageTesting.hpp"

#include "stimulark/canvas/FrameIntervalFiles.hpp"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <map>

namespace Stimulark::Testing {
namespace {

constexpr uid_t nobody = 65534;
const bool root = ::geteuid() == 0;

// Runs save in a child process, as the unprivileged user 65534 when asked and the test runs as root; the
// child exits 0 when the save succeeded.
pid_t saveInChild(const std::function<void()>& save, bool unprivileged = false) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (unprivileged && root && (::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            std::_Exit(2);
        std::_Exit(failureMessage(save) == "no failure" ? 0 : 1);
    }
    return child;
}

int waitFor(pid_t child) {
    int status = 0;
    return ::waitpid(child, &status, 0) == child ? status : -1;
}

// Waits, for up to two minutes, until reached() holds; false if the child ended first.
bool whileRunning(pid_t child, const std::function<bool()>& reached) {
    for (int wait = 0; wait < 1'200'000; ++wait) {
        siginfo_t ended{};
        if (::waitid(P_PID, id_t(child), &ended, WEXITED | WNOHANG | WNOWAIT) != 0 || ended.si_pid == child)
            return false;
        if (reached())
            return true;
        ::usleep(100);
    }
    return false;
}

// Whether child has written more than a mebibyte to a file in folder, with a name or without.
bool writingInto(pid_t child, const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::directory_iterator fd("/proc/" + std::to_string(child) + "/fd", error), end; !error && fd != end;
         fd.increment(error)) {
        struct stat file {};
        std::error_code gone;
        if (fs::read_symlink(fd->path(), gone).string().starts_with(folder + "/") &&
            ::stat(fd->path().c_str(), &file) == 0 && file.st_size > 1 << 20)
            return true;
    }
    return false;
}

// Some 17 MB of CSV: long enough to write that a signal can be sent midway.
const std::vector<FrameJudgement>& longLog() {
    static const std::vector<FrameJudgement> log(500'000, {16.7, 1, 0, OnsetSource::swapCompletion});
    return log;
}

// A save ended midway, by SIGKILL, which nothing can catch, or by Ctrl+C, leaves the old file as it was and
// no temporary file: the new contents have no name until they are complete. The same for a user without
// privileges, whose saves then complete.
TEST(InterruptedSave, LeavesTheOldFileAndNoTemporary) {
    TempFolder folder;
    ASSERT_EQ(::chmod(folder.root.c_str(), 0755) | (root ? ::chown(folder.root.c_str(), nobody, nobody) : 0), 0);
    Image noise(2000, 2000, RGB, BYTE);
    std::generate(noise.byteBitmap, noise.byteBitmap + noise.bitmapBytes, std::mt19937(5));
    const std::map<std::string, std::function<void()>> saves{
        {"picture.png", [&] { PNG_BRIDGE().save((folder / "picture.png").c_str(), noise); }},
        {"intervals.csv", [&] { writeFrameIntervalsCsv(folder / "intervals.csv", longLog(), 16.7); }}};
    for (const auto& [name, save] : saves) {
        writeBytes(folder / name, "old");
        ASSERT_EQ(root ? ::chown((folder / name).c_str(), nobody, nobody) : 0, 0);
    }
    struct Interruption {
        std::string name;
        int signal;
        bool unprivileged;
    };
    for (const auto& [name, signal, unprivileged] :
         {Interruption{"picture.png", SIGKILL, false}, {"picture.png", SIGINT, true},
          {"intervals.csv", SIGKILL, true}, {"intervals.csv", SIGINT, false}}) {
        const pid_t child = saveInChild(saves.at(name), unprivileged);
        const bool midway = whileRunning(child, [&] { return writingInto(child, folder.root); });
        ::kill(child, signal);
        const int status = waitFor(child);
        EXPECT_TRUE(midway && WIFSIGNALED(status) && WTERMSIG(status) == signal) << name << ", signal " << signal;
        EXPECT_EQ(readBytes(folder / name), "old") << name << ", signal " << signal;
        EXPECT_EQ(folder.entries(), 2) << name << ", signal " << signal;
    }
    for (const auto& [name, save] : saves) {
        EXPECT_EQ(waitFor(saveInChild(save, true)), 0) << name;
        EXPECT_NE(readBytes(folder / name), "old") << name;
    }
    EXPECT_EQ(folder.entries(), 2);
}

volatile std::sig_atomic_t handledSignals = 0;
void countSignal(int) { handledSignals = handledSignals + 1; }

// Ctrl+C, SIGTERM or SIGHUP while a file with other hard links is rewritten in place waits until the file is
// whole, then takes its course: it ends the program at once or, where the program handles it, reaches the
// program's handler, which stays in place.
TEST(InterruptedSave, ASignalWaitsUntilAFileRewrittenInPlaceIsWhole) {
    TempFolder folder;
    const std::string linked = folder / "linked.csv", other = folder / "other.csv";
    writeFrameIntervalsCsv(folder / "whole.csv", longLog(), 16.7);
    const std::string whole = readBytes(folder / "whole.csv");
    const std::vector<FrameJudgement> shortLog(10, {16.7, 1, 0, OnsetSource::swapCompletion});
    for (const auto& [signal, handled] : {std::pair{SIGINT, false}, {SIGTERM, false}, {SIGHUP, true}}) {
        std::filesystem::remove(other);
        writeFrameIntervalsCsv(linked, shortLog, 16.7);
        ASSERT_EQ(::link(linked.c_str(), other.c_str()), 0);
        const auto oldSize = std::filesystem::file_size(linked);
        const pid_t child = ::fork();
        if (child == 0) {
            if (handled)
                std::signal(signal, countSignal);
            const bool saved = failureMessage([&] { writeFrameIntervalsCsv(linked, longLog(), 16.7); }) == "no failure";
            std::_Exit(saved && handledSignals == 1 && std::signal(signal, SIG_DFL) == countSignal ? 0 : 1);
        }
        const bool rewriting = whileRunning(child, [&] {
            struct stat file {};
            return ::stat(linked.c_str(), &file) == 0 && std::uintmax_t(file.st_size) != oldSize;
        });
        ::kill(child, signal);
        const int status = waitFor(child);
        EXPECT_TRUE(rewriting) << signal;
        if (handled)
            EXPECT_EQ(status, 0) << signal;
        else
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        const std::string saved = readBytes(linked);
        EXPECT_TRUE(saved == whole) << "signal " << signal << ": " << saved.size() << " of " << whole.size();
        EXPECT_EQ(folder.entries(), 3) << signal;
    }
}

std::string output(const std::string& command) {
    std::string text;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, got);
        ::pclose(pipe);
    }
    return text;
}

// Who may use a file, as its access list and its user attributes say it.
std::string accessAndAttributes(const std::string& path) {
    return output("getfacl -n -p '" + path + "' 2>&1; getfattr -d --absolute-names '" + path + "' 2>&1");
}

// A save keeps the access list, which says who else may write the file (with its mask in the mode's group
// bits), or the lack of one, and the user attributes. Where the new file cannot take them, because the saving
// user is granted writing by the list but is not the owner, or may not read an attribute, the file is
// rewritten in place.
TEST(SaveAttributes, AccessListAndUserAttributesStay) {
    if (std::system("{ command -v getfacl && command -v setfacl && command -v getfattr; } >/dev/null") != 0)
        GTEST_SKIP() << "getfacl, setfacl or getfattr is missing: scripts/setup installs the packages acl and attr";
    TempFolder folder;
    ASSERT_EQ(::chmod(folder.root.c_str(), 0755) | (root ? ::chown(folder.root.c_str(), nobody, nobody) : 0), 0);
    Image picture(5, 3, RGB, BYTE);
    std::generate(picture.byteBitmap, picture.byteBitmap + picture.bitmapBytes, std::mt19937(3));
    PNG_BRIDGE().save((folder / "new.png").c_str(), picture);
    const std::string png = readBytes(folder / "new.png");
    auto run = [&](const std::string& commands) {
        return std::system(("cd '" + folder.root + "' && " + commands + " >/dev/null 2>&1").c_str()) == 0;
    };
    for (const char* name : {"owned.png", "plain.png", "granted.png", "unreadable.png"})
        writeBytes(folder / name, "old");
    if (!run("chmod 640 owned.png plain.png granted.png && setfacl -m u:65534:rw owned.png granted.png"))
        GTEST_SKIP() << "the file system under " << folder.root << " refuses access lists";
    if (!run("setfattr -n user.origin -v lab owned.png && setfattr -n user.run -v 7 owned.png"))
        GTEST_SKIP() << "the file system under " << folder.root << " refuses user attributes";
    std::map<std::string, bool> saves{{"owned.png", false}, {"plain.png", false}};
    if (root) {
        ASSERT_TRUE(run("setfattr -n user.origin -v lab granted.png && setfattr -n user.origin -v lab unreadable.png "
                        "&& chmod 200 unreadable.png && chown 65534:65534 unreadable.png"));
        saves.insert({{"granted.png", true}, {"unreadable.png", true}});
    }
    // A default list for the folder, which every file made there takes, and a saved file without a list must not.
    ASSERT_TRUE(run("setfacl -d -m u:65534:rw ."));
    for (const auto& [name, unprivileged] : saves) {
        const std::string path = folder / name, before = accessAndAttributes(path);
        EXPECT_EQ(waitFor(saveInChild([&] { PNG_BRIDGE().save(path.c_str(), picture); }, unprivileged)), 0) << name;
        EXPECT_EQ(accessAndAttributes(path), before) << name;
        EXPECT_EQ(readBytes(path), png) << name;
    }
    EXPECT_EQ(folder.entries(), 5);
}

#if defined(__x86_64__)
constexpr std::uint32_t nativeArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t nativeArch = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t nativeArch = 0; // no filter written for it
#endif

// Makes opening a file without a name (O_TMPFILE) fail as on a file system that cannot make one.
bool refuseUnnamedFiles() {
    if (nativeArch == 0)
        return false;
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, nativeArch, 0, 5),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])), // the flags' low half
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog filter{std::size(code), code};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

// Where the file system cannot make a file without a name, a save writes a named temporary file beside the
// old one, which it replaces as before, and leaves nothing else behind.
TEST(SaveWithoutUnnamedFiles, ANamedTemporaryReplacesTheFile) {
    TempFolder folder;
    const std::string path = folder / "out.png";
    writeBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    Image picture(5, 3, RGB, BYTE);
    std::generate(picture.byteBitmap, picture.byteBitmap + picture.bitmapBytes, std::mt19937(3));
    const pid_t child = ::fork();
    if (child == 0) {
        const bool refused = refuseUnnamedFiles() && ::open(folder.root.c_str(), O_TMPFILE | O_WRONLY, 0600) < 0;
        if (!refused || errno != EOPNOTSUPP)
            std::_Exit(77);
        std::_Exit(failureMessage([&] { PNG_BRIDGE().save(path.c_str(), picture); }) == "no failure" ? 0 : 1);
    }
    const int status = waitFor(child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no seccomp filter here to refuse O_TMPFILE with";
    EXPECT_EQ(status, 0);
    Image saved;
    PNG_BRIDGE().load(path.c_str(), saved);
    EXPECT_EQ(imageLines(saved), imageLines(picture));
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0604));
    EXPECT_EQ(folder.entries(), 1);
}

} // namespace
} // namespace Stimulark::Testing
