#include "image/ImageTesting.hpp"

#include "stimulark/file/File.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <random>

namespace Stimulark::Testing {
namespace {

using IMAGE_FORMATS::PNG_BRIDGE;
constexpr int GREY = PNG_COLOR_TYPE_GRAY;
const std::string bridge = "Stimulark::IMAGE_FORMATS::PNG_BRIDGE ";
const std::string notPng = bridge + "[FILE FORMAT ERROR] The requested file is not PNG.";
const std::string notOpened = bridge + "[FILE ACCESS ERROR] Failed to open the requested file.";
const std::string notWritable = bridge + "[FILE FORMAT ERROR] The requested data is not able to be put as a PNG file.";
const std::string unsupported = imageFailure("File Type Error", "Specified image type is not supported.");
const PngPicture grey5x2{.width = 5, .type = GREY, .rows = {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}};

// A refused load leaves no bitmap; the sanitizer build's leak check covers every failing path here.
TEST(PngLoad, RefusesOtherNamesAndMissingForeignOrBrokenFiles) {
    TempFolder folder;
    writePng(folder / "good.png", grey5x2);
    const std::string good = readBytes(folder / "good.png");
    std::string badCrc = good, badHeader = good;
    badCrc.at(good.find("IEND") - 5) ^= 0x01; // IDAT's CRC
    badHeader[16] ^= 0x01; // IHDR width, now disagreeing with its CRC
    // The extension is checked first, as written (decoding would turn "p:ng" into "png").
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"picture.PNG", "", unsupported}, {"picture", "", unsupported}, {"picture.png.bak", "", unsupported},
        {"dir.d/picture", "", unsupported}, {"pic.p:ng", "", unsupported}, {"missing.png", "", notOpened},
        {"short.png", "\x89PN", notPng}, {"x.png", "This is plain text, not a picture.\n", notPng},
        {"truncated.png", good.substr(0, good.find("IDAT") + 8), notPng}, {"bad-crc.png", badCrc, notPng},
        {"bad-header.png", badHeader, notPng}};
    for (const auto& [name, bytes, failure] : cases) {
        if (!bytes.empty())
            writeBytes(folder / name, bytes);
        Image image(4, 4, GRAY, FLOAT);
        EXPECT_EQ(failureMessage([&] { image.load(folder / name); }), failure) << name;
        EXPECT_TRUE(!image.haveBitmap && image.byteBitmap == nullptr && image.floatBitmap == nullptr) << name;
    }
    EXPECT_EQ(failureMessage([] { Image().load(static_cast<const char*>(nullptr)); }), unsupported);
}

// Every file becomes 8-bit GRAY, RGB or RGBA, top line first, each load replacing the bitmap before it.
TEST(PngLoad, ReadsEveryFormatUprightAsEightBit) {
    const std::vector<png_color> colors{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const std::tuple<const char*, PngPicture, PixelComponents, int, Bytes> cases[] = {
        {"RGBA", {.width = 3, .type = PNG_COLOR_TYPE_RGB_ALPHA,
                  .rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}}},
         RGBA, 12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}},
        {"grey", grey5x2, GRAY, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        // Sixteen-bit samples are rounded, not truncated: 0x12FF gives 19.
        {"16-bit", {.width = 2, .depth = 16, .rows = {{0x12, 0xFF, 0, 0, 0xFF, 0xFF, 0x80, 0x80, 0x7F, 0x80, 1, 0}}},
         RGB, 8, {19, 0, 255, 128, 127, 1}},
        {"grey-alpha", {.width = 2, .type = PNG_COLOR_TYPE_GRAY_ALPHA, .rows = {{10, 20, 30, 40}}},
         RGBA, 8, {10, 10, 10, 20, 30, 30, 30, 40}},
        // Two-bit indices 0, 1, 2; tRNS covers only the first two entries.
        {"palette", {.width = 3, .type = PNG_COLOR_TYPE_PALETTE, .depth = 2, .palette = colors, .alpha = {0, 128},
                     .rows = {{0x18}}}, RGBA, 12, {255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}},
        {"2-bit grey", {.width = 5, .type = GREY, .depth = 2, .rows = {{0x1B, 0x40}}}, GRAY, 8, {0, 85, 170, 255, 85}},
        {"grey tRNS", {.width = 2, .type = GREY, .transparent = png_color_16{0, 0, 0, 0, 7}, .rows = {{7, 8}}},
         RGBA, 8, {7, 7, 7, 0, 8, 8, 8, 255}},
        {"interlaced", {.width = 5, .type = GREY, .interlace = PNG_INTERLACE_ADAM7, .rows = grey5x2.rows},
         GRAY, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}}};
    TempFolder folder;
    std::string& app = File::pathIds()[File::APP].path;
    const std::string previous = std::exchange(app, folder.root + "/");
    Image image(10, 10, GRAY, FLOAT);
    for (const auto& [what, picture, components, lineBytes, lines] : cases) {
        SCOPED_TRACE(what);
        writePng(folder / "p.png", picture);
        image.load("%APP%p.png");
        EXPECT_EQ(std::tuple(image.width, image.height, image.components, image.precision, image.lineBytes),
                  std::tuple(int(picture.width), int(picture.rows.size()), components, BYTE, lineBytes));
        EXPECT_EQ(imageLines(image), lines);
        EXPECT_EQ(image.getPixel(0, 0).r, lines[0] / 255.0); // top-left
    }
    app = previous;
}

// A save renames a temporary file over the old one, keeping its mode; a refused one leaves the old file
// as it was and no temporary file beside it.
TEST(PngSaveDeathTest, ReplacesTheOldFileOnlyWithACompletePicture) {
    TempFolder folder;
    const std::string path = folder / "out.png";
    writeBytes(path, "old contents");
    ASSERT_TRUE(::chmod(path.c_str(), 0640) == 0 && ::chmod(folder.root.c_str(), 0755) == 0);
    for (const auto& [components, colorType] : {std::pair{GRAY, '\0'}, {RGB, '\2'}, {RGBA, '\6'}}) {
        SCOPED_TRACE(testing::Message() << "layout " << components);
        Image image(5, 3, components, BYTE), reread;
        for (int i = 0; i < image.bitmapBytes; ++i)
            image.byteBitmap[i] = static_cast<std::uint8_t>(7 * i + 1);
        PNG_BRIDGE().save(path.c_str(), image);
        EXPECT_EQ(readBytes(path).substr(24, 5), (std::string{8, colorType, 0, 0, 0})); // IHDR: 8-bit, no interlace
        reread.load(path);
        EXPECT_EQ(imageLines(reread), imageLines(image));
    }
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0); // writable for the unprivileged child below
    const std::string saved = readBytes(path);
    Image floats(4, 4, RGB, FLOAT), empty, noise(256, 256, RGB, BYTE);
    std::generate(noise.byteBitmap, noise.byteBitmap + noise.bitmapBytes, std::mt19937(7));
    auto refusal = [&](Image& image) { return failureMessage([&] { PNG_BRIDGE().save(path.c_str(), image); }); };
    EXPECT_EQ(refusal(floats), notWritable);
    EXPECT_EQ(refusal(empty), notWritable);
    auto fullDisk = [&] { // stood in for by a file-size limit: the writing fails half-way
        const rlimit small{4096, 4096};
        std::signal(SIGXFSZ, SIG_IGN);
        std::_Exit(::setrlimit(RLIMIT_FSIZE, &small) == 0 && refusal(noise) == notWritable ? 0 : 1);
    };
    EXPECT_EXIT(fullDisk(), testing::ExitedWithCode(0), "");
    auto unwritableFolder = [&] { // root may write anywhere, so drops to an unprivileged user
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            std::_Exit(2);
        std::_Exit(refusal(noise) == notOpened ? 0 : 1);
    };
    ASSERT_EQ(::chmod(folder.root.c_str(), 0555), 0);
    EXPECT_EXIT(unwritableFolder(), testing::ExitedWithCode(0), "");
    ::chmod(folder.root.c_str(), 0755);
    EXPECT_TRUE(readBytes(path) == saved);
    EXPECT_EQ(folder.entries(), 1);
}

} // namespace
} // namespace Stimulark::Testing
