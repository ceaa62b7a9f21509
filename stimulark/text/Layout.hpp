#pragma once

#include "stimulark/text/Glyphs.hpp"

#include <fribidi.h>
#include <hb.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Stimulark {

// A glyph with ink, placed for alignment 0 with the first baseline on row 0: its
// top-left pixel and its line.
struct PlacedGlyph {
    std::uint32_t glyph;
    std::int32_t left, top;
    std::int32_t line;
};

// A text laid out, as the layout cache keeps it.
struct LaidOutText {
    std::string text;
    double maxWidth = 0.0; // 0 for no wrapping
    std::size_t hash = 0;
    std::uint64_t lastUse = 0; // 0 while the entry holds nothing
    std::vector<PlacedGlyph> glyphs;
    std::vector<std::int64_t> lineAdvances; // each line's pen advance, in 1/64 pixel
    bool hasInk = false;
    std::int32_t inkLeft = 0, inkTop = 0, inkRight = 0, inkBottom = 0;
    // What drawing made of it last: one quad a glyph, for an atlas and an alignment.
    std::vector<float> quads;
    std::uint64_t quadsAtlas = 0;
    int quadsAlignment = 0;
};

// Lays out text in one face: decodes it, splits paragraphs at line breaks, resolves
// their directions (FriBidi), shapes runs of one level and script (HarfBuzz), breaks
// lines and places the glyphs in visual order. Its working arrays and HarfBuzz buffer
// are kept from text to text, so that it allocates nothing once warm.
class Layouter {
public:
    Layouter(hb_font_t* font, GlyphStore& glyphs, std::int64_t lineHeight);
    ~Layouter();
    Layouter(const Layouter&) = delete;
    Layouter& operator=(const Layouter&) = delete;

    // Fills everything of `out` but its key and the drawing's cache. `maxWidth` 0 does
    // not wrap.
    void layOut(std::string_view utf8, double maxWidth, LaidOutText& out);

private:
    struct Run {
        std::size_t begin, end;           // code points
        std::size_t glyphBegin, glyphEnd; // in shaped_, HarfBuzz's (visual) order
    };
    struct Shaped {
        std::uint32_t glyph;
        std::uint32_t cluster; // the code point it starts at
        std::int32_t advance, xOffset, yOffset;
    };

    void layOutParagraph(std::size_t begin, std::size_t end, std::int64_t maxWidth, LaidOutText& out);
    void shapeRuns(std::size_t begin, std::size_t end);
    void breakLines(std::size_t begin, std::size_t end, std::int64_t maxWidth);
    void placeLine(std::size_t paragraph, std::size_t begin, std::size_t end, FriBidiParType direction,
                   LaidOutText& out);
    std::size_t nextCluster(std::size_t at, std::size_t end) const;

    hb_font_t* font_;
    hb_buffer_t* buffer_;
    GlyphStore& glyphs_;
    std::int64_t lineHeight_; // 1/64 pixel
    std::vector<std::uint32_t> text_;
    std::vector<FriBidiCharType> types_;
    std::vector<FriBidiBracketType> brackets_;
    std::vector<FriBidiLevel> levels_;
    std::vector<FriBidiStrIndex> visual_;
    std::vector<hb_script_t> scripts_;
    std::vector<std::uint32_t> runOf_;
    std::vector<std::int64_t> advances_; // a cluster's advance at its first code point
    std::vector<Run> runs_;
    std::vector<Shaped> shaped_;
    std::vector<std::size_t> lineEnds_; // pairs: begin, end of each line of the paragraph
};

} // namespace Stimulark
