// Frame-interval files on a device that is always full and under a file-size limit, which only POSIX
// systems have.

#include "image/ImageTesting.hpp"

#include "stimulark/canvas/FrameIntervalFiles.hpp"

#include <sys/resource.h>

#include <csignal>

namespace Stimulark::Testing {
namespace {

const std::string accessFailure = "Stimulark::File [FILE ACCESS ERROR] Failed to open the requested file.";
const std::string pngNotWritten =
    "Stimulark::IMAGE_FORMATS::PNG_BRIDGE [FILE FORMAT ERROR] The requested data is not able to be put as a PNG file.";

// A full disk refuses the write, and the old file stays as it was with no temporary file beside it.
TEST(FrameIntervalFilesDeathTest, AFullDiskLeavesTheOldFileAsItWas) {
    TempFolder folder;
    const std::string old = folder / "old.csv";
    writeBytes(old, "kept");
    const std::vector<double> intervals(2000, 16.7);
    const std::vector<FrameJudgement> flips(2000, {16.7, 1, 0, OnsetSource::swapCompletion});
    auto csv = [&](const std::string& path) {
        return failureMessage([&] { writeFrameIntervalsCsv(path, flips, 16.7); });
    };
    EXPECT_EQ(csv("/dev/full"), accessFailure);
    EXPECT_EQ(failureMessage([&] { plotFrameIntervalsPng("/dev/full", intervals, 16.7); }), pngNotWritten);
    auto fullDisk = [&] { // a file-size limit stands in for a full disk, which root cannot write past either
        const rlimit small{4096, 4096};
        const bool refused = ::setrlimit(RLIMIT_FSIZE, &small) == 0 && csv(old) == accessFailure;
        std::_Exit(refused && std::signal(SIGXFSZ, SIG_DFL) == SIG_DFL ? 0 : 1);
    };
    EXPECT_EXIT(fullDisk(), testing::ExitedWithCode(0), "");
    EXPECT_EQ(readBytes(old), "kept");
    EXPECT_EQ(folder.entries(), 1);
}

} // namespace
} // namespace Stimulark::Testing
