#include "image/ImageTesting.hpp"
#include "image/png_files.hpp"

#include "stimulark/file/File.hpp"
#include "stimulark/image/Image.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

namespace Stimulark::Testing {
namespace {

const Failure notPng{"Stimulark::IMAGE_FORMATS::PNG_BRIDGE", "FILE FORMAT ERROR", "The requested file is not PNG."};
const Failure unsupported = imageFailure("File Type Error", "Specified image type is not supported.");

// Every pixel distinct: component c of pixel (x, y) is 40 * y + 10 * x + c + 1.
PngPicture rgba3x2() {
    PngPicture p{.width = 3, .height = 2, .colorType = PNG_COLOR_TYPE_RGB_ALPHA};
    for (int y = 0; y < 2; ++y) {
        p.rows.emplace_back();
        for (int x = 0; x < 3; ++x)
            for (int c = 0; c < 4; ++c)
                p.rows.back().push_back(static_cast<png_byte>(40 * y + 10 * x + c + 1));
    }
    return p;
}

// 64 x 64 RGB noise, so that the pixel data fills several IDAT chunks' worth.
std::string noisyPng(const TempFolder& folder) {
    PngPicture p{.width = 64, .height = 64};
    unsigned seed = 12345;
    for (int y = 0; y < 64; ++y) {
        p.rows.emplace_back();
        for (int i = 0; i < 64 * 3; ++i)
            p.rows.back().push_back(static_cast<png_byte>((seed = seed * 1103515245 + 12345) >> 16));
    }
    writePng(folder / "noise.png", p);
    return readBytes(folder / "noise.png");
}

TEST(PngLoad, RefusesOtherExtensionsBeforeOpeningAnything) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "dir.d");
    for (const char* name : {"picture.PNG", "picture", "picture.png.bak", "dir.d/picture", "pic.png"})
        ASSERT_TRUE(writePng(folder / name, rgba3x2()));
    // Placeholder decoding would turn "p:ng" into "png"; the extension is taken before it.
    for (const char* name : {"picture.PNG", "picture", "picture.png.bak", "dir.d/picture", "pic.p:ng"}) {
        Image image(2, 2, RGB, BYTE);
        EXPECT_EQ(failureOf([&] { image.load(folder / name); }), unsupported) << name;
        EXPECT_FALSE(image.haveBitmap) << name;
    }
    Image image;
    EXPECT_EQ(failureOf([&] { image.load(static_cast<const char*>(nullptr)); }), unsupported);
}

TEST(PngLoad, ReportsMissingAndNonPngFiles) {
    TempFolder folder;
    Image image;
    EXPECT_EQ(failureOf([&] { image.load(folder / "x.png"); }),
              (Failure{"Stimulark::IMAGE_FORMATS::PNG_BRIDGE", "FILE ACCESS ERROR", "Failed to open the requested file."}));
    writeBytes(folder / "short.png", "\x89PN");
    writeBytes(folder / "text.png", "This is plain text, not a picture.\n");
    EXPECT_EQ(failureOf([&] { image.load(folder / "short.png"); }), notPng);
    EXPECT_EQ(failureOf([&] { image.load((folder / "text.png").c_str()); }), notPng);
    EXPECT_FALSE(image.haveBitmap);
}

// A broken file fails with libpng's error return and leaves the image empty; the
// sanitizer build's leak check covers the structures and rows of every path here.
TEST(PngLoad, BrokenFilesFailCleanly) {
    TempFolder folder;
    const std::string good = noisyPng(folder);
    const std::size_t idat = good.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    std::string badCrc = good;
    badCrc[idat + 100] ^= 0x55;
    std::string badHeader = good;
    badHeader[16] ^= 0x01; // IHDR width, now disagreeing with its CRC
    const std::pair<const char*, std::string> broken[] = {
        {"truncated.png", good.substr(0, good.size() / 2)},
        {"header-only.png", good.substr(0, 33)},
        {"bad-crc.png", badCrc},
        {"bad-header.png", badHeader},
    };
    for (const auto& [name, bytes] : broken) {
        writeBytes(folder / name, bytes);
        Image image(4, 4, GRAY, FLOAT);
        EXPECT_EQ(failureOf([&] { image.load(folder / name); }), notPng) << name;
        EXPECT_FALSE(image.haveBitmap) << name;
        EXPECT_EQ(image.byteBitmap, nullptr) << name;
    }
}

TEST(PngLoad, ReadsRgbaUprightReplacingTheOldBitmap) {
    TempFolder folder;
    ASSERT_TRUE(writePng(folder / "rgba.png", rgba3x2()));
    Image image(10, 10, GRAY, FLOAT);
    image.targetArea.left = 7;
    image.load(folder / "rgba.png");
    ASSERT_TRUE(image.haveBitmap);
    EXPECT_EQ(image.components, RGBA);
    EXPECT_EQ(image.precision, BYTE);
    EXPECT_EQ(image.floatBitmap, nullptr);
    EXPECT_EQ(image.lineBytes, 12);
    EXPECT_EQ(image.targetArea.left, 0.0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const Color c = image.getPixel(x, y);
            const double base = 40 * y + 10 * x + 1;
            EXPECT_EQ(c.r, base / 255.0);
            EXPECT_EQ(c.g, (base + 1) / 255.0);
            EXPECT_EQ(c.b, (base + 2) / 255.0);
            EXPECT_EQ(c.a, (base + 3) / 255.0);
        }
}

TEST(PngLoad, GreyRowsKeepTheirPadding) {
    TempFolder folder;
    PngPicture grey{.width = 5, .height = 2, .colorType = PNG_COLOR_TYPE_GRAY,
                    .rows = {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}};
    ASSERT_TRUE(writePng(folder / "grey.png", grey));
    Image image;
    image.load(folder / "grey.png");
    EXPECT_EQ(image.components, GRAY);
    ASSERT_EQ(image.lineBytes, 8);
    // Bottom-up: the bitmap's first row is image line 1.
    const std::vector<std::uint8_t> bitmap(image.byteBitmap, image.byteBitmap + 16);
    EXPECT_EQ(bitmap, (std::vector<std::uint8_t>{6, 7, 8, 9, 10, 0, 0, 0, 1, 2, 3, 4, 5, 0, 0, 0}));
}

TEST(PngLoad, ResolvesPlaceholders) {
    TempFolder folder;
    ASSERT_TRUE(writePng(folder / "Gyrdex.png", rgba3x2()));
    std::string& app = File::pathIds()[File::APP].path;
    const std::string previous = std::exchange(app, folder.root + "/");
    Image image;
    EXPECT_NO_THROW(image.load("%APP%Gyrdex.png"));
    app = previous;
    EXPECT_EQ(image.width, 3);
}

} // namespace
} // namespace Stimulark::Testing
