#pragma once

#include "stimulark/canvas/Canvas.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace Stimulark::Testing {

// A block of pixels, rows top down, 0xRRGGBB each.
struct PixelBlock {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>((y - top) * width + x - left)]; }
    PixelBlock part(int partLeft, int partTop, int partWidth, int partHeight) const;
    bool operator==(const PixelBlock&) const = default;
};

// Pixels differing from a background: how many, and their bounding box.
struct Ink {
    int count = 0;
    int left = 0, top = 0, right = -1, bottom = -1;
    bool operator==(const Ink&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Ink& ink);
Ink inkOf(const PixelBlock& block, std::uint32_t background);

// From the back buffer (the front one with `front`), as drawn so far.
PixelBlock readPixels(const Canvas& canvas, int left, int top, int width, int height, bool front = false);
// What the display shows, once pixel (x, y) shows `expected` or a second has passed.
PixelBlock readScreen(int left, int top, int width, int height, int x, int y, std::uint32_t expected);

// Runs xdotool on the test display, e.g. "mousemove 10 20".
void xdotool(const std::string& arguments);

// Each test on a fresh canvas of the real backend; no message is left behind
// (closing a canvas posts a quit).
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<Canvas> canvas;
};

inline constexpr std::uint32_t black = 0x000000, white = 0xFFFFFF, gray = 0x808080;

} // namespace Stimulark::Testing
