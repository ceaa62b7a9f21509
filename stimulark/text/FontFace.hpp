#pragma once

#include "stimulark/text/Glyphs.hpp"
#include "stimulark/text/Layout.hpp"
#include "stimulark/text/LayoutCache.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Stimulark {

// What a Font holds: a FreeType face at one size, read through a stream of the file, its
// HarfBuzz font, its glyphs and its layouts.
class FontFace {
public:
    // Opens a path already decoded, with Font's refusals.
    FontFace(const std::string& path, double pixelSize);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // The text's layout, from the cache where it is there. `maxWidth` 0 or less does not
    // wrap.
    LaidOutText& layout(std::string_view utf8, double maxWidth);
    GlyphStore& glyphs() { return *glyphs_; }
    // Tells faces apart for as long as the process runs, where an address could be reused.
    std::uint32_t serial() const { return serial_; }

    double pixelSize = 0.0, ascent = 0.0, lineHeight = 0.0;

private:
    void release();

    std::uint32_t serial_;
    FT_Library library_ = nullptr;
    FT_StreamRec stream_{};
    FT_Face face_ = nullptr;
    hb_font_t* font_ = nullptr;
    std::unique_ptr<GlyphStore> glyphs_;
    std::unique_ptr<Layouter> layouter_;
    LayoutCache cache_;
};

// The file of the font that Font::defaultFont loads; empty when the system has none.
std::string defaultFontPath();

} // namespace Stimulark
