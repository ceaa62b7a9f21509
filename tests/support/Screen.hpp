#pragma once

#include <cstdint>
#include <vector>

namespace Stimulark::Testing {

// A block of pixels, rows top down, 0xRRGGBB each.
struct PixelBlock {
    int left = 0, top = 0, width = 0;
    std::vector<std::uint32_t> pixels;
    int height() const { return width ? static_cast<int>(pixels.size()) / width : 0; }
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>((y - top) * width + x - left)]; }
    bool operator==(const PixelBlock&) const = default;
};

// What the display shows in the block, the whole screen when `width` is 0; std::runtime_error without a display.
PixelBlock grabScreen(int left = 0, int top = 0, int width = 0, int height = 0);

} // namespace Stimulark::Testing
