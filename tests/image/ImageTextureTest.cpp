#include "ImageTesting.hpp"

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/image/Image.hpp"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Stimulark {
namespace {

using Pixels = std::vector<std::uint8_t>; // RGB, top line first

// One canvas for the whole suite; without a display every test is skipped.
class ImageOnCanvas : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        try {
            initializeToolkit();
            canvas = std::make_unique<Canvas>(0);
        } catch (const Exception& e) {
            unavailable = e.fullMessage();
        } catch (...) {
            unavailable = "the canvas could not be opened";
        }
    }
    static void TearDownTestSuite() { canvas.reset(); }

    void SetUp() override {
        if (!canvas)
            GTEST_SKIP() << "no canvas: " << unavailable;
        canvas->clear(Color::black, BACK_BUFFER);
        while (glGetError() != GL_NO_ERROR) {
        }
    }

    // The back buffer's pixels in a block of the canvas; GL counts rows from the bottom.
    static Pixels readBack(int left, int top, int w, int h) {
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * h * 4);
        glReadPixels(left, canvas->height - top - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        Pixels rgb;
        for (int row = h - 1; row >= 0; --row)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c)
                    rgb.push_back(rgba[(static_cast<std::size_t>(row) * w + x) * 4 + c]);
        return rgb;
    }

    // The 8-bit RGBA a pixel should give; a grey pixel is shown as three equal values.
    static std::array<std::uint8_t, 4> bytesOf(const Image& image, int x, int y) {
        const Color c = image.getPixel(x, y);
        auto byte = [](double v) { return static_cast<std::uint8_t>(std::lround(v * 255)); };
        return {byte(c.r), byte(c.g), byte(c.b), byte(c.a)};
    }

    // What a block of the canvas should show: black, with image pixel (i, j) at at(i, j).
    template <typename Place>
    static Pixels expected(const Image& image, int w, int h, Place at) {
        Pixels out(static_cast<std::size_t>(w) * h * 3, 0);
        for (int j = 0; j < image.height; ++j)
            for (int i = 0; i < image.width; ++i) {
                const auto [x, y] = at(i, j);
                std::copy_n(bytesOf(image, i, j).begin(), 3, &out[(static_cast<std::size_t>(y) * w + x) * 3]);
            }
        return out;
    }

    static void paint(Image& image) {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                image.setPixel(x, y, Color((x * 2 % 256) / 255.0, (y * 4 % 256) / 255.0, ((x + y) * 3 % 256) / 255.0, 1.0));
    }

    static inline std::unique_ptr<Canvas> canvas;
    static inline std::string unavailable;
};

TEST_F(ImageOnCanvas, TexturedAndUntexturedDrawingShowTheSamePixels) {
    const std::pair<PixelComponents, PixelPrecision> formats[] = {{GRAY, BYTE}, {RGB, BYTE}, {RGBA, BYTE}, {RGB, FLOAT}};
    for (const auto& [components, precision] : formats) {
        SCOPED_TRACE(testing::Message() << "layout " << components << ", precision " << precision);
        Image image(100, 60, components, precision);
        paint(image);
        image.targetArea.centerAt(249.5, 179.5); // top-left corner at (200, 150)
        // One pixel of black around the image: nothing drawn outside its place.
        const Pixels want = expected(image, 102, 62, [](int i, int j) { return std::pair{i + 1, j + 1}; });
        image.draw();
        EXPECT_EQ(readBack(199, 149, 102, 62), want);

        canvas->clear(Color::black, BACK_BUFFER);
        image.useTexture(true);
        EXPECT_EQ(image.api->textureWidth, 128);
        EXPECT_EQ(image.api->textureHeight, 64);
        image.draw();
        EXPECT_EQ(readBack(199, 149, 102, 62), want);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(ImageOnCanvas, TexturedImageFollowsTheRotation) {
    Image image(100, 60, RGB, BYTE);
    paint(image);
    image.useTexture(true);
    glPushMatrix();
    glTranslated(canvas->getCenterX(), canvas->getCenterY(), 0.0);
    glRotated(90.0, 0.0, 0.0, 1.0);
    glTranslated(-image.getWidth() * 0.5, -image.getHeight() * 0.5, 0.0);
    image.draw();
    glPopMatrix();
    // A 60 x 100 block centred on the canvas centre, framed by one black pixel. Turned
    // clockwise: the image's top line becomes the rightmost column.
    const int left = static_cast<int>(canvas->getCenterX() - 29.5) - 1;
    const int top = static_cast<int>(canvas->getCenterY() - 49.5) - 1;
    const Pixels want = expected(image, 62, 102, [](int i, int j) { return std::pair{60 - j, i + 1}; });
    EXPECT_EQ(readBack(left, top, 62, 102), want);
}

TEST_F(ImageOnCanvas, SecondUploadKeepsTheTextureAndShowsTheNewPixels) {
    Image image(10, 10, RGB, BYTE);
    image.clear(Color::red);
    image.useTexture(true);
    const GLuint name = image.api->textureName;
    image.clear(Color::blue);
    image.draw();
    EXPECT_EQ(readBack(5, 5, 1, 1), (Pixels{255, 0, 0})) << "not uploaded yet";
    image.useTexture(true);
    EXPECT_EQ(image.api->textureName, name);
    image.draw();
    EXPECT_EQ(readBack(0, 0, 10, 10), expected(image, 10, 10, [](int i, int j) { return std::pair{i, j}; }));
}

TEST_F(ImageOnCanvas, TextureIsDeletedWhenSwitchedOffOrReleased) {
    GLuint name = 0;
    {
        Image image(4, 4, RGBA, BYTE);
        image.useTexture(true);
        name = image.api->textureName;
        EXPECT_TRUE(glIsTexture(name));
        image.useTexture(false);
        EXPECT_FALSE(glIsTexture(name));
        EXPECT_FALSE(image.textured);
        image.useTexture(false);

        image.useTexture(true);
        name = image.api->textureName;
        image.release();
        EXPECT_FALSE(glIsTexture(name));
        image.release();

        image.set(4, 4, GRAY, FLOAT);
        image.useTexture(true);
        name = image.api->textureName;
    }
    EXPECT_FALSE(glIsTexture(name));
}

// The image sits in the texture's top-left corner: its top line in the last texel row.
TEST_F(ImageOnCanvas, TextureHoldsTheImageTopLeftOnBlack) {
    struct Case {
        int width, height;
        PixelComponents components;
        PixelPrecision precision;
        int textureWidth, textureHeight;
    };
    const Case cases[] = {{1, 1, RGBA, BYTE, 2, 2},     {3, 3, RGBA, BYTE, 4, 4},     {5, 3, RGB, BYTE, 8, 4},
                          {3, 3, RGBA, FLOAT, 4, 4},    {257, 256, RGB, BYTE, 512, 256}, {256, 256, RGBA, BYTE, 256, 256}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", layout " << c.components);
        Image image(c.width, c.height, c.components, c.precision);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                image.setPixel(x, y, Color((1 + x % 250) / 255.0, (1 + y % 250) / 255.0, 0.6, 0.8));
        image.useTexture(true);
        ASSERT_EQ(image.api->textureWidth, c.textureWidth);
        ASSERT_EQ(image.api->textureHeight, c.textureHeight);

        GLint w = 0, h = 0;
        glBindTexture(GL_TEXTURE_2D, image.api->textureName);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        ASSERT_EQ(w, c.textureWidth);
        ASSERT_EQ(h, c.textureHeight);
        std::vector<std::uint8_t> texels(static_cast<std::size_t>(w) * h * 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);

        int wrong = 0;
        for (int row = 0; row < h; ++row)
            for (int x = 0; x < w; ++x) {
                const int y = h - 1 - row;
                const auto want = x < c.width && y < c.height ? bytesOf(image, x, y) : std::array<std::uint8_t, 4>{0, 0, 0, 255};
                wrong += !std::equal(want.begin(), want.end(), &texels[(static_cast<std::size_t>(row) * w + x) * 4]);
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(ImageOnCanvas, UploadLeavesTheVisibleBuffersAlone) {
    Image image(50, 50, RGB, BYTE);
    image.clear(Color::white);
    image.targetArea.centerAt(324.5, 324.5);
    image.useTexture(true);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(readBack(300, 300, 50, 50), Pixels(50 * 50 * 3, 0));
}

TEST_F(ImageOnCanvas, ImagesBeyondTheLargestTextureAreRefused) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    Image image(largest + 1, 1, GRAY, BYTE);
    EXPECT_EQ(Testing::failureOf([&] { image.useTexture(true); }),
              Testing::imageFailure("TEXTURE ERROR", "The image is too large for a texture on this display."));
    EXPECT_FALSE(image.textured);
}

} // namespace
} // namespace Stimulark
