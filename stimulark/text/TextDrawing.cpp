#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/draw/GlyphAtlas.hpp"
#include "stimulark/draw/ShaderPath.hpp"
#include "stimulark/gl/Gl.hpp"
#include "stimulark/text/Font.hpp"
#include "stimulark/text/FontFace.hpp"

#include <cmath>
#include <string>

namespace Stimulark {

namespace {

void check(bool inRange, const char* argument) {
    if (!inRange)
        throw Exception(typeid(Canvas), "ARGUMENT ERROR", (std::string(argument) + " is out of range.").c_str());
}

// The text's quads in this atlas, each line moved for the alignment by whole pixels. The
// atlas may be emptied to make room on the way: then the quads made before are void and
// are made again, once; a text that does not fit the atlas at all keeps what it could.
void makeQuads(FontFace& face, LaidOutText& text, GlyphAtlas& atlas, int alignment) {
    const double share = alignment == 1 ? 0.5 : alignment == 2 ? 1.0 : 0.0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::uint64_t identity = atlas.identity();
        bool emptied = false;
        text.quads.clear();
        for (const PlacedGlyph& placed : text.glyphs) {
            const Glyph& glyph = face.glyphs().get(placed.glyph);
            int x = 0, y = 0;
            if (!atlas.place(face.serial(), placed.glyph, glyph.width, glyph.height, face.glyphs().pixels(glyph), x, y))
                continue;
            if (atlas.identity() != identity) {
                identity = atlas.identity();
                emptied = true;
                text.quads.clear();
            }
            const double advance = static_cast<double>(text.lineAdvances[static_cast<std::size_t>(placed.line)]) / 64.0;
            const double left = placed.left - std::floor(advance * share + 0.5);
            const float quad[ShaderPath::glyphFloats] = {static_cast<float>(left), static_cast<float>(placed.top),
                                                         static_cast<float>(glyph.width),
                                                         static_cast<float>(glyph.height), static_cast<float>(x),
                                                         static_cast<float>(y)};
            text.quads.insert(text.quads.end(), quad, quad + ShaderPath::glyphFloats);
        }
        if (!emptied)
            break;
    }
    text.quadsAtlas = atlas.identity();
    text.quadsAlignment = alignment;
}

} // namespace

int Canvas::drawText(const Font& font, std::string_view utf8, double x, double y, Color color, int alignment,
                     double maxWidth) {
    check(std::isfinite(x) && std::isfinite(y), "the position");
    check(!std::isnan(maxWidth), "the maximum width");
    FontFace& face = font.face();
    ShaderPath& path = shaderPath();
    LaidOutText& text = face.layout(utf8, maxWidth);
    GlyphAtlas& atlas = path.glyphAtlas();
    if (alignment != 1 && alignment != 2)
        alignment = 0;
    if (text.quadsAtlas != atlas.identity() || text.quadsAlignment != alignment) {
        const Gl::StateGuard guard;
        makeQuads(face, text, atlas, alignment);
    }
    path.drawGlyphs(text.quads, std::floor(x + 0.5), std::floor(y + 0.5), color);
    return static_cast<int>(text.lineAdvances.size());
}

} // namespace Stimulark
