#include "stimulark/text/Layout.hpp"

#include "stimulark/text/Utf8.hpp"

#include <algorithm>
#include <climits>
#include <cmath>

namespace Stimulark {

namespace {

// From 1/64 pixel to the nearest whole pixel, halves up.
std::int32_t wholePixels(std::int64_t value) { return static_cast<std::int32_t>((value + 32) >> 6); }

// Marks the code points inside a cluster, after its first.
constexpr std::int64_t insideCluster = INT64_MIN;

bool isLineBreak(std::uint32_t c) { return c == '\r' || c == '\n'; }

bool isSpace(std::uint32_t c) { return c == ' '; }

bool hasOwnScript(hb_script_t script) {
    return script != HB_SCRIPT_COMMON && script != HB_SCRIPT_INHERITED && script != HB_SCRIPT_UNKNOWN;
}

} // namespace

Layouter::Layouter(hb_font_t* font, GlyphStore& glyphs, std::int64_t lineHeight)
    : font_(font), buffer_(hb_buffer_create()), glyphs_(glyphs), lineHeight_(lineHeight) {}

Layouter::~Layouter() { hb_buffer_destroy(buffer_); }

void Layouter::layOut(std::string_view utf8, double maxWidth, LaidOutText& out) {
    text_.clear();
    decodeUtf8(utf8, text_);
    const std::size_t size = text_.size();
    types_.resize(size);
    brackets_.resize(size);
    levels_.resize(size);
    visual_.resize(size);
    scripts_.resize(size);
    runOf_.resize(size);
    advances_.resize(size);
    out.glyphs.clear();
    out.lineAdvances.clear();
    out.hasInk = false;
    const std::int64_t limit = maxWidth > 0.0 ? static_cast<std::int64_t>(std::llround(std::min(maxWidth, 1e12) * 64.0))
                                              : -1;
    std::size_t begin = 0;
    for (;;) {
        std::size_t end = begin;
        while (end < size && !isLineBreak(text_[end]))
            ++end;
        layOutParagraph(begin, end, limit, out);
        if (end == size)
            break;
        begin = end + (text_[end] == '\r' && end + 1 < size && text_[end + 1] == '\n' ? 2 : 1);
    }
}

void Layouter::layOutParagraph(std::size_t begin, std::size_t end, std::int64_t maxWidth, LaidOutText& out) {
    if (begin == end) {
        out.lineAdvances.push_back(0);
        return;
    }
    const auto length = static_cast<FriBidiStrIndex>(end - begin);
    FriBidiCharType* types = types_.data() + begin;
    FriBidiLevel* levels = levels_.data() + begin;
    fribidi_get_bidi_types(text_.data() + begin, length, types);
    // Without right-to-left letters, Arabic digits, embeddings or isolates every level is
    // 0, as FriBidi would find; it is asked only for other paragraphs, since it allocates
    // its runs afresh on every call. FRIBIDI_PAR_ON lets the first strong character decide.
    FriBidiParType direction = FRIBIDI_PAR_LTR;
    std::fill(levels, levels + length, FriBidiLevel{0});
    if (std::any_of(types, types + length, [](FriBidiCharType type) {
            return FRIBIDI_IS_RTL(type) || FRIBIDI_IS_ARABIC(type) || FRIBIDI_IS_EXPLICIT(type) ||
                   FRIBIDI_IS_ISOLATE(type);
        })) {
        fribidi_get_bracket_types(text_.data() + begin, length, types, brackets_.data() + begin);
        direction = FRIBIDI_PAR_ON;
        // It fails only when memory runs out; then the paragraph stays in logical order.
        if (fribidi_get_par_embedding_levels_ex(types, brackets_.data() + begin, length, &direction, levels) == 0) {
            std::fill(levels, levels + length, FriBidiLevel{0});
            direction = FRIBIDI_PAR_LTR;
        }
    }
    shapeRuns(begin, end);
    breakLines(begin, end, maxWidth);
    for (std::size_t i = 0; i < lineEnds_.size(); i += 2)
        placeLine(begin, lineEnds_[i], lineEnds_[i + 1], direction, out);
}

// Runs of one embedding level and one script, each shaped in the paragraph's context,
// so that joining and kerning see across run boundaries.
void Layouter::shapeRuns(std::size_t begin, std::size_t end) {
    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    // Spaces, digits, punctuation and marks take the script before them; those at the
    // start take the first script that follows.
    hb_script_t script = HB_SCRIPT_INVALID;
    std::size_t scriptless = begin;
    for (std::size_t i = begin; i < end; ++i) {
        const hb_script_t own = hb_unicode_script(unicode, text_[i]);
        if (hasOwnScript(own)) {
            if (script == HB_SCRIPT_INVALID)
                std::fill(scripts_.begin() + static_cast<std::ptrdiff_t>(scriptless),
                          scripts_.begin() + static_cast<std::ptrdiff_t>(i), own);
            script = own;
        }
        scripts_[i] = script == HB_SCRIPT_INVALID ? HB_SCRIPT_COMMON : script;
    }
    std::fill(advances_.begin() + static_cast<std::ptrdiff_t>(begin), advances_.begin() + static_cast<std::ptrdiff_t>(end),
              insideCluster);
    runs_.clear();
    shaped_.clear();
    for (std::size_t start = begin; start < end;) {
        std::size_t stop = start + 1;
        while (stop < end && levels_[stop] == levels_[start] && scripts_[stop] == scripts_[start])
            ++stop;
        hb_buffer_clear_contents(buffer_);
        hb_buffer_set_flags(buffer_, static_cast<hb_buffer_flags_t>((start == begin ? HB_BUFFER_FLAG_BOT : 0) |
                                                                    (stop == end ? HB_BUFFER_FLAG_EOT : 0)));
        hb_buffer_add_codepoints(buffer_, text_.data() + begin, static_cast<int>(end - begin),
                                 static_cast<unsigned>(start - begin), static_cast<int>(stop - start));
        hb_buffer_set_direction(buffer_, levels_[start] % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
        hb_buffer_set_script(buffer_, scripts_[start]);
        hb_buffer_set_language(buffer_, hb_language_get_default());
        hb_shape(font_, buffer_, nullptr, 0);
        unsigned count = 0;
        const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer_, &count);
        const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer_, &count);
        const std::size_t first = shaped_.size();
        for (unsigned k = 0; k < count; ++k) {
            const auto cluster = static_cast<std::uint32_t>(begin + infos[k].cluster);
            shaped_.push_back({infos[k].codepoint, cluster, positions[k].x_advance, positions[k].x_offset,
                               positions[k].y_offset});
            std::int64_t& advance = advances_[cluster];
            advance = (advance == insideCluster ? 0 : advance) + positions[k].x_advance;
        }
        std::fill(runOf_.begin() + static_cast<std::ptrdiff_t>(start), runOf_.begin() + static_cast<std::ptrdiff_t>(stop),
                  static_cast<std::uint32_t>(runs_.size()));
        runs_.push_back({start, stop, first, shaped_.size()});
        start = stop;
    }
}

std::size_t Layouter::nextCluster(std::size_t at, std::size_t end) const {
    do
        ++at;
    while (at < end && advances_[at] == insideCluster);
    return at;
}

// Greedy, in logical order: a line ends before the word that would pass the width,
// dropping the spaces there; a word wider than a line breaks between its clusters.
void Layouter::breakLines(std::size_t begin, std::size_t end, std::int64_t maxWidth) {
    lineEnds_.clear();
    std::size_t lineStart = begin;
    if (maxWidth >= 0) {
        const auto advance = [&](std::size_t i) { return advances_[i] == insideCluster ? 0 : advances_[i]; };
        std::int64_t width = 0;
        bool hasWord = false;
        std::size_t wordsEnd = begin;
        for (std::size_t i = begin; i < end;) {
            std::size_t wordStart = i, wordEnd = 0;
            std::int64_t spaces = 0, word = 0;
            for (; wordStart < end && isSpace(text_[wordStart]); wordStart = nextCluster(wordStart, end))
                spaces += advance(wordStart);
            for (wordEnd = wordStart; wordEnd < end && !isSpace(text_[wordEnd]); wordEnd = nextCluster(wordEnd, end))
                word += advance(wordEnd);
            if (hasWord && wordStart < end && width + spaces + word > maxWidth) {
                lineEnds_.push_back(lineStart);
                lineEnds_.push_back(wordsEnd);
                lineStart = wordStart;
                width = 0;
                hasWord = false;
            } else {
                width += spaces;
            }
            for (std::size_t c = wordStart; c < wordEnd; c = nextCluster(c, end)) {
                if (hasWord && width + advance(c) > maxWidth) {
                    lineEnds_.push_back(lineStart);
                    lineEnds_.push_back(c);
                    lineStart = c;
                    width = 0;
                }
                width += advance(c);
                hasWord = true;
            }
            if (wordEnd > wordStart)
                wordsEnd = wordEnd;
            i = wordEnd;
        }
    }
    lineEnds_.push_back(lineStart);
    lineEnds_.push_back(end);
}

// The line's code points in visual order (FriBidi), taken run by run: each stretch of
// one run gives its glyphs in HarfBuzz's order, which is already visual.
void Layouter::placeLine(std::size_t paragraph, std::size_t begin, std::size_t end, FriBidiParType direction,
                         LaidOutText& out) {
    const auto line = static_cast<std::int32_t>(out.lineAdvances.size());
    const std::int32_t baseline = wholePixels(line * lineHeight_);
    for (std::size_t i = begin; i < end; ++i)
        visual_[i] = static_cast<FriBidiStrIndex>(i);
    if (fribidi_reorder_line(0, types_.data() + paragraph, static_cast<FriBidiStrIndex>(end - begin),
                             static_cast<FriBidiStrIndex>(begin - paragraph), direction, levels_.data() + paragraph,
                             nullptr, visual_.data() + paragraph) == 0)
        for (std::size_t i = begin; i < end; ++i) // out of memory: the logical order
            visual_[i] = static_cast<FriBidiStrIndex>(i);
    std::int64_t pen = 0;
    for (std::size_t v = begin; v < end;) {
        const std::uint32_t run = runOf_[static_cast<std::size_t>(visual_[v])];
        auto low = static_cast<std::uint32_t>(visual_[v]), high = low;
        std::size_t w = v + 1;
        for (; w < end && runOf_[static_cast<std::size_t>(visual_[w])] == run; ++w) {
            low = std::min(low, static_cast<std::uint32_t>(visual_[w]));
            high = std::max(high, static_cast<std::uint32_t>(visual_[w]));
        }
        for (std::size_t k = runs_[run].glyphBegin; k < runs_[run].glyphEnd; ++k) {
            const Shaped& s = shaped_[k];
            if (s.cluster < low || s.cluster > high)
                continue;
            const Glyph& glyph = glyphs_.get(s.glyph);
            if (glyph.width > 0) {
                const std::int32_t left = wholePixels(pen + s.xOffset) + glyph.left;
                const std::int32_t top = baseline - wholePixels(s.yOffset) + glyph.top;
                const std::int32_t right = left + glyph.width - 1, bottom = top + glyph.height - 1;
                out.glyphs.push_back({s.glyph, left, top, line});
                if (!out.hasInk) {
                    out.hasInk = true;
                    out.inkLeft = left;
                    out.inkTop = top;
                    out.inkRight = right;
                    out.inkBottom = bottom;
                }
                out.inkLeft = std::min(out.inkLeft, left);
                out.inkTop = std::min(out.inkTop, top);
                out.inkRight = std::max(out.inkRight, right);
                out.inkBottom = std::max(out.inkBottom, bottom);
            }
            pen += s.advance;
        }
        v = w;
    }
    out.lineAdvances.push_back(pen);
}

} // namespace Stimulark
