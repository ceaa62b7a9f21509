// What only POSIX systems have: FIFOs, devices, links, owners and modes, file-size limits, fork.

#include "image/ImageTesting.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

namespace Stimulark::Testing {
namespace {

// Only a regular file is read, and anything else is refused at once: a FIFO would block the load forever.
TEST(PngLoadDeathTest, ReadsOnlyRegularFiles) {
    TempFolder folder;
    writeBytes(folder / "real.png", grey5x2);
    ASSERT_EQ(::mkfifo((folder / "fifo.png").c_str(), 0600) | ::mkdir((folder / "folder.png").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("/dev/zero", (folder / "zero.png").c_str()) |
                  ::symlink("real.png", (folder / "link.png").c_str()),
              0);
    auto loads = [&] {
        ::alarm(10); // a blocked load ends this child, not the test program
        for (const char* name : {"fifo.png", "folder.png", "zero.png"}) {
            Image image(2, 2, RGB, BYTE);
            if (failureMessage([&] { image.load(folder / name); }) != notOpened || image.haveBitmap)
                std::_Exit(1);
        }
        Image linked;
        linked.load(folder / "link.png");
        std::_Exit(imageLines(linked) == grey5x2Lines ? 0 : 2);
    };
    EXPECT_EXIT(loads(), testing::ExitedWithCode(0), "");
}

// A file declaring a gibibyte picture with no rows is refused without touching the picture's memory:
// neither clearing it nor zeroing its row padding, which takes one page per row here.
TEST(PngLoad, TouchesNoPictureMemoryBeforeItsRowsArrive) {
    TempFolder folder;
    writeBytes(folder / "empty.png", pngHeader(4093, 262144, GREY) + noRows);
    const pid_t child = ::fork();
    if (child == 0) {
        PNG_BRIDGE::readLimits = {4093, 262144, 1 << 30};
        Image image;
        std::_Exit(failureMessage([&] { image.load(folder / "empty.png"); }) == notPng ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(usage.ru_maxrss, 512 * 1024); // kilobytes: half the bitmap
}

// A save writes where the path leads: a link's target is replaced and the link kept, a file with other
// names is rewritten in place, and a FIFO or a character device is written through, never replaced. A
// replaced file keeps its mode, owner and group.
TEST(PngSave, WritesWhereThePathLeads) {
    TempFolder folder;
    auto path = [&](const char* name) { return folder / name; };
    Image image(5, 3, RGB, BYTE);
    std::generate(image.byteBitmap, image.byteBitmap + image.bitmapBytes, std::mt19937(3));
    auto save = [&](const char* name) { return failureMessage([&] { PNG_BRIDGE().save(path(name).c_str(), image); }); };
    EXPECT_EQ(save("new.png"), "no failure");
    const std::string png = readBytes(path("new.png"));
    writeBytes(path("real.png"), "old");
    writeBytes(path("a.png"), "old");
    const bool root = ::geteuid() == 0; // only root may give a file away; elsewhere it keeps its owner anyway
    ASSERT_EQ(::chmod(path("real.png").c_str(), 0640) | (root ? ::chown(path("real.png").c_str(), 4321, 8765) : 0), 0);
    struct stat old {}, replaced {};
    ASSERT_EQ(::stat(path("real.png").c_str(), &old), 0);
    for (const auto& [link, target] : {std::pair{"link.png", "real.png"}, {"null.png", "/dev/null"},
                                       {"dangling.png", "made.png"}, {"loop.png", "loop.png"}})
        ASSERT_EQ(::symlink(target, path(link).c_str()), 0);
    ASSERT_EQ(::link(path("a.png").c_str(), path("b.png").c_str()) | ::mkfifo(path("fifo.png").c_str(), 0600), 0);
    // A FIFO without a reader is refused at once rather than waiting for one.
    for (const auto& [name, result] : {std::pair{"link.png", "no failure"}, {"dangling.png", "no failure"},
                                       {"loop.png", notOpened.c_str()}, {"b.png", "no failure"},
                                       {"null.png", "no failure"}, {"fifo.png", notOpened.c_str()}})
        EXPECT_EQ(save(name), result) << name;
    std::error_code notALink;
    EXPECT_EQ(std::filesystem::read_symlink(path("link.png"), notALink), "real.png");
    ASSERT_EQ(::stat(path("real.png").c_str(), &replaced), 0);
    EXPECT_EQ(std::tuple(replaced.st_mode & 07777, replaced.st_uid, replaced.st_gid),
              std::tuple(0640u, old.st_uid, old.st_gid));
    EXPECT_TRUE(readBytes(path("real.png")) == png && readBytes(path("made.png")) == png &&
                readBytes(path("a.png")) == png);
    EXPECT_TRUE(std::filesystem::is_symlink(path("dangling.png")) &&
                std::filesystem::hard_link_count(path("a.png")) == 2);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null") && std::filesystem::is_symlink(path("null.png")));
    const int reader = ::open(path("fifo.png").c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_EQ(save("fifo.png"), "no failure"); // the picture fits the pipe's buffer
    std::string piped(png.size() + 1, '\0');
    piped.resize(std::max<ssize_t>(::read(reader, piped.data(), piped.size()), 0));
    ::close(reader);
    EXPECT_TRUE(piped == png && std::filesystem::is_fifo(path("fifo.png")));
    if (::symlink("/dev/full", path("full.png").c_str()) == 0 && std::filesystem::is_character_file("/dev/full")) {
        EXPECT_EQ(save("full.png"), notWritable);
    }
    EXPECT_EQ(folder.entries(), 11); // and no temporary file
}

// A save that cannot be completed, on a full disk (stood in for by a file-size limit, whose signal must
// neither end the program nor stay ignored after the save) or in a folder it may not write (root drops to
// an unprivileged user, as it may write anywhere), leaves the old file as it was and no temporary file.
TEST(PngSaveDeathTest, AFullDiskOrAnUnwritableFolderLeavesTheOldFile) {
    TempFolder folder;
    const std::string path = folder / "out.png";
    ASSERT_EQ(::chmod(folder.root.c_str(), 0755), 0);
    Image picture(5, 3, RGB, BYTE), noise(256, 256, RGB, BYTE);
    PNG_BRIDGE().save(path.c_str(), picture);
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0); // writable for the unprivileged child below
    const std::string saved = readBytes(path);
    std::generate(noise.byteBitmap, noise.byteBitmap + noise.bitmapBytes, std::mt19937(7));
    auto refusal = [&] { return failureMessage([&] { PNG_BRIDGE().save(path.c_str(), noise); }); };
    auto fullDisk = [&] {
        const rlimit small{4096, 4096};
        const bool refused = ::setrlimit(RLIMIT_FSIZE, &small) == 0 && refusal() == notWritable;
        std::_Exit(refused && std::signal(SIGXFSZ, SIG_DFL) == SIG_DFL ? 0 : 1);
    };
    EXPECT_EXIT(fullDisk(), testing::ExitedWithCode(0), "");
    auto unwritableFolder = [&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            std::_Exit(2);
        std::_Exit(refusal() == notOpened ? 0 : 1);
    };
    ASSERT_EQ(::chmod(folder.root.c_str(), 0555), 0);
    EXPECT_EXIT(unwritableFolder(), testing::ExitedWithCode(0), "");
    ::chmod(folder.root.c_str(), 0755);
    EXPECT_TRUE(readBytes(path) == saved && folder.entries() == 1);
}

} // namespace
} // namespace Stimulark::Testing
