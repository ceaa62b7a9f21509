#include "image/ImageTesting.hpp"
#include "image/png_files.hpp"

#include "stimulark/image/Image.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <random>

namespace Stimulark::Testing {
namespace {

using IMAGE_FORMATS::PNG_BRIDGE;

const Failure notWritable{"Stimulark::IMAGE_FORMATS::PNG_BRIDGE", "FILE FORMAT ERROR",
                          "The requested data is not able to be put as a PNG file."};
const Failure notOpened{"Stimulark::IMAGE_FORMATS::PNG_BRIDGE", "FILE ACCESS ERROR",
                        "Failed to open the requested file."};

// Top line first, padding left out.
std::vector<std::vector<png_byte>> linesOf(const Image& image) {
    std::vector<std::vector<png_byte>> lines;
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.byteBitmap + (image.height - 1 - y) * image.lineBytes;
        lines.emplace_back(row, row + image.width * image.pixelBytes);
    }
    return lines;
}

void paintPattern(Image& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.setPixel(x, y, Color((10 * x + 1) / 255.0, (40 * y + 2) / 255.0, (x + y) / 255.0, (200 - x) / 255.0));
}

TEST(PngSave, WritesEightBitUprightFilesThatReadBack) {
    const std::pair<PixelComponents, int> layouts[] = {
        {GRAY, PNG_COLOR_TYPE_GRAY}, {RGB, PNG_COLOR_TYPE_RGB}, {RGBA, PNG_COLOR_TYPE_RGB_ALPHA}};
    for (const auto& [components, colorType] : layouts) {
        TempFolder folder;
        Image image(5, 3, components, BYTE);
        paintPattern(image);
        PNG_BRIDGE().save((folder / "out.png").c_str(), image);

        const auto written = readPng(folder / "out.png");
        ASSERT_TRUE(written) << components;
        EXPECT_EQ(written->bitDepth, 8);
        EXPECT_EQ(written->colorType, colorType);
        EXPECT_EQ(written->interlace, PNG_INTERLACE_NONE);
        EXPECT_EQ(written->rows, linesOf(image)) << components;

        Image reread;
        reread.load(folder / "out.png");
        EXPECT_EQ(reread.components, components);
        EXPECT_EQ(linesOf(reread), linesOf(image)) << components;
        EXPECT_EQ(folder.names(), std::vector<std::string>{"out.png"});
    }
}

TEST(PngSave, ReplacesAnExistingFileKeepingItsMode) {
    TempFolder folder;
    writeBytes(folder / "out.png", "old contents");
    ASSERT_EQ(::chmod((folder / "out.png").c_str(), 0640), 0);
    Image image(4, 4, RGB, BYTE);
    PNG_BRIDGE().save((folder / "out.png").c_str(), image);
    struct stat status {};
    ASSERT_EQ(::stat((folder / "out.png").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_TRUE(readPng(folder / "out.png"));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.png"});
}

TEST(PngSave, FailedSavesKeepTheOldFile) {
    TempFolder folder;
    const std::string old = "the previous picture";
    writeBytes(folder / "out.png", old);
    const std::string path = folder / "out.png";

    Image floats(4, 4, RGB, FLOAT);
    Image empty;
    EXPECT_EQ(failureOf([&] { PNG_BRIDGE().save(path.c_str(), floats); }), notWritable);
    EXPECT_EQ(failureOf([&] { PNG_BRIDGE().save(path.c_str(), empty); }), notWritable);

    // A file-size limit stands in for a full disk: the writing fails half-way.
    Image noise(256, 256, RGB, BYTE);
    std::mt19937 random(7);
    for (int i = 0; i < noise.bitmapBytes; ++i)
        noise.byteBitmap[i] = static_cast<std::uint8_t>(random());
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const rlimit small{4096, previous.rlim_max};
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const Failure full = failureOf([&] { PNG_BRIDGE().save(path.c_str(), noise); });
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(full, notWritable);

    EXPECT_TRUE(readBytes(path) == old);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.png"});
}

// The temporary file cannot be created beside a file in a folder the user may not
// write to. Run as an unprivileged user in a child, since root may write anywhere.
TEST(PngSaveDeathTest, UnwritableFolderKeepsTheOldFile) {
    TempFolder folder;
    const std::string locked = folder / "locked";
    const std::string path = locked + "/out.png";
    ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
    writeBytes(path, "the previous picture");
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(folder.root.c_str(), 0755), 0);

    auto attempt = [&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            std::_Exit(2);
        int code = 1;
        {
            Image image(2, 2, RGB, BYTE);
            if (failureOf([&] { PNG_BRIDGE().save(path.c_str(), image); }) == notOpened)
                code = 0;
        }
        std::_Exit(code);
    };
    EXPECT_EXIT(attempt(), testing::ExitedWithCode(0), "");
    ::chmod(locked.c_str(), 0755);
    EXPECT_TRUE(readBytes(path) == "the previous picture");
}

} // namespace
} // namespace Stimulark::Testing
