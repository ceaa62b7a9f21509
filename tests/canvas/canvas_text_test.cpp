// Both fonts on the real backend. Most cases compare a rendering with the same
// text drawn line by line, so they hold whatever the glyphs look like.

#include "display_canvas.hpp"

#include "stimulark/canvas/Fonts.hpp"

#include <functional>
#include <string>

namespace Stimulark::Testing {
namespace {

class CanvasText : public DisplayTest {
protected:
    // What `draw` leaves in the canvas's top half, on black.
    PixelBlock drawn(const std::function<void()>& draw) {
        canvas->clear(Color::black, BACK_BUFFER);
        draw();
        return readPixels(*canvas, 0, 0, canvas->width, 420);
    }
    int text(const char* s, double x, double y, int alignment = 0, double maxWidth = -1.0) {
        return canvas->drawText(s, x, y, Color::white, alignment, maxWidth);
    }
    static int advance(const char* s) {
        int w = 0;
        for (; *s; ++s)
            w += glyphWidths[static_cast<unsigned char>(*s)] + 1;
        return w;
    }
};

TEST_F(CanvasText, DrawsTheDemoLineOnOneRow) {
    const char* line = "Move mouse to change the velocity";
    int lines = 0;
    const Ink ink = inkOf(drawn([&] { lines = text(line, 100, 100); }), black);
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(advance(line), 223);
    int lastColumn = 0;
    for (std::uint8_t row : glyphRows['y'])
        for (int column = 0; column < 8; ++column)
            if (row & (0x80 >> column))
                lastColumn = std::max(lastColumn, column);
    EXPECT_EQ(ink.left, 100);
    EXPECT_EQ(ink.right, 100 + 223 - (glyphWidths['y'] + 1) + lastColumn);
    EXPECT_EQ(ink.bottom, 100) << "descenders on y";
    EXPECT_EQ(ink.top, 100 - 6) << "capitals reach six rows above";
}

TEST_F(CanvasText, BreaksAtOneLineEndAtATime) {
    const struct {
        const char* text;
        const char* first;
        const char* second;
    } cases[] = {
        {"ab\ncd", "ab", "cd"},
        {"ab\r\ncd", "ab", "cd"},
        {"ab\rcd", "ab", "cd"},
        {"ab\n\ncd", "ab", "\x01" "cd"}, // the second line end shows as the dot
        {"ab\n", "ab", ""},
    };
    for (const auto& c : cases) {
        int lines = 0;
        const PixelBlock whole = drawn([&] { lines = text(c.text, 50, 300); });
        const PixelBlock apart = drawn([&] {
            text(c.first, 50, 300);
            text(c.second, 50, 310);
        });
        EXPECT_EQ(lines, 2) << c.first;
        EXPECT_TRUE(whole == apart) << c.first;
    }
}

TEST_F(CanvasText, AlignsOnXAndBreaksBeforeTheOverflowingGlyph) {
    const int w = advance("abc");
    EXPECT_TRUE(drawn([&] { text("abc", 300, 200, 2); }) == drawn([&] { text("abc", 300 - w, 200); }));
    EXPECT_TRUE(drawn([&] { text("abc", 512, 200, 1); }) == drawn([&] { text("abc", 512 - w * 0.5, 200); }));

    const struct {
        double x;
        int alignment;
        double maxWidth;
        const char* first;
        const char* second;
    } cases[] = {
        {40, 0, 30.0, "aaaa", "aa"},  // 7 pixels a glyph: past 30 - 7 after the fourth
        {20, 1, -1.0, "aaaaa", "aaa"}, // centred: 20 pixels each side of x
    };
    for (const auto& c : cases) {
        int lines = 0;
        const std::string whole = std::string(c.first) + c.second;
        const PixelBlock limited = drawn([&] { lines = text(whole.c_str(), c.x, 200, c.alignment, c.maxWidth); });
        const double f = c.alignment == 1 ? 0.5 : 0.0;
        EXPECT_EQ(lines, 2) << whole;
        EXPECT_TRUE(limited == drawn([&] {
            text(c.first, c.x - advance(c.first) * f, 200);
            text(c.second, c.x - advance(c.second) * f, 210);
        })) << whole;
    }
    EXPECT_EQ(text("Move mouse to change the velocity", 512, 100, 1), 1) << "room enough in the middle";
}

TEST_F(CanvasText, BytesBeyondTheFontShowAsTheDot) {
    int lines = 0;
    const PixelBlock high = drawn([&] { lines = text("\x80x\xff", 60, 60); });
    EXPECT_EQ(lines, 1);
    EXPECT_TRUE(high == drawn([&] { text("\x01x\x01", 60, 60); }));
    EXPECT_GT(inkOf(high, black).count, 8);
}

TEST_F(CanvasText, SegmentDigitsFillTwelvePixelCells) {
    const auto segments = [&](std::string_view s, double x, bool forward) {
        canvas->drawSegmentText(s, x, 400, Color::white, forward);
    };
    const PixelBlock backward = drawn([&] { segments("120", 1012, false); });
    EXPECT_TRUE(backward == drawn([&] { segments("120", 976, true); }));
    const Ink all = inkOf(backward, black);
    EXPECT_GE(all.left, 976);
    EXPECT_LT(all.right, 1012);
    EXPECT_EQ(all.top, 400 - 16);
    EXPECT_EQ(all.bottom, 400);

    const auto cell = [&](int left) { return inkOf(readPixels(*canvas, left, 380, 12, 25), black); };
    const Ink one = cell(976);
    EXPECT_EQ(one.left, 984);
    EXPECT_EQ(one.right, 984) << "'1' is the two right segments";
    EXPECT_EQ(one.count, 14) << "7 pixels a segment";
    EXPECT_GT(cell(988).count, 0);
    EXPECT_LE(cell(988).right, 996);
    EXPECT_GT(cell(1000).count, 0);

    const Ink none = inkOf(drawn([&] { segments("x", 500, true); }), black);
    EXPECT_EQ(none.count, 1) << "a glyph without segments is one point";
    EXPECT_EQ(none.left, 508);
    EXPECT_EQ(none.top, 400);
    EXPECT_EQ(inkOf(drawn([&] { segments("", 500, true); }), black).count, 0);
}

} // namespace
} // namespace Stimulark::Testing
