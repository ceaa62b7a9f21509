#pragma once

#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/image/Image.hpp"
#include "support/Screen.hpp"
#include "support/Scripted.hpp"

#include <GL/gl.h>
#include <GL/glext.h> // GL_BGRA, which Windows' gl.h (OpenGL 1.1) lacks

#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>
#include <ostream>
#include <thread>

namespace Stimulark::Testing {

inline constexpr std::uint32_t black = 0x000000, white = 0xFFFFFF, gray = 0x808080;

// From the current canvas's back buffer as drawn so far, or with `front` the front one.
inline PixelBlock readPixels(int left, int top, int width, int height, bool front = false) {
    std::vector<std::uint32_t> bottomUp(static_cast<std::size_t>(width * height));
    glFinish();
    glReadBuffer(front ? GL_FRONT : GL_BACK);
    glReadPixels(left, Canvas::current->height - top - height, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 bottomUp.data());
    glReadBuffer(GL_BACK);
    PixelBlock block{left, top, width, {}};
    for (auto row = bottomUp.end(); row != bottomUp.begin(); row -= width)
        for (auto pixel = row - width; pixel != row; ++pixel)
            block.pixels.push_back(*pixel & 0xFFFFFF);
    return block;
}
inline std::uint32_t pixelAt(int x, int y) { return readPixels(x, y, 1, 1).pixels[0]; }

// The top-left `width` x `height` pixels of an image, as readPixels gives them.
inline PixelBlock pixelsOf(const Image& image, int width, int height) {
    const auto byte = [](double v) { return static_cast<std::uint32_t>(v * 255.0 + 0.5); };
    PixelBlock block{0, 0, width, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Color c = image.getPixel(x, y);
            block.pixels.push_back(byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b));
        }
    return block;
}

// What the display shows, once pixel (x, y) shows `expected` or a second has passed.
inline PixelBlock readScreen(int left, int top, int width, int height, int x, int y, std::uint32_t expected) {
    PixelBlock block = grabScreen(left, top, width, height);
    for (int attempt = 0; attempt < 100 && block.at(x, y) != expected; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        block = grabScreen(left, top, width, height);
    }
    return block;
}

// Pixels differing from a background: how many, and their bounding box.
struct Ink {
    int count = 0, left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    bool operator==(const Ink&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Ink& i) {
        return out << i.count << " in (" << i.left << ", " << i.top << ")-(" << i.right << ", " << i.bottom << ")";
    }
};
inline Ink inkOf(const PixelBlock& block, std::uint32_t background) {
    Ink ink;
    for (int y = block.top; y < block.top + block.height(); ++y)
        for (int x = block.left; x < block.left + block.width; ++x)
            if (block.at(x, y) != background)
                ink = {ink.count + 1, std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x),
                       std::max(ink.bottom, y)};
    return ink;
}
inline Ink inkIn(int left, int top, int width, int height, std::uint32_t background) {
    return inkOf(readPixels(left, top, width, height), background);
}

// Each test on a fresh canvas of the real backend; no message is left behind (closing posts a quit).
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::initializeFrequency();
        resetKeyboard();
        resetMouse();
        platform().discardMessages();
        canvas = std::make_unique<Canvas>(0);
    }
    void TearDown() override {
        canvas.reset();
        platform().discardMessages();
    }
    std::unique_ptr<Canvas> canvas;
};

} // namespace Stimulark::Testing
