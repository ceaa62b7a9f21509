#include "ImageTesting.hpp"

#include "stimulark/image/Image.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

namespace Stimulark {
namespace {

using Testing::failureOf;
using Testing::imageFailure;

const PixelComponents allComponents[] = {GRAY, RGB, RGBA};
const PixelPrecision allPrecisions[] = {BYTE, FLOAT};

TEST(ImageAllocation, SizeFieldsAlignRowsToFourBytes) {
    struct Case {
        int width;
        PixelComponents components;
        PixelPrecision precision;
        int pixelBytes, lineBytes, lineElements;
    };
    const Case cases[] = {{3, RGB, BYTE, 3, 12, 12},   {5, GRAY, BYTE, 1, 8, 8},   {3, GRAY, FLOAT, 4, 12, 3},
                          {1, RGBA, FLOAT, 16, 16, 4}, {1, RGB, BYTE, 3, 4, 4},    {2, RGB, BYTE, 3, 8, 8},
                          {7, RGBA, BYTE, 4, 28, 28},  {2, RGB, FLOAT, 12, 24, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " wide, layout " << c.components << ", precision " << c.precision);
        Image image(c.width, 3, c.components, c.precision);
        EXPECT_EQ(image.pixelBytes, c.pixelBytes);
        EXPECT_EQ(image.lineBytes, c.lineBytes);
        EXPECT_EQ(image.lineElements, c.lineElements);
        EXPECT_EQ(image.bitmapBytes, 3 * c.lineBytes);
        EXPECT_EQ(image.bitmapElements, 3 * c.lineElements);
        EXPECT_EQ(image.getBitmap(), c.precision == BYTE ? static_cast<void*>(image.byteBitmap) : image.floatBitmap);
        EXPECT_EQ(c.precision == BYTE ? static_cast<void*>(image.floatBitmap) : image.byteBitmap, nullptr);
        EXPECT_EQ(image.targetArea.right, c.width - 1.0);
        EXPECT_EQ(image.targetArea.bottom, 2.0);
    }
}

TEST(ImageAllocation, RefusedSizesLeaveTheImageEmpty) {
    struct Case {
        int width, height, components, precision;
        Testing::Failure failure;
    };
    const Testing::Failure tooLarge = imageFailure("Memory Error", "The requested image is too large.");
    const Case cases[] = {
        {0, 10, RGB, BYTE, imageFailure("FORMAT ERROR", "The specified width is illegal")},
        {10, -1, RGB, BYTE, imageFailure("FORMAT ERROR", "The specified height is illegal")},
        {10, 10, 3, BYTE, imageFailure("FORMAT ERROR", "The specified pixel component is illegal")},
        {10, 10, -1, BYTE, imageFailure("FORMAT ERROR", "The specified pixel component is illegal")},
        {10, 10, RGB, 2, imageFailure("FORMAT ERROR", "The specified precision is illegal")},
        // Byte counts that would wrap around in 32-bit arithmetic.
        {100000, 100000, RGBA, BYTE, tooLarge},
        {46341, 46341, GRAY, BYTE, tooLarge},
        {INT_MAX, 1, RGBA, FLOAT, tooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        Image image;
        EXPECT_EQ(failureOf([&] {
                      image.set(c.width, c.height, static_cast<PixelComponents>(c.components),
                                static_cast<PixelPrecision>(c.precision));
                  }),
                  c.failure);
        EXPECT_FALSE(image.haveBitmap);
        EXPECT_EQ(image.getWidth(), 0.0);
        EXPECT_EQ(image.getHeight(), 0.0);
        EXPECT_EQ(image.api, nullptr);
        EXPECT_EQ(failureOf([&] { image.getPixel(0, 0); }), Testing::outOfBound);
    }
}

TEST(ImageAllocation, SecondSetIsRefusedAndChangesNothing) {
    Image image(4, 2, RGB, BYTE);
    image.setPixel(1, 1, Color::red);
    void* const bitmap = image.getBitmap();
    EXPECT_EQ(failureOf([&] { image.set(8, 8, RGBA, FLOAT); }),
              imageFailure("Memory Error", "Image object already has its bitmap."));
    EXPECT_EQ(image.getBitmap(), bitmap);
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.components, RGB);
    EXPECT_EQ(image.precision, BYTE);
    EXPECT_EQ(image.getPixel(1, 1).r, 1.0);
}

TEST(ImageAllocation, NewImagesAreOpaqueBlack) {
    for (PixelPrecision precision : allPrecisions)
        for (PixelComponents components : allComponents) {
            Image image(5, 3, components, precision);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 5; ++x) {
                    const Color c = image.getPixel(x, y);
                    EXPECT_TRUE(c.r == 0.0 && c.g == 0.0 && c.b == 0.0 && c.a == 1.0) << x << "," << y;
                }
        }
    Image rgba(2, 1, RGBA, BYTE);
    EXPECT_EQ(std::vector<int>(rgba.byteBitmap, rgba.byteBitmap + 8), (std::vector<int>{0, 0, 0, 255, 0, 0, 0, 255}));
}

TEST(ImageAllocation, ReleaseEmptiesOnceAndAllowsANewSet) {
    Image image;
    image.release();
    image.set(6, 4, RGBA, FLOAT);
    image.release();
    image.release();
    EXPECT_FALSE(image.haveBitmap);
    EXPECT_EQ(image.getWidth(), 0.0);
    EXPECT_EQ(image.components, RGB);
    EXPECT_EQ(image.precision, BYTE);
    EXPECT_EQ(failureOf([&] { image.getBitmap(); }), Testing::noBitmap);
    EXPECT_EQ(failureOf([&] { image.setPixel(0, 0, Color::white); }), Testing::outOfBound);
    EXPECT_EQ(failureOf([&] { image.clear(Color::white); }), Testing::outOfBound);
    image.set(2, 2, GRAY, BYTE);
    EXPECT_EQ(image.getPixel(1, 1).a, 1.0);
}

TEST(ImageFill, PaintsTheRoundedOverlapOnly) {
    Image image(6, 3, GRAY, BYTE);
    image.fill(Rectangle(0.4, 1.0, 2.5, 7.0), Color(1.0));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(image.getPixel(x, y).r, y >= 1 && x <= 3 ? 1.0 : 0.0) << x << "," << y;

    const std::vector<std::uint8_t> before(image.byteBitmap, image.byteBitmap + image.bitmapBytes);
    EXPECT_EQ(failureOf([&] { image.fill(Rectangle(6.0, 0.0, 9.0, 2.0), Color::white); }),
              (Testing::Failure{"Stimulark::Rectangle", "SIZE ERROR", "Cripped rectangle is null."}));
    EXPECT_EQ(std::vector<std::uint8_t>(image.byteBitmap, image.byteBitmap + image.bitmapBytes), before);
}

// fill writes whole rows at once; the bytes must be exactly those setPixel would write.
TEST(ImageFill, MatchesPerPixelSetPixelInEveryFormat) {
    const Color color(0.3, 0.6, 0.9, 0.45);
    for (PixelPrecision precision : allPrecisions)
        for (PixelComponents components : allComponents) {
            SCOPED_TRACE(testing::Message() << "layout " << components << ", precision " << precision);
            Image filled(7, 5, components, precision);
            Image reference(7, 5, components, precision);
            filled.fill(Rectangle(1.5, -2.0, 4.5, 2.5), color);
            for (int y = 0; y <= 3; ++y)
                for (int x = 2; x <= 5; ++x)
                    reference.setPixel(x, y, color);
            EXPECT_EQ(std::memcmp(filled.getBitmap(), reference.getBitmap(), filled.bitmapBytes), 0);

            filled.clear(Color::cyan);
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 7; ++x)
                    reference.setPixel(x, y, Color::cyan);
            EXPECT_EQ(std::memcmp(filled.getBitmap(), reference.getBitmap(), filled.bitmapBytes), 0);
        }
}

} // namespace
} // namespace Stimulark
