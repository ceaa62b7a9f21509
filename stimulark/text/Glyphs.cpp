#include "stimulark/text/Glyphs.hpp"

#include <algorithm>
#include <cstdlib>

namespace Stimulark {

const Glyph& GlyphStore::get(std::uint32_t index) {
    const auto known = glyphs_.find(index);
    if (known != glyphs_.end())
        return known->second;
    return glyphs_.emplace(index, rasterise(index)).first->second;
}

// Light hinting snaps outlines vertically only, so the unhinted advances that the
// shaping uses still fit the shapes. A glyph FreeType cannot render has no ink.
Glyph GlyphStore::rasterise(std::uint32_t index) {
    if (FT_Load_Glyph(face_, index, FT_LOAD_RENDER | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0)
        return {};
    const FT_GlyphSlot slot = face_->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.buffer == nullptr)
        return {};
    const int rows = static_cast<int>(bitmap.rows), columns = static_cast<int>(bitmap.width);
    const int pitch = std::abs(bitmap.pitch);
    // A negative pitch stores the rows bottom up.
    const auto row = [&](int r) {
        return bitmap.buffer + static_cast<std::ptrdiff_t>(bitmap.pitch < 0 ? rows - 1 - r : r) * pitch;
    };
    int top = rows, bottom = -1, left = columns, right = -1;
    for (int r = 0; r < rows; ++r) {
        const unsigned char* line = row(r);
        for (int c = 0; c < columns; ++c)
            if (line[c] != 0) {
                top = std::min(top, r);
                bottom = r;
                left = std::min(left, c);
                right = std::max(right, c);
            }
    }
    if (bottom < 0)
        return {};
    // The bitmap's top row lies bitmap_top rows above the baseline's edge; the pen's
    // row, the baseline, is the last row above that edge.
    Glyph glyph{slot->bitmap_left + left, top - slot->bitmap_top + 1, right - left + 1, bottom - top + 1,
                pixels_.size()};
    for (int r = top; r <= bottom; ++r)
        pixels_.insert(pixels_.end(), row(r) + left, row(r) + right + 1);
    return glyph;
}

} // namespace Stimulark
