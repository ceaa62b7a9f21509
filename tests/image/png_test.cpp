#include "image/ImageTesting.hpp"

#include <unistd.h>

#include <algorithm>

namespace Stimulark::Testing {
namespace {

// A refused load leaves no bitmap; the sanitizer build's leak check covers every failing path here.
TEST(PngLoad, RefusesOtherNamesAndMissingForeignOrBrokenFiles) {
    const AppFolder folder;
    std::string badCrc = grey5x2, badHeader = grey5x2;
    badCrc.at(grey5x2.find("IEND") - 5) ^= 0x01; // IDAT's CRC
    badHeader[16] ^= 0x01; // IHDR width, now disagreeing with its CRC
    // The extension is checked first, as written (decoding would turn "p:ng" into "png").
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"picture.PNG", "", unsupported}, {"picture", "", unsupported}, {"picture.png.bak", "", unsupported},
        {"dir.d/picture", "", unsupported}, {"pic.p:ng", "", unsupported}, {"missing.png", "", notOpened},
        {"short.png", "\x89PN", notPng}, {"x.png", "This is plain text, not a picture.\n", notPng},
        {"truncated.png", grey5x2.substr(0, grey5x2.find("IDAT") + 8), notPng}, {"bad-crc.png", badCrc, notPng},
        {"bad-header.png", badHeader, notPng}};
    for (const auto& [name, bytes, failure] : cases) {
        if (!bytes.empty())
            writeBytes(folder / name, bytes);
        Image image(4, 4, GRAY, FLOAT);
        EXPECT_EQ(failureMessage([&, path = "%APP%" + std::string(name)] { image.load(path); }), failure) << name;
        EXPECT_TRUE(!image.haveBitmap && image.byteBitmap == nullptr && image.floatBitmap == nullptr) << name;
    }
    EXPECT_EQ(failureMessage([] { Image().load(static_cast<const char*>(nullptr)); }), unsupported);
}

// A name ends at a NUL where the system takes it, so one holding a NUL is refused before anything is opened:
// neither is the file named by what precedes it read nor one of that name written.
TEST(PngFiles, NamesHoldingANulAreRefused) {
    const AppFolder folder;
    writeBytes(folder / "notes", grey5x2);
    Image image(2, 2, RGB, BYTE);
    EXPECT_EQ(failureMessage([&] { image.save(std::string("%APP%shot\0.png", 14)); }), notOpened);
    EXPECT_EQ(failureMessage([&] { image.load(std::string("%APP%notes\0.png", 15)); }), notOpened);
    EXPECT_FALSE(image.haveBitmap);
    EXPECT_EQ(folder.entries(), 1);
}

// The limits count the decoded picture: a palette file decodes to RGBA. A 70-byte file may declare
// 46340 x 46340 grey. However far the limits are raised, a picture whose rows, padded to 4 bytes, would
// take more than 2^31 - 1 bytes is refused from the header too. Pictures that a program makes are not limited.
TEST(PngLoad, RefusesFilesOverTheReadLimits) {
    const auto saved = PNG_BRIDGE::readLimits, small = PNG_BRIDGE::ReadLimits{64, 64, 120};
    const auto raised = PNG_BRIDGE::ReadLimits{UINT32_MAX, UINT32_MAX, UINT64_MAX};
    const std::tuple<PNG_BRIDGE::ReadLimits, png_uint_32, png_uint_32, int, bool> cases[] = {
        {saved, 16384, 1, GREY, true}, {saved, 16385, 1, GREY, false}, {saved, 1, 16385, GREY, false},
        {small, 10, 10, GREY, true}, {small, 10, 11, GREY, false}, {small, 65, 1, GREY, false},
        {small, 1, 65, GREY, false}, {small, 3, 10, PNG_COLOR_TYPE_RGB, true},
        {small, 3, 10, PNG_COLOR_TYPE_GRAY_ALPHA, true}, {small, 4, 8, PNG_COLOR_TYPE_PALETTE, false},
        {saved, 46340, 46340, GREY, false}, {raised, 2147483647, 1, GREY, false},
        {raised, 2147483645, 1, GREY, false}, {raised, 1, 536870912, GREY, false}};
    const AppFolder folder;
    for (const auto& [limits, width, height, type, loads] : cases) {
        SCOPED_TRACE(testing::Message() << width << " x " << height << " type " << type << " within " << limits.maxWidth
                                        << " x " << limits.maxHeight << ", " << limits.maxBytes << " bytes");
        const int channels = type == PNG_COLOR_TYPE_RGB ? 3 : type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
        const std::string rows =
            std::uint64_t{width} * height > 1 << 24 ? noRows : pngRows(std::vector(height, Bytes(width * channels)));
        writeBytes(folder / "p.png", pngHeader(width, height, char(type)) +
                                         (type == PNG_COLOR_TYPE_PALETTE ? pngChunk("PLTE", "\1\2\3") : "") + rows);
        PNG_BRIDGE::readLimits = limits;
        Image image;
        EXPECT_EQ(failureMessage([&] { image.load("%APP%p.png"); }), loads ? "no failure" : notPng);
        EXPECT_EQ(image.haveBitmap, loads);
    }
    PNG_BRIDGE::readLimits = {1, 1, 1};
    EXPECT_EQ(failureMessage([] { Image(100, 100, RGBA, BYTE); }), "no failure");
    PNG_BRIDGE::readLimits = saved;
}

// Compressed data after the last row is read only up to a small allowance, so the picture loads at once
// however much follows; a damaged stream within the rows is still refused.
TEST(PngLoad, StopsReadingCompressedDataAfterTheLastRow) {
    const std::string rows = std::string("\0\1\2\3\4\5", 6) + std::string("\0\6\7\x08\x09\x0A", 6);
    TempFolder folder;
    for (const auto& [mebibytes, damaged] : {std::pair{0, false}, {1, false}, {256, false}, {256, true}}) {
        SCOPED_TRACE(testing::Message() << mebibytes << " MiB surplus" << (damaged ? ", damaged rows" : ""));
        std::string stream = zlibStream(rows, mebibytes);
        if (damaged)
            stream[2] |= 0x06; // the first block's type becomes the reserved one
        writeBytes(folder / "p.png", pngHeader(5, 2, GREY) + pngChunk("IDAT", stream) + pngChunk("IEND", ""));
        std::FILE* const original = std::fopen((folder / "p.png").c_str(), "rb");
        ASSERT_NE(original, nullptr);
        const int descriptor = ::fileno(original); // never read through, so nothing is buffered
        Image image;
        // The duplicate shares the file offset, which shows how far the reading went.
        EXPECT_EQ(failureMessage([&] { PNG_BRIDGE().loadStream(::fdopen(::dup(descriptor), "rb"), image); }),
                  damaged ? notPng : "no failure");
        EXPECT_EQ(imageLines(image), damaged ? Bytes() : grey5x2Lines);
        EXPECT_LT(::lseek(descriptor, 0, SEEK_CUR), 64 * 1024);
        std::fclose(original);
    }
}

// Every file becomes 8-bit GRAY, RGB or RGBA, top line first, each load replacing the bitmap before it.
TEST(PngLoad, ReadsEveryFormatUprightAsEightBit) {
    using namespace std::string_literals;
    const std::tuple<const char*, std::string, int, int, PixelComponents, int, Bytes> cases[] = {
        {"RGBA",
         pngHeader(3, 2, 6) +
             pngRows({{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}}),
         3, 2, RGBA, 12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}},
        {"grey", grey5x2, 5, 2, GRAY, 8, grey5x2Lines},
        // Sixteen-bit samples are rounded, not truncated: 0x12FF gives 19.
        {"16-bit", pngHeader(2, 1, 2, 16) + pngRows({{0x12, 0xFF, 0, 0, 0xFF, 0xFF, 0x80, 0x80, 0x7F, 0x80, 1, 0}}),
         2, 1, RGB, 8, {19, 0, 255, 128, 127, 1}},
        {"grey-alpha", pngHeader(2, 1, 4) + pngRows({{10, 20, 30, 40}}), 2, 1, RGBA, 8,
         {10, 10, 10, 20, 30, 30, 30, 40}},
        // Two-bit indices 0, 1, 2; tRNS covers only the first two entries.
        {"palette",
         pngHeader(3, 1, 3, 2) + pngChunk("PLTE", "\xFF\0\0\0\xFF\0\0\0\xFF"s) + pngChunk("tRNS", "\0\x80"s) +
             pngRows({{0x18}}),
         3, 1, RGBA, 12, {255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}},
        {"2-bit grey", pngHeader(5, 1, 0, 2) + pngRows({{0x1B, 0x40}}), 5, 1, GRAY, 8, {0, 85, 170, 255, 85}},
        {"grey tRNS", pngHeader(2, 1, 0) + pngChunk("tRNS", "\0\7"s) + pngRows({{7, 8}}), 2, 1, RGBA, 8,
         {7, 7, 7, 0, 8, 8, 8, 255}},
        // Adam7's seven passes over 5 x 2 pixels, one row each but the third and fifth, which are empty.
        {"interlaced", pngHeader(5, 2, 0, 8, 1) + pngRows({{1}, {5}, {3}, {2, 4}, {6, 7, 8, 9, 10}}), 5, 2, GRAY, 8,
         grey5x2Lines}};
    const AppFolder folder;
    Image image(10, 10, GRAY, FLOAT);
    for (const auto& [what, file, width, height, components, lineBytes, lines] : cases) {
        SCOPED_TRACE(what);
        writeBytes(folder / "p.png", file);
        image.load("%APP%p.png");
        EXPECT_EQ(std::tuple(image.width, image.height, image.components, image.precision, image.lineBytes),
                  std::tuple(width, height, components, BYTE, lineBytes));
        EXPECT_EQ(imageLines(image), lines);
        EXPECT_EQ(image.getPixel(0, 0).r, lines[0] / 255.0); // top-left
        const Bytes bitmap(image.byteBitmap, image.byteBitmap + image.bitmapBytes);
        EXPECT_EQ(std::count(bitmap.begin(), bitmap.end(), 0), std::count(lines.begin(), lines.end(), 0) +
                  image.height * (image.lineBytes - image.width * image.pixelBytes)) << "row padding zeroed";
    }
}

// A save takes the names load takes, placeholders resolved, and renames a temporary file over the old one.
// A refused one, by its name or its image, leaves the old file as it was and no temporary file beside it.
TEST(ImageSave, RoundTripsAndReplacesTheOldFileOnlyWithACompletePicture) {
    const AppFolder folder;
    writeBytes(folder / "out.png", "old contents");
    for (const auto& [components, colorType] : {std::pair{GRAY, '\0'}, {RGB, '\2'}, {RGBA, '\6'}}) {
        SCOPED_TRACE(testing::Message() << "layout " << components);
        Image image(5, 3, components, BYTE), reread;
        for (int i = 0; i < image.bitmapBytes; ++i)
            image.byteBitmap[i] = static_cast<std::uint8_t>(7 * i + 1);
        image.save("%APP%out.png");
        // 8-bit, no interlace
        EXPECT_EQ(readBytes(folder / "out.png").substr(24, 5), (std::string{8, colorType, 0, 0, 0}));
        reread.load("%APP%out.png");
        EXPECT_EQ(imageLines(reread), imageLines(image));
    }
    const std::string saved = readBytes(folder / "out.png");
    Image floats(4, 4, RGB, FLOAT), empty, good(2, 2, RGB, BYTE);
    EXPECT_EQ(failureMessage([&] { floats.save("%APP%out.png"); }), notWritable);
    EXPECT_EQ(failureMessage([&] { empty.save("%APP%out.png"); }), notWritable);
    EXPECT_EQ(failureMessage([&] { good.save("%APP%saved.PNG"); }), unsupported);
    EXPECT_EQ(failureMessage([&] { good.save(static_cast<const char*>(nullptr)); }), unsupported);
    EXPECT_TRUE(readBytes(folder / "out.png") == saved);
    EXPECT_EQ(folder.entries(), 1);
}

} // namespace
} // namespace Stimulark::Testing
