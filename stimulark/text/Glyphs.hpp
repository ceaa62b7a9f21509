#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Stimulark {

// A glyph's anti-aliased coverage, cropped to its ink: the pixels from (left, top) on,
// counted from the pen on the baseline row (y down), one byte each, rows top down.
struct Glyph {
    std::int32_t left = 0, top = 0;
    std::int32_t width = 0, height = 0; // 0 for a glyph without ink
    std::size_t offset = 0;             // of its first pixel in the store
};

// The glyphs of one face at its size, each rasterised once, when first asked for.
class GlyphStore {
public:
    explicit GlyphStore(FT_Face face) : face_(face) {}
    const Glyph& get(std::uint32_t index);
    const unsigned char* pixels(const Glyph& glyph) const { return pixels_.data() + glyph.offset; }

private:
    Glyph rasterise(std::uint32_t index);

    FT_Face face_;
    std::unordered_map<std::uint32_t, Glyph> glyphs_;
    std::vector<unsigned char> pixels_;
};

} // namespace Stimulark
