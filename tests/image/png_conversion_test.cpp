#include "image/png_files.hpp"

#include "stimulark/image/Image.hpp"

#include <gtest/gtest.h>

namespace Stimulark::Testing {
namespace {

using Lines = std::vector<std::vector<int>>;

struct Loaded {
    PixelComponents components;
    Lines lines; // top line first, padding left out
};

Loaded loadThroughFile(const PngPicture& picture) {
    TempFolder folder;
    EXPECT_TRUE(writePng(folder / "p.png", picture));
    Image image;
    image.load(folder / "p.png");
    Loaded loaded{image.components, {}};
    const int bytes = image.width * image.pixelBytes;
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.byteBitmap + (image.height - 1 - y) * image.lineBytes;
        loaded.lines.emplace_back(row, row + bytes);
    }
    return loaded;
}

void expectLoaded(const PngPicture& picture, PixelComponents components, const Lines& lines) {
    const Loaded loaded = loadThroughFile(picture);
    EXPECT_EQ(loaded.components, components);
    EXPECT_EQ(loaded.lines, lines);
}

// Rounded to the nearest 8-bit value, not truncated: 0x12FF gives 19, not 0x12.
TEST(PngConversion, SixteenBitSamplesAreRounded) {
    expectLoaded({.width = 2, .height = 1, .bitDepth = 16,
                  .rows = {{0x12, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x80, 0x80, 0x7F, 0x80, 0x01, 0x00}}},
                 RGB, {{19, 0, 255, 128, 127, 1}});
    expectLoaded({.width = 1, .height = 1, .colorType = PNG_COLOR_TYPE_GRAY_ALPHA, .bitDepth = 16,
                  .rows = {{0xFF, 0xFF, 0x80, 0x00}}},
                 RGBA, {{255, 255, 255, 128}});
}

TEST(PngConversion, PaletteAndGreyAlphaBecomeRgba) {
    const std::vector<png_color> palette{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    // Two-bit indices 0, 1, 2; the tRNS chunk covers only the first two entries.
    expectLoaded({.width = 3, .height = 1, .colorType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 2,
                  .palette = palette, .paletteAlpha = {0, 128}, .rows = {{0x18}}},
                 RGBA, {{255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}});
    expectLoaded({.width = 2, .height = 2, .colorType = PNG_COLOR_TYPE_PALETTE,
                  .palette = palette, .rows = {{2, 0}, {1, 1}}},
                 RGBA, {{0, 0, 255, 255, 255, 0, 0, 255}, {0, 255, 0, 255, 0, 255, 0, 255}});
    expectLoaded({.width = 2, .height = 1, .colorType = PNG_COLOR_TYPE_GRAY_ALPHA, .rows = {{10, 20, 30, 40}}},
                 RGBA, {{10, 10, 10, 20, 30, 30, 30, 40}});
}

TEST(PngConversion, LowBitGreyIsExpandedToFullRange) {
    const PngPicture base{.width = 5, .height = 1, .colorType = PNG_COLOR_TYPE_GRAY};
    PngPicture oneBit = base, twoBit = base, fourBit = base;
    oneBit.bitDepth = 1;
    oneBit.rows = {{0xB0}};
    twoBit.bitDepth = 2;
    twoBit.rows = {{0x1B, 0x40}};
    fourBit.bitDepth = 4;
    fourBit.rows = {{0x0F, 0x78, 0x10}};
    expectLoaded(oneBit, GRAY, {{255, 0, 255, 255, 0}});
    expectLoaded(twoBit, GRAY, {{0, 85, 170, 255, 85}});
    expectLoaded(fourBit, GRAY, {{0, 255, 119, 136, 17}});
}

TEST(PngConversion, TransparentColourBecomesAlpha) {
    expectLoaded({.width = 2, .height = 1, .colorType = PNG_COLOR_TYPE_GRAY,
                  .transparent = png_color_16{0, 0, 0, 0, 7}, .rows = {{7, 8}}},
                 RGBA, {{7, 7, 7, 0, 8, 8, 8, 255}});
    expectLoaded({.width = 2, .height = 1, .transparent = png_color_16{0, 1, 2, 3, 0},
                  .rows = {{1, 2, 3, 1, 2, 4}}},
                 RGBA, {{1, 2, 3, 0, 1, 2, 4, 255}});
}

TEST(PngConversion, InterlacedFilesReadInFull) {
    PngPicture picture{.width = 13, .height = 9, .interlace = PNG_INTERLACE_ADAM7};
    Lines expected;
    for (int y = 0; y < 9; ++y) {
        picture.rows.emplace_back();
        expected.emplace_back();
        for (int x = 0; x < 13; ++x)
            for (int value : {10 * x + y, 20 * y, x + y + 1}) {
                picture.rows.back().push_back(static_cast<png_byte>(value));
                expected.back().push_back(value);
            }
    }
    expectLoaded(picture, RGB, expected);
}

} // namespace
} // namespace Stimulark::Testing
