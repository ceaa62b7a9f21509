#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Stimulark {

// One rendering context's texture of glyph coverage, one byte a texel, keyed by font and
// glyph. Glyphs are packed on shelves and uploaded one by one as they first appear; the
// texture grows in height (copied on the GPU) and, once it cannot, is emptied and filled
// anew. Every call leaves GL_TEXTURE_2D of the active unit bound to it.
class GlyphAtlas {
public:
    GlyphAtlas();
    ~GlyphAtlas();
    GlyphAtlas(const GlyphAtlas&) = delete;
    GlyphAtlas& operator=(const GlyphAtlas&) = delete;

    // The texel of the glyph's top-left pixel, its `width` x `height` pixels uploaded the
    // first time; false for a glyph larger than the texture can become.
    bool place(std::uint32_t font, std::uint32_t glyph, int width, int height, const unsigned char* pixels, int& x,
               int& y);
    // Changes whenever places given out before are no longer valid.
    std::uint64_t identity() const { return identity_; }
    unsigned texture() const { return texture_; }

private:
    struct Place {
        std::int32_t x, y;
    };
    struct Shelf {
        int top, height, used;
    };
    bool allocate(int width, int height, int& x, int& y);
    void grow(int height);
    void empty();

    unsigned texture_ = 0, readFramebuffer_ = 0;
    int width_ = 0, height_ = 0, maxHeight_ = 0, shelvesEnd_ = 0;
    std::vector<Shelf> shelves_;
    std::unordered_map<std::uint64_t, Place> places_;
    std::uint64_t identity_ = 0;
};

} // namespace Stimulark
