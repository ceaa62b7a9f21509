#include "ImageTesting.hpp"

#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/image/Image.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <vector>

namespace Stimulark {
namespace {

using Testing::failureOf;

TEST(PixelAccess, RefusesCoordinatesOutsideTheImageWithoutTouchingIt) {
    Image image(4, 3, RGBA, BYTE);
    image.setPixel(3, 2, Color::white);
    const std::vector<std::uint8_t> before(image.byteBitmap, image.byteBitmap + image.bitmapBytes);
    const int outside[][2] = {{4, 0}, {0, 3}, {-1, 0}, {0, -1}, {INT_MIN, 0}, {0, INT_MIN}, {INT_MAX, INT_MAX}};
    for (const auto& p : outside) {
        SCOPED_TRACE(testing::Message() << p[0] << "," << p[1]);
        EXPECT_EQ(failureOf([&] { image.setPixel(p[0], p[1], Color::red); }), Testing::outOfBound);
        EXPECT_EQ(failureOf([&] { image.getPixel(p[0], p[1]); }), Testing::outOfBound);
    }
    EXPECT_EQ(std::vector<std::uint8_t>(image.byteBitmap, image.byteBitmap + image.bitmapBytes), before);

    Image empty;
    EXPECT_EQ(failureOf([&] { empty.setPixel(0, 0, Color::red); }), Testing::outOfBound);
    EXPECT_EQ(failureOf([&] { empty.getPixel(0, 0); }), Testing::outOfBound);
}

TEST(PixelAccess, BytesAreRoundedHalfUpStoredBottomUpAndReadOverTwoFiftyFive) {
    Image image(1, 2, RGB, BYTE);
    image.setPixel(0, 0, Color(1.0, 0.5, 0.0, 1.0));
    EXPECT_EQ(std::vector<int>(image.byteBitmap, image.byteBitmap + 8), (std::vector<int>{0, 0, 0, 0, 255, 128, 0, 0}));
    const Color c = image.getPixel(0, 0);
    EXPECT_EQ(c.g, 128 / 255.0);
    EXPECT_EQ(c.r, 1.0);

    Image gray(1, 1, GRAY, BYTE);
    const double values[] = {0.2, 0.998, 0.003, 0.0019};
    const int bytes[] = {51, 254, 1, 0};
    for (int i = 0; i < 4; ++i) {
        gray.setPixel(0, 0, Color(values[i]));
        EXPECT_EQ(gray.byteBitmap[0], bytes[i]) << values[i];
    }
}

TEST(PixelAccess, EveryByteValueSurvivesARoundTrip) {
    Image image(256, 1, RGBA, BYTE);
    for (int b = 0; b < 256; ++b)
        image.setPixel(b, 0, Color(b / 255.0, (255 - b) / 255.0, b / 255.0, b / 255.0));
    for (int b = 0; b < 256; ++b) {
        const Color c = image.getPixel(b, 0);
        ASSERT_TRUE(c.r == b / 255.0 && c.g == (255 - b) / 255.0 && c.a == b / 255.0) << b;
        ASSERT_EQ(image.byteBitmap[4 * b], b);
    }
}

TEST(PixelAccess, LayoutsKeepOnlyTheirComponents) {
    for (PixelPrecision precision : {BYTE, FLOAT}) {
        SCOPED_TRACE(testing::Message() << "precision " << precision);
        Image gray(1, 1, GRAY, precision);
        gray.setPixel(0, 0, Color(0.2, 0.9, 0.9, 0.3));
        const Color g = gray.getPixel(0, 0);
        const double stored = precision == BYTE ? 51 / 255.0 : double{0.2F};
        EXPECT_TRUE(g.r == stored && g.g == stored && g.b == stored && g.a == 1.0);

        Image rgb(1, 1, RGB, precision);
        rgb.setPixel(0, 0, Color(0.0, 0.0, 0.0, 0.25));
        EXPECT_EQ(rgb.getPixel(0, 0).a, 1.0);

        Image rgba(1, 1, RGBA, precision);
        rgba.setPixel(0, 0, Color(0.0, 0.0, 0.0, 0.4));
        EXPECT_EQ(rgba.getPixel(0, 0).a, precision == BYTE ? 102 / 255.0 : double{0.4F});
    }
}

TEST(PixelAccess, FloatsAreStoredInSinglePrecision) {
    Image image(2, 2, RGBA, FLOAT);
    image.setPixel(1, 0, Color(0.1, 0.1, 0.1, 0.1));
    EXPECT_EQ(image.getPixel(1, 0).b, 0.10000000149011612);
    EXPECT_EQ(image.floatBitmap[image.lineElements + 4], 0.1F); // top line, second pixel
}

// Colours built through their constructors are always in range; one whose fields were
// written directly must still be stored sanely.
TEST(PixelAccess, ByteConversionClampsComponentsWrittenOutOfRange) {
    Image image(1, 1, RGBA, BYTE);
    Color c;
    c.r = 1.004;
    c.g = -0.2;
    c.b = std::numeric_limits<double>::quiet_NaN();
    c.a = 1e300;
    image.setPixel(0, 0, c);
    EXPECT_EQ(std::vector<int>(image.byteBitmap, image.byteBitmap + 4), (std::vector<int>{255, 0, 0, 255}));
}

TEST(ImageWithoutCanvas, DrawingAndUploadAreRefused) {
    ASSERT_EQ(Canvas::current, nullptr);
    Image image(2, 2, RGB, BYTE);
    EXPECT_EQ(failureOf([&] { image.draw(); }), Testing::noCanvas);
    EXPECT_EQ(failureOf([&] { image.useTexture(true); }), Testing::noCanvas);
    EXPECT_FALSE(image.textured);
    Image empty;
    EXPECT_EQ(failureOf([&] { empty.useTexture(true); }), Testing::noBitmap);
    empty.useTexture(false);
}

} // namespace
} // namespace Stimulark
