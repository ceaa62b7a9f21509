// TrueType text drawn on the canvas and read back (Xvfb's llvmpipe): the ink is what measure says, alignments move
// whole lines by whole pixels, shaping and bidirectional order show, ill-formed UTF-8 shows U+FFFD, and the
// drawing keeps to the shader path's manners (the GL matrix, blending, the state, later canvases, no allocation).

#include "AllocationCount.hpp"
#include "TestFonts.hpp"
#include "canvas/display_canvas.hpp"

#include "stimulark/text/Font.hpp"

#include <cmath>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

namespace Stimulark::Testing {
namespace {

Ink inkOfMeasure(const Rectangle& r, int x, int y) {
    return {0, static_cast<int>(r.left) + x, static_cast<int>(r.top) + y, static_cast<int>(r.right) + x,
            static_cast<int>(r.bottom) + y};
}

// Only the bounds: the count is not measure's.
Ink bounds(Ink ink) {
    ink.count = 0;
    return ink;
}

// White text on black.
class Text : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        canvas->clear(Color::black, BACK_BUFFER);
    }
    Ink drawn() { return inkIn(0, 0, canvas->width, canvas->height, black); }
    // The pixels of the ink's box.
    PixelBlock pixelsOf(const Ink& ink) {
        return readPixels(ink.left, ink.top, ink.right - ink.left + 1, ink.bottom - ink.top + 1);
    }
    // The drawn text's pixels, on a cleared canvas.
    PixelBlock drawnPixels(const Font& font, std::string_view text) {
        canvas->clear(Color::black, BACK_BUFFER);
        canvas->drawText(font, text, 100.0, 300.0, Color::white);
        const Ink ink = drawn();
        if (ink.count == 0)
            return {};
        PixelBlock block = pixelsOf(ink);
        block.left = ink.left - 100;
        block.top = ink.top - 300;
        return block;
    }
    // The columns holding ink between two rows, as runs: [first, last] each.
    std::vector<std::pair<int, int>> inkedColumns(const Ink& ink) {
        const PixelBlock block = pixelsOf(ink);
        std::vector<std::pair<int, int>> runs;
        for (int x = ink.left; x <= ink.right; ++x) {
            bool inked = false;
            for (int y = ink.top; y <= ink.bottom && !inked; ++y)
                inked = block.at(x, y) != black;
            if (inked && (runs.empty() || runs.back().second != x - 1))
                runs.push_back({x, x});
            else if (inked)
                runs.back().second = x;
        }
        return runs;
    }
    Font font{dejaVuSans, 24.0};
};

TEST_F(Text, TheInkIsWhatMeasureSaysMovedByTheRoundedPosition) {
    const std::pair<const char*, double> texts[] = {
        {"Hamburgefonstiv", 0.0},
        {"Typography: fine AVAV, jumps; \u00C5ngstr\u00F6m g\u0303!", 0.0},
        {"quick\nbrown\r\nfox", 0.0},
        {"\u0633\u0644\u0627\u0645 \u0639\u0644\u064A\u0643\u0645", 0.0},
        {"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD and 123", 0.0},
        {"The quick brown fox jumps over the lazy dog; pack my box with five dozen liquor jugs.", 220.0},
    };
    for (const auto& [text, maxWidth] : texts) {
        SCOPED_TRACE(text);
        canvas->clear(Color::black, BACK_BUFFER);
        const int lines = canvas->drawText(font, text, 100.5, 200.4, Color::white, 0, maxWidth);
        const Rectangle measured = font.measure(text, maxWidth);
        EXPECT_EQ(bounds(drawn()), inkOfMeasure(measured, 101, 200));
        if (maxWidth > 0.0) {
            EXPECT_GE(lines, 4);
            EXPECT_LE(measured.right, maxWidth);
            EXPECT_EQ(measured.bottom, (lines - 1) * font.lineHeight() + font.measure("gj").bottom);
        }
    }
}

// Centred and right-aligned lines are the left-aligned ones moved by whole pixels: the same pixels, centred on x
// or ending at x (within the last glyph's side bearing).
TEST_F(Text, AlignmentsMoveEachLineByWholePixels) {
    const char* text = "Wavy lines";
    canvas->drawText(font, text, 500.0, 100.0, Color::white, 0);
    const Ink left = inkIn(0, 70, 1024, 50, black);
    canvas->drawText(font, text, 500.0, 200.0, Color::white, 1);
    const Ink centred = inkIn(0, 170, 1024, 50, black);
    canvas->drawText(font, text, 500.0, 300.0, Color::white, 2);
    const Ink right = inkIn(0, 270, 1024, 50, black);
    const PixelBlock shape = pixelsOf(left);
    for (const Ink& moved : {centred, right}) {
        EXPECT_EQ(moved.count, left.count);
        PixelBlock block = pixelsOf(moved);
        block.left = shape.left;
        block.top = shape.top;
        EXPECT_EQ(block, shape);
    }
    EXPECT_NEAR((centred.left + centred.right) / 2.0, 500.0, 2.0);
    EXPECT_LE(right.right, 500);
    EXPECT_GE(right.right, 497);
    EXPECT_EQ(left.left - 500, static_cast<int>(font.measure(text).left));

    // Each line of a wrapped paragraph on its own.
    canvas->clear(Color::black, BACK_BUFFER);
    EXPECT_EQ(canvas->drawText(font, "Wide first line\nnarrow", 500.0, 400.0, Color::white, 2), 2);
    EXPECT_NEAR(inkIn(0, 370, 1024, 40, black).right, inkIn(0, 400, 1024, 40, black).right, 3.0);
}

// The fi ligature of DejaVu Sans against f and i kept apart by a zero-width non-joiner; Arabic letters joined
// against the same letters apart.
TEST_F(Text, LigaturesAndJoiningAreShaped) {
    EXPECT_NE(drawnPixels(font, "fi"), drawnPixels(font, "f\u200Ci"));
    const Font large(dejaVuSans, 48.0);
    EXPECT_NE(drawnPixels(large, "\u0644\u0627"), drawnPixels(large, "\u0644\u200C\u0627")) << "lam-alef";
}

// Alef and vav: the first letter of the word stands at the right. A paragraph that begins with a Hebrew letter runs
// right to left, so the full stop that ends it stands at its left end.
TEST_F(Text, RightToLeftRunsAndParagraphsReadRightToLeft) {
    const Font large(dejaVuSans, 48.0);
    canvas->drawText(large, "\u05D0\u05D5", 100.0, 200.0, Color::white);
    const auto letters = inkedColumns(drawn());
    ASSERT_EQ(letters.size(), 2u);
    const double alef = large.measure("\u05D0").getWidth(), vav = large.measure("\u05D5").getWidth();
    EXPECT_EQ(letters[0].second - letters[0].first + 1, vav);
    EXPECT_EQ(letters[1].second - letters[1].first + 1, alef);

    canvas->clear(Color::black, BACK_BUFFER);
    canvas->drawText(large, "\u05D0 ab.", 100.0, 200.0, Color::white);
    const Ink line = drawn();
    const auto parts = inkedColumns(line);
    ASSERT_GE(parts.size(), 3u);
    const Ink stop = inkIn(parts.front().first, line.top, parts.front().second - parts.front().first + 1,
                           line.bottom - line.top + 1, black);
    EXPECT_EQ(Ink({0, 0, stop.top - 200, stop.right - stop.left + 1, stop.bottom - 200}),
              Ink({0, 0, static_cast<int>(large.measure(".").top), static_cast<int>(large.measure(".").getWidth()),
                   static_cast<int>(large.measure(".").bottom)}))
        << "the leftmost ink is the full stop";
}

// Inside a Latin paragraph, an embedding or an isolate that runs right to left puts the exclamation mark that
// opens it at its right end, after the Latin letters, which keep their order; an override turns letters round.
TEST_F(Text, EmbeddingsIsolatesAndOverridesReorderLatinText) {
    const PixelBlock moved = drawnPixels(font, "ab cd! gh");
    EXPECT_NE(drawnPixels(font, "ab !cd gh"), moved);
    EXPECT_EQ(drawnPixels(font, "ab \u202B!cd\u202C gh"), moved) << "embedding";
    EXPECT_EQ(drawnPixels(font, "ab \u2067!cd\u2069 gh"), moved) << "isolate";
    EXPECT_EQ(drawnPixels(font, "ab \u202Ecd ef\u202C gh"), drawnPixels(font, "ab fe dc gh")) << "override";
}

// Ki: the vowel sign i stands left of its consonant, so ka is drawn right of where it stands alone, where a
// shaping that kept the logical order would leave it; wrapped as narrowly as can be, three kis make three lines,
// not six.
TEST_F(Text, DevanagariVowelSignsStayWithTheirCluster) {
    const Font devanagari(lohitDevanagari, 64.0);
    const PixelBlock ka = drawnPixels(devanagari, "\u0915"), ki = drawnPixels(devanagari, "\u0915\u093F");
    // Where ka's solid pixels all lie on ink of ki.
    const auto kaWithin = [&](int shift) {
        for (int y = ka.top; y < ka.top + ka.height(); ++y)
            for (int x = ka.left; x < ka.left + ka.width; ++x) {
                const int kx = x + shift;
                if ((ka.at(x, y) & 0xFF) < 0xC0)
                    continue;
                if (kx < ki.left || kx >= ki.left + ki.width || y < ki.top || y >= ki.top + ki.height() ||
                    ki.at(kx, y) == black)
                    return false;
            }
        return true;
    };
    std::vector<int> shifts;
    for (int shift = -10; shift <= 40; ++shift)
        if (kaWithin(shift))
            shifts.push_back(shift);
    ASSERT_FALSE(shifts.empty());
    EXPECT_GE(shifts.front(), 8) << "ka lies right of the sign";
    EXPECT_EQ(canvas->drawText(devanagari, "\u0915\u093F\u0915\u093F\u0915\u093F", 100.0, 200.0, Color::white, 0, 1.0),
              3);
}

TEST_F(Text, IllFormedUtf8ShowsOneReplacementCharacterForEachMaximalSubpart) {
    EXPECT_EQ(drawnPixels(font, "a\xC0\xAF" "b\xF0\x9F\x98" "c"), drawnPixels(font, "a\uFFFD\uFFFDb\uFFFDc"));
    EXPECT_NE(drawnPixels(font, "a\xC0\xAF" "b"), drawnPixels(font, "a\uFFFDb"));
    const std::string euro = "x\xE2\x82\xAC";
    EXPECT_EQ(drawnPixels(font, std::string_view(euro.data(), 3)), drawnPixels(font, "x\uFFFD"));
}

// The program's matrix moves the text; a translucent colour blends by its alpha times the coverage; the canvas's
// own drawing works after it; the bitmap text keeps its overload; and the refusals.
TEST_F(Text, KeepsTheShaderPathsManners) {
    glPushMatrix();
    glTranslated(50.0, 30.0, 0.0);
    canvas->drawText(font, "Moved", 100.0, 200.0, Color::white);
    glPopMatrix();
    EXPECT_EQ(bounds(drawn()), inkOfMeasure(font.measure("Moved"), 150, 230));

    // Anti-aliased: edge pixels are partly covered; at half alpha every pixel is half as bright.
    const PixelBlock full = drawnPixels(font, "Half");
    const PixelBlock half = [&] {
        canvas->clear(Color::black, BACK_BUFFER);
        canvas->drawText(font, "Half", 100.0, 300.0, Color(1.0, 1.0, 1.0, 0.5));
        return readPixels(full.left + 100, full.top + 300, full.width, full.height());
    }();
    int partly = 0;
    for (std::size_t i = 0; i < full.pixels.size(); ++i) {
        const double level = full.pixels[i] & 0xFF;
        partly += level > 0 && level < 255;
        EXPECT_NEAR(half.pixels[i] & 0xFF, level / 2, 1.0) << "pixel " << i;
    }
    EXPECT_GT(partly, 10);

    canvas->fillRect(Rectangle(300.0, 10.0, 309.0, 19.0), Color::red);
    EXPECT_EQ(pixelAt(305, 15), 0xFF0000u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // No font is made from a string, so this is the bitmap font's call: 7 pixels high at most.
    static_assert(!std::is_convertible_v<const char (&)[2], const Font&>);
    canvas->clear(Color::black, BACK_BUFFER);
    canvas->drawText("x", 100, 200, Color::white, 0, -1.0);
    const Ink bitmap = drawn();
    EXPECT_LE(bitmap.bottom - bitmap.top + 1, 7);
    EXPECT_NEAR(bitmap.bottom, 200, 1);

    const std::string outOfRange = "Stimulark::Canvas [ARGUMENT ERROR] ";
    EXPECT_EQ(failureMessage([&] { canvas->drawText(font, "x", nan, 0.0, Color::white); }),
              outOfRange + "the position is out of range.");
    EXPECT_EQ(failureMessage([&] { canvas->drawText(font, "x", 0.0, 0.0, Color::white, 0, nan); }),
              outOfRange + "the maximum width is out of range.");
}

// Enough large glyphs to make the glyph texture grow leave earlier text as it was; a later canvas makes its own.
TEST_F(Text, GlyphsSurviveTheTextureGrowingAndAreMadeAgainOnALaterCanvas) {
    const PixelBlock before = drawnPixels(font, "Hamburgefonstiv");
    const Font large(dejaVuSans, 200.0);
    std::string all;
    for (char c = '!'; c <= '~'; ++c)
        all += c;
    canvas->drawText(large, all, 0.0, 300.0, Color::white);
    EXPECT_EQ(drawnPixels(font, "Hamburgefonstiv"), before);

    canvas.reset();
    canvas = std::make_unique<Canvas>(0);
    EXPECT_EQ(drawnPixels(font, "Hamburgefonstiv"), before);
}

// With the float buffer on, text goes there, glyphs copied as the glyph texture grows meanwhile, and comes out as
// drawn directly.
TEST_F(Text, TheFloatBufferTakesTextAsTheWindowWould) {
    const PixelBlock direct = drawnPixels(font, "Hamburgefonstiv");
    canvas.reset();
    canvas = std::make_unique<Canvas>(0);
    canvas->setFloatBuffer(true);
    canvas->drawText(font, "Hamburgefonstiv", 100.0, 300.0, Color::white);
    std::string all;
    for (char c = '!'; c <= '~'; ++c)
        all += c;
    canvas->drawText(Font(dejaVuSans, 200.0), all, 0.0, 300.0, Color::white);
    canvas->clear(Color::black, BACK_BUFFER);
    canvas->drawText(font, "Hamburgefonstiv", 100.0, 300.0, Color::white);
    canvas->setFloatBuffer(false);
    const Ink ink = drawn();
    EXPECT_EQ(ink.left - 100, direct.left);
    EXPECT_EQ(ink.top - 300, direct.top);
    EXPECT_EQ(pixelsOf(ink).pixels, direct.pixels);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Frames of changing text: once every text has been laid out and every glyph is in the texture, drawing allocates
// nothing, whether the text is new to the cache or not.
TEST_F(Text, ChangingTextAllocatesNothingOnceWarm) {
    const auto text = [](int n) {
        char line[64];
        std::snprintf(line, sizeof line, "Trial %06d of 999999, answer %06d", n, 999999 - n);
        return std::string(line);
    };
    std::vector<std::string> texts;
    for (int n = 0; n < 900; ++n)
        texts.push_back(text(n));
    for (int n = 0; n < 300; ++n)
        canvas->drawText(font, texts[static_cast<std::size_t>(n)], 10.0, 100.0, Color::white, n % 3);
    const long before = allocationCount();
    for (int n = 300; n < 900; ++n)
        canvas->drawText(font, texts[static_cast<std::size_t>(n)], 10.0, 100.0, Color::white, n % 3);
    for (int n = 0; n < 50; ++n)
        canvas->drawText(font, texts.back(), 10.0, 100.0, Color::white);
    EXPECT_EQ(allocationCount() - before, 0);
}

} // namespace
} // namespace Stimulark::Testing
