#pragma once

#include <array>
#include <cstdint>

namespace Stimulark {

// Seven-segment font: cells 12 pixels wide, glyphs standing on their origin and
// reaching 16 pixels up.
inline constexpr int segmentScale = 8;
inline constexpr int segmentCellWidth = 12;
inline constexpr int segmentGlyphHeight = 2 * segmentScale + 3;

struct SegmentLine {
    int x1, y1, x2, y2;
};

// Bits 0..6: top, upper left, upper right, middle, lower left, lower right, bottom.
extern const std::array<std::uint8_t, 128> segmentMasks;
// The seven segments in pixels, in bit order.
extern const std::array<SegmentLine, 7> segmentLines;

// Bitmap font: 7 rows per glyph, top row first, most significant bit leftmost; the
// raster advances by the glyph's width plus one.
inline constexpr int glyphHeight = 7;
inline constexpr int textLinePitch = 10;
extern const std::array<int, 128> glyphWidths;
extern const std::array<std::array<std::uint8_t, glyphHeight>, 128> glyphRows;

// The display lists of the fonts and circles, compiled into the rendering context
// of the canvas that opened last. Entry c of a font is list base + c.
struct DisplayLists {
    static unsigned segmentFont;
    static unsigned bitmapFont;
    // Two identical sets of filled circles of diameter 1 at (0.5, 0.5), with 25,
    // 35, 48 and 66 vertices before the closing one.
    static std::array<unsigned, 2> circleLists;
};

// Compiles all three tables into the current rendering context; refuses with
// "SYSTEM ERROR" when no names are left for the bitmap font.
void buildDisplayLists();

} // namespace Stimulark
