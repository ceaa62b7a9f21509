#include "stimulark/canvas/Canvas.hpp"

#include "stimulark/canvas/Fonts.hpp"

#include <GL/gl.h>

#include <climits>
#include <cstddef>

namespace Stimulark {

namespace {

// Truncates toward zero like a plain conversion, but keeps out-of-range values and
// NaN defined.
int truncated(double value) {
    if (!(value == value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

// Both fonts have 128 glyphs; any other byte shows as the control-code dot.
unsigned glyphCode(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code < 128 ? code : 0;
}

void drawGlyphRun(const char* text, std::size_t begin, std::size_t end, double x, double y) {
    glRasterPos2d(x, y);
    for (std::size_t i = begin; i < end; ++i)
        glCallList(DisplayLists::bitmapFont + glyphCode(text[i]));
}

} // namespace

void Canvas::fillRect(const Rectangle& rect, Color color) { fillCurrent(rect, color); }

void Canvas::fillCurrent(const Rectangle& rect, Color color) {
    glColor4f(static_cast<float>(color.r), static_cast<float>(color.g), static_cast<float>(color.b),
              static_cast<float>(color.a));
    glRectd(rect.left, rect.top, rect.right + 1.0, rect.bottom + 1.0);
}

int Canvas::drawText(const char* text, double x, double y, Color color, int alignment, double maxWidth) {
    if (text == nullptr)
        text = "";
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glColor4f(static_cast<float>(color.r), static_cast<float>(color.g), static_cast<float>(color.b),
              static_cast<float>(color.a));

    double factor = 0.0;
    int limit = 0;
    const bool givenWidth = maxWidth > 0.0;
    if (alignment == 1) {
        factor = 0.5;
        // Centred text has as much room as it can spread to both sides of x.
        const double side = x < width - x ? x : width - x;
        limit = givenWidth ? truncated(maxWidth) : truncated(2.0 * side);
    } else if (alignment == 2) {
        factor = 1.0;
        limit = givenWidth ? truncated(maxWidth) : truncated(x);
    } else {
        limit = givenWidth ? truncated(maxWidth) : truncated(width - x);
    }
    // Wider than this and the next glyph might not fit.
    const long long breakWidth = static_cast<long long>(limit) - 7;

    std::size_t i = 0;
    std::size_t lineStart = 0;
    int lines = 1;
    long long lineWidth = 0;
    for (;;) {
        if (lineWidth > breakWidth || text[i] == '\r' || text[i] == '\n') {
            drawGlyphRun(text, lineStart, i, x - lineWidth * factor, y + (lines - 1) * textLinePitch);
            lineWidth = 0;
            ++lines;
            if (text[i] == '\r')
                ++i;
            if (text[i] == '\n')
                ++i;
            lineStart = i;
        }
        if (text[i] == '\0')
            break;
        lineWidth += glyphWidths[glyphCode(text[i])] + 1;
        ++i;
    }
    drawGlyphRun(text, lineStart, i, x - lineWidth * factor, y + (lines - 1) * textLinePitch);

    glPopAttrib();
    glPopMatrix();
    return lines;
}

void Canvas::drawSegmentText(std::string_view text, double x, double y, Color color, bool forward) {
    if (text.empty() || DisplayLists::segmentFont == 0)
        return;
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glColor4f(static_cast<float>(color.r), static_cast<float>(color.g), static_cast<float>(color.b),
              static_cast<float>(color.a));
    constexpr auto cell = static_cast<GLfloat>(segmentCellWidth);
    if (forward) {
        glTranslatef(static_cast<GLfloat>(x) - cell, static_cast<GLfloat>(y), 0.0f);
        for (char c : text) {
            glTranslatef(cell, 0.0f, 0.0f);
            glCallList(DisplayLists::segmentFont + glyphCode(c));
        }
    } else {
        glTranslatef(static_cast<GLfloat>(x), static_cast<GLfloat>(y), 0.0f);
        for (auto c = text.rbegin(); c != text.rend(); ++c) {
            glTranslatef(-cell, 0.0f, 0.0f);
            glCallList(DisplayLists::segmentFont + glyphCode(*c));
        }
    }
    glPopAttrib();
    glPopMatrix();
}

} // namespace Stimulark
