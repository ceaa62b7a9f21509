#pragma once

/// \file
/// TrueType and OpenType fonts for Canvas::drawText.

#include "stimulark/geometry/Rectangle.hpp"

#include <memory>
#include <string>
#include <string_view>

namespace Stimulark {

class Canvas;
class FontFace;

/// A TrueType or OpenType font at one pixel size, for Canvas::drawText(const Font&, ...).
///
/// Text is shaped (kerning, ligatures, Arabic joining, the clusters of Indic scripts),
/// right-to-left runs are ordered by the Unicode bidirectional algorithm, and lines
/// break at CR, LF and CR LF and, given a maximum width, before a word that would pass
/// it. Each glyph is drawn from its anti-aliased coverage on whole pixels, so that
/// measure tells exactly which pixels a text covers.
///
/// A font keeps the layouts of the 256 texts it laid out last (with their maximum
/// widths), so that text drawn again costs no shaping. A font moves but is not copied;
/// a moved-from font refuses to measure or draw.
class Font {
public:
    /// Loads a TrueType or OpenType file at `pixelSize` pixels to the em.
    ///
    /// The path takes the file placeholders (File::decodePath). A file that cannot be
    /// opened, and a path holding a NUL, throw "Stimulark::Font [FILE ACCESS ERROR]
    /// Failed to open the requested file."; a file that is not a scalable font
    /// "Stimulark::Font [FILE FORMAT ERROR] The requested file is not a font."; a
    /// pixel size that is not a number above 0 and at most 2048 "Stimulark::Font
    /// [ARGUMENT ERROR] the pixel size is out of range.", before the file is read.
    Font(const std::string& file, double pixelSize);
    /// A font that every supported system has: DejaVu Sans on Linux (found through
    /// fontconfig, from Debian's fonts-dejavu-core; fontconfig's nearest match where
    /// it is missing), on Windows the first of Segoe UI, Arial and Tahoma in the
    /// system's font folder. The same refusals as the constructor.
    static Font defaultFont(double pixelSize);
    ~Font();
    /** @{ */
    /// The moved-from font is empty.
    Font(Font&& other) noexcept;
    Font& operator=(Font&& other) noexcept;
    /** @} */
    /** @{ */
    /// A font owns its face and its layouts.
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    /** @} */

    /// The pixels that drawText(*this, utf8, 0.0, 0.0, colour, 0, maxWidth) covers.
    ///
    /// The first and last column and row with any coverage, in pixel coordinates (the
    /// rectangle's edges are pixels of the ink); row 0 is the first baseline, the row
    /// that letters without descenders end on. Text without ink (empty, or only
    /// spaces and line breaks) gives a rectangle whose four edges are NaN, so that
    /// `std::isnan(r.left)` tells it. Drawing at (x, y) covers the same pixels moved
    /// by x and y rounded to whole pixels.
    Rectangle measure(std::string_view utf8, double maxWidth = 0.0) const;

    /// The pixel size the font was loaded at.
    double pixelSize() const;
    /// How far the font's tallest glyphs reach above the baseline, in whole pixels.
    double ascent() const;
    /// The distance from one line's baseline to the next, in whole pixels.
    double lineHeight() const;

private:
    friend class Canvas;
    explicit Font(std::unique_ptr<FontFace> face);
    FontFace& face() const;

    std::unique_ptr<FontFace> face_;
};

} // namespace Stimulark
