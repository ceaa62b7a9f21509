#include "ImageTesting.hpp"

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"

#include <GL/gl.h>

#include <climits>
#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace Stimulark {
namespace {

using namespace Testing;

Bytes bytesOf(const Image& image) { return Bytes(image.byteBitmap, image.byteBitmap + image.bitmapBytes); }

// Rows are 4-byte aligned and bottom-up; a new image is opaque black; each layout keeps only its own
// components, BYTE ones as v x 255 rounded half up and clamped, FLOAT ones in single precision. Every byte
// value reads back exactly as byte / 255.
TEST(ImageLayout, EveryFormatAlignsRowsAndKeepsOnlyItsComponents) {
    const std::tuple<int, PixelComponents, PixelPrecision, int, int, int> cases[] = {
        {1, RGB, BYTE, 3, 4, 4},    {2, RGB, BYTE, 3, 8, 8},    {5, GRAY, BYTE, 1, 8, 8},  {7, RGBA, BYTE, 4, 28, 28},
        {3, GRAY, FLOAT, 4, 12, 3}, {2, RGB, FLOAT, 12, 24, 6}, {1, RGBA, FLOAT, 16, 16, 4}};
    for (const auto& [width, components, precision, pixel, line, elements] : cases) {
        SCOPED_TRACE(testing::Message() << width << " wide, layout " << components << ", precision " << precision);
        Image image(width, 3, components, precision);
        EXPECT_EQ(std::tuple(image.pixelBytes, image.lineBytes, image.lineElements), std::tuple(pixel, line, elements));
        EXPECT_EQ(std::pair(image.bitmapBytes, image.bitmapElements), std::pair(3 * line, 3 * elements));
        EXPECT_EQ(rgba(image.getPixel(width - 1, 2)), (std::array{0.0, 0.0, 0.0, 1.0}));
        image.setPixel(0, 0, Color(0.998, 0.5, 0.003, 0.4));
        const bool bytes = precision == BYTE, alpha = components == RGBA;
        const double r = bytes ? 254 / 255.0 : double{0.998F}, g = bytes ? 128 / 255.0 : 0.5;
        const double b = bytes ? 1 / 255.0 : double{0.003F}, a = !alpha ? 1.0 : bytes ? 102 / 255.0 : double{0.4F};
        EXPECT_EQ(rgba(image.getPixel(0, 0)), (components == GRAY ? std::array{r, r, r, 1.0} : std::array{r, g, b, a}));
        EXPECT_TRUE(bytes ? image.byteBitmap[2 * line] == 254 : image.floatBitmap[2 * elements] == 0.998F);
    }
    Color wild; // fields written directly, past what Color's own setters allow
    std::tie(wild.r, wild.g, wild.b, wild.a) = std::tuple(1.004, -0.2, nan, 1e300);
    Image clamped(1, 1, RGBA, BYTE), all(256, 1, RGBA, BYTE);
    clamped.setPixel(0, 0, wild);
    EXPECT_EQ(bytesOf(clamped), (Bytes{255, 0, 0, 255}));
    for (int b = 0; b < 256; ++b) {
        all.setPixel(b, 0, Color(b / 255.0, (255 - b) / 255.0, b / 255.0, b / 255.0));
        ASSERT_EQ(rgba(all.getPixel(b, 0)), (std::array{b / 255.0, (255 - b) / 255.0, b / 255.0, b / 255.0})) << b;
    }
}

// Refused sizes and calls leave the image as it was, an empty one empty; release empties it and may be repeated.
TEST(ImageAllocation, RefusedSizesAndCallsChangeNothingAndReleaseEmpties) {
    auto expectEmpty = [](const Image& image) {
        EXPECT_TRUE(!image.haveBitmap && image.width == 0 && image.height == 0 && image.api == nullptr);
        EXPECT_EQ(failureMessage([&] { image.getPixel(0, 0); }), outOfBound);
    };
    const std::string tooBig = imageFailure("Memory Error", "The requested image is too large.");
    const std::tuple<int, int, PixelComponents, PixelPrecision, std::string> cases[] = {
        {0, 10, RGB, BYTE, imageFailure("FORMAT ERROR", "The specified width is illegal")},
        {10, -1, RGB, BYTE, imageFailure("FORMAT ERROR", "The specified height is illegal")},
        {10, 10, PixelComponents(3), BYTE, imageFailure("FORMAT ERROR", "The specified pixel component is illegal")},
        {10, 10, PixelComponents(-1), BYTE, imageFailure("FORMAT ERROR", "The specified pixel component is illegal")},
        {10, 10, RGB, PixelPrecision(2), imageFailure("FORMAT ERROR", "The specified precision is illegal")},
        // Byte counts that would wrap around in 32-bit arithmetic, and the last two even in 64 bits.
        {100000, 100000, RGBA, BYTE, tooBig}, {46341, 46341, GRAY, BYTE, tooBig}, {INT_MAX, 1, RGBA, FLOAT, tooBig},
        {(1 << 30) + 1, INT_MAX, RGBA, BYTE, tooBig}, {INT_MAX, INT_MAX, RGBA, FLOAT, tooBig}};
    for (const auto& [width, height, layout, precision, failure] : cases) {
        Image empty;
        EXPECT_EQ(failureMessage([&, w = width, h = height, c = layout, p = precision] { empty.set(w, h, c, p); }),
                  failure) << width << " x " << height;
        expectEmpty(empty);
    }
    ASSERT_EQ(Canvas::current, nullptr);
    Image image(4, 3, RGB, BYTE);
    image.setPixel(3, 2, Color::red);
    const Bytes before = bytesOf(image);
    EXPECT_EQ(failureMessage([&] { image.set(8, 8, RGBA, FLOAT); }),
              imageFailure("Memory Error", "Image object already has its bitmap."));
    for (const auto& [x, y] :
         {std::pair{4, 0}, {0, 3}, {-1, 0}, {0, -1}, {INT_MIN, 0}, {0, INT_MIN}, {INT_MAX, INT_MAX}}) {
        EXPECT_EQ(failureMessage([&, x = x, y = y] { image.setPixel(x, y, Color::white); }), outOfBound)
            << x << "," << y;
        EXPECT_EQ(failureMessage([&, x = x, y = y] { image.getPixel(x, y); }), outOfBound) << x << "," << y;
    }
    const std::string noCanvas = "Stimulark::Canvas [NO CANVAS] There is no open canvas to draw on.";
    EXPECT_EQ(failureMessage([&] { image.draw(); }) + failureMessage([&] { image.useTexture(true); }),
              noCanvas + noCanvas);
    EXPECT_EQ(std::tuple(image.width, image.height, image.components, image.textured), std::tuple(4, 3, RGB, false));
    EXPECT_EQ(bytesOf(image), before);
    image.release();
    image.release();
    expectEmpty(image);
    EXPECT_EQ(failureMessage([&] { image.getBitmap(); }) + failureMessage([&] { image.useTexture(true); }),
              noBitmap + noBitmap);
    EXPECT_EQ(failureMessage([&] { image.setPixel(0, 0, Color::white); }) +
                  failureMessage([&] { image.clear(Color::white); }),
              outOfBound + outOfBound);
}

// fill writes whole rows at once: exactly the bytes setPixel writes over the clipped, rounded rectangle.
// Images move, so that a vector can hold them: the moved-from image is empty and can be set again, and an
// assignment releases what the image held first.
TEST(ImageMoves, AVectorHoldsThemAndTheMovedFromImageIsEmpty) {
    static_assert(!std::is_copy_constructible_v<Image> && std::is_nothrow_move_constructible_v<Image> &&
                  std::is_nothrow_move_assignable_v<Image>);
    std::vector<Image> images;
    for (int i = 0; i < 5; ++i) {
        Image image(3 + i, 2, RGB, BYTE);
        image.setPixel(0, 0, Color(0.2 * i));
        image.targetArea.centerAt(50.0, 50.0);
        images.push_back(std::move(image));
        EXPECT_EQ(std::tuple(image.haveBitmap, image.width, image.byteBitmap, image.api), // NOLINT: moved from
                  std::tuple(false, 0, nullptr, nullptr));
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(images[i].width, 3 + i);
        EXPECT_NEAR(images[i].getPixel(0, 0).r, 0.2 * i, 0.5 / 255);
        EXPECT_EQ(images[i].targetArea.getLeft(), 50.0 - (3 + i - 1) / 2.0) << "its place";
    }
    Image target(8, 8, GRAY, FLOAT);
    target = std::move(images[0]);
    EXPECT_EQ(std::tuple(target.width, target.components, target.precision), std::tuple(3, RGB, BYTE));
    EXPECT_FALSE(images[0].haveBitmap);
    images[0].set(2, 2, RGBA, FLOAT);
    EXPECT_EQ(images[0].getPixel(1, 1).a, 1.0);
}

TEST(ImageFill, MatchesPerPixelSetPixelInEveryFormat) {
    for (PixelPrecision precision : {BYTE, FLOAT})
        for (PixelComponents components : {GRAY, RGB, RGBA}) {
            SCOPED_TRACE(testing::Message() << "layout " << components << ", precision " << precision);
            Image filled(6, 5, components, precision), reference(6, 5, components, precision);
            auto expectFill = [&](Rectangle rect, int left, int top, int right, int bottom, Color color) {
                filled.fill(rect, color);
                for (int y = top; y <= bottom; ++y)
                    for (int x = left; x <= right; ++x)
                        reference.setPixel(x, y, color);
                EXPECT_EQ(std::memcmp(filled.getBitmap(), reference.getBitmap(), filled.bitmapBytes), 0);
            };
            expectFill(Rectangle(0.4, 1.0, 2.5, 7.0), 0, 1, 3, 4, Color(0.3, 0.6, 0.9, 0.45));
            expectFill(Rectangle(1.5, -2.0, 4.5, 2.5), 2, 0, 5, 3, Color::cyan);
            expectFill(filled.area, 0, 0, 5, 4, Color::yellow);
        }
    Image outside(6, 3, GRAY, BYTE); // refused, and nothing painted: outside the image, or with an undefined edge
    for (const Rectangle& rect : {Rectangle(6.0, 0.0, 9.0, 2.0), Rectangle().set(nan, 0.0, 3.0, 2.0)})
        EXPECT_EQ(failureMessage([&] { outside.fill(rect, Color::white); }),
                  "Stimulark::Rectangle [SIZE ERROR] Cripped rectangle is null.");
    EXPECT_EQ(bytesOf(outside), Bytes(outside.bitmapBytes, 0));
}

// One canvas on the real backend for the whole suite.
struct ImageOnCanvas : ::testing::Test {
    static void SetUpTestSuite() {
        initializeToolkit();
        canvas = std::make_unique<Canvas>(0);
    }
    static void TearDownTestSuite() { canvas.reset(); }
    void SetUp() override {
        ASSERT_TRUE(canvas) << "the canvas did not open";
        canvas->clear(Color::black, BACK_BUFFER);
    }

    // A block of the back buffer, laid out like an RGB BYTE bitmap: rows from the bottom, 4-byte aligned.
    static Bytes readBack(int left, int top, int w, int h) {
        Bytes pixels(static_cast<std::size_t>((w * 3 + 3) / 4 * 4) * h);
        glReadPixels(left, canvas->height - top - h, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    // The bitmap of a w x h BYTE image: opaque black, with image pixel (i, j) at at(i, j).
    static Bytes expected(const Image& image, int w, int h, PixelComponents layout,
                          std::pair<int, int> (*at)(int, int)) {
        Image want(w, h, layout, BYTE);
        for (int j = 0; j < image.height; ++j)
            for (int i = 0; i < image.width; ++i)
                want.setPixel(at(i, j).first, at(i, j).second, image.getPixel(i, j));
        return Bytes(want.byteBitmap, want.byteBitmap + want.bitmapBytes);
    }

    static void paint(Image& image, double alpha) {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                image.setPixel(x, y, Color((1 + x % 250) / 255.0, (1 + y % 250) / 255.0, (x + y) % 256 / 255.0, alpha));
    }

    static inline std::unique_ptr<Canvas> canvas;
};

// Textured or not, an image shows its pixels at its place, nothing in the one-pixel frame around it. The
// upload shows nothing; a second one refreshes the same texture; switching off deletes it. A translucent RGBA
// image is blended over what is drawn, and a texture follows the GL matrix, as the demo turns its picture.
TEST_F(ImageOnCanvas, DrawsItsPixelsInPlaceBlendedAndTurnedWithOrWithoutATexture) {
    for (const auto& [components, precision] : {std::pair{GRAY, BYTE}, {RGB, BYTE}, {RGBA, BYTE}, {RGB, FLOAT}}) {
        SCOPED_TRACE(testing::Message() << "layout " << components << ", precision " << precision);
        Image image(100, 60, components, precision);
        paint(image, 1.0);
        image.targetArea.centerAt(249.5, 179.5); // top-left corner at (200, 150)
        auto framed = [&] {
            return expected(image, 102, 62, RGB, [](int i, int j) { return std::pair{i + 1, j + 1}; });
        };
        const Bytes first = framed();
        image.draw();
        EXPECT_EQ(readBack(199, 149, 102, 62), first);
        canvas->clear(Color::black, BACK_BUFFER);
        image.useTexture(true);
        EXPECT_EQ(readBack(199, 149, 102, 62), Bytes(first.size(), 0)) << "the upload showed";
        image.draw();
        EXPECT_EQ(readBack(199, 149, 102, 62), first);
        const GLuint name = image.api->textureName;
        image.clear(Color(1.0, 0.5, 0.25, 1.0));
        image.useTexture(true);
        image.draw();
        EXPECT_EQ(readBack(199, 149, 102, 62), framed());
        EXPECT_TRUE(image.api->textureName == name && glIsTexture(name));
        image.useTexture(false);
        EXPECT_FALSE(glIsTexture(name) || image.textured);
    }
    Image translucent(4, 4, RGBA, BYTE);
    translucent.clear(Color(1.0, 1.0, 1.0, 0.5));
    for (const bool textured : {false, true}) {
        canvas->clear(Color::black, BACK_BUFFER);
        translucent.useTexture(textured);
        translucent.draw(10.0, 10.0);
        EXPECT_NEAR(readBack(11, 11, 1, 1)[0], 128, 1) << (textured ? "textured" : "untextured");
    }
    Image turned(100, 60, RGB, BYTE);
    paint(turned, 1.0);
    turned.useTexture(true);
    canvas->clear(Color::black, BACK_BUFFER);
    glPushMatrix();
    glTranslated(canvas->getCenterX(), canvas->getCenterY(), 0.0);
    glRotated(90.0, 0.0, 0.0, 1.0);
    glTranslated(-turned.getWidth() * 0.5, -turned.getHeight() * 0.5, 0.0);
    turned.draw();
    glPopMatrix();
    // Turned clockwise about the centre, framed by one black pixel: the top line is the rightmost column.
    EXPECT_EQ(readBack(canvas->width / 2 - 31, canvas->height / 2 - 51, 62, 102),
              expected(turned, 62, 102, RGB, [](int i, int j) { return std::pair{60 - j, i + 1}; }));
}

// A texture belongs to the canvas it was made on. A later canvas hands out the same texture names again: there an
// older image draws from its bitmap, a new upload makes it a texture of its own, and releasing it leaves the
// other image's texture alone.
TEST_F(ImageOnCanvas, ATextureMadeOnAClosedCanvasIsNeverTakenForAnothersTexture) {
    Image red(8, 8, RGB, BYTE), green(8, 8, RGB, BYTE);
    red.clear(Color::red);
    green.clear(Color::green);
    red.useTexture(true);
    canvas.reset();
    canvas = std::make_unique<Canvas>(0);
    green.useTexture(true);
    const auto shown = [&] {
        canvas->clear(Color::black, BACK_BUFFER);
        red.draw(10.0, 10.0);
        green.draw(30.0, 10.0);
        return std::pair(readBack(12, 12, 1, 1), readBack(32, 12, 1, 1));
    };
    const std::pair<Bytes, Bytes> redAndGreen{{255, 0, 0, 0}, {0, 255, 0, 0}};
    EXPECT_EQ(shown(), redAndGreen) << "the red image from its bitmap";
    red.useTexture(true);
    EXPECT_TRUE(red.textureInUse());
    EXPECT_NE(red.api->textureName, green.api->textureName);
    EXPECT_EQ(shown(), redAndGreen) << "both from their own textures";
    red.useTexture(false);
    canvas.reset();
    canvas = std::make_unique<Canvas>(0);
    const GLuint greenName = green.api->textureName;
    red.useTexture(true); // made in the new context, where the green name may be taken again
    green.release();
    EXPECT_TRUE(glIsTexture(red.api->textureName)) << "releasing green deleted red's texture";
    EXPECT_EQ(readBack(12, 12, 1, 1), (Bytes{0, 0, 0, 0}));
    red.draw(10.0, 10.0);
    EXPECT_EQ(readBack(12, 12, 1, 1), (Bytes{255, 0, 0, 0})) << "name " << greenName;
}

// A moved image keeps its texture; an assignment over a textured image deletes that image's texture only.
TEST_F(ImageOnCanvas, AMovedImageKeepsItsTexture) {
    Image red(8, 8, RGB, BYTE), blue(8, 8, RGB, BYTE);
    red.clear(Color::red);
    blue.clear(Color::blue);
    red.useTexture(true);
    blue.useTexture(true);
    const GLuint blueName = blue.api->textureName;
    Image moved(std::move(red));
    EXPECT_TRUE(moved.textureInUse());
    moved = std::move(blue);
    EXPECT_TRUE(moved.textureInUse() && glIsTexture(blueName));
    moved.draw(10.0, 10.0);
    EXPECT_EQ(readBack(12, 12, 1, 1), (Bytes{0, 0, 255, 0}));
}

// Sides are powers of two, at least 2; the image sits top-left (top line in the last texel row) on opaque
// black. Release deletes the texture; sizes beyond the display's largest are refused.
TEST_F(ImageOnCanvas, TextureHoldsTheImageTopLeftOnBlack) {
    const std::tuple<int, int, PixelComponents, PixelPrecision, int, int> cases[] = {
        {1, 1, RGBA, BYTE, 2, 2}, {3, 3, RGBA, BYTE, 4, 4}, {5, 3, RGB, BYTE, 8, 4}, {3, 3, RGBA, FLOAT, 4, 4},
        {100, 60, RGB, BYTE, 128, 64}, {257, 256, RGB, BYTE, 512, 256}, {256, 256, RGBA, BYTE, 256, 256}};
    for (const auto& [width, height, components, precision, w, h] : cases) {
        SCOPED_TRACE(testing::Message() << width << " x " << height << ", layout " << components);
        Image image(width, height, components, precision);
        paint(image, 0.8);
        image.useTexture(true);
        EXPECT_EQ(std::pair(image.api->textureWidth, image.api->textureHeight), std::pair(w, h));
        Bytes texels(static_cast<std::size_t>(w) * h * 16); // room for a texture twice too large
        glBindTexture(GL_TEXTURE_2D, image.api->textureName);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        texels.resize(static_cast<std::size_t>(w) * h * 4);
        EXPECT_TRUE(texels == expected(image, w, h, RGBA, [](int i, int j) { return std::pair{i, j}; }));
        const GLuint name = image.api->textureName;
        image.release();
        EXPECT_FALSE(glIsTexture(name));
    }
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    // Past 2^30 pixels a side, the search for the texture size would overflow an int.
    for (const int side : {largest + 1, (1 << 30) + 1}) {
        Image huge(side, 1, GRAY, BYTE);
        EXPECT_EQ(failureMessage([&] { huge.useTexture(true); }),
                  imageFailure("TEXTURE ERROR", "The image is too large for a texture on this display."));
        EXPECT_FALSE(huge.textured);
    }
}

} // namespace
} // namespace Stimulark
