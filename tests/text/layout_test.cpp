// Layout as measure reports it: line breaks, wrapping at spaces and between clusters, kerning and joining, and the
// layout cache, which makes repeated and changing text cost no allocation once warm.

#include "AllocationCount.hpp"
#include "TestFonts.hpp"

#include "stimulark/text/Font.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace Stimulark::Testing {
namespace {

std::vector<double> edges(const Rectangle& r) { return {r.left, r.top, r.right, r.bottom}; }

class Layout : public ::testing::Test {
protected:
    std::vector<double> ink(std::string_view text, double maxWidth = 0.0) { return edges(font.measure(text, maxWidth)); }
    double width(std::string_view text) { return font.measure(text).getWidth(); }
    Font font{dejaVuSans, 64.0};
};

TEST_F(Layout, LinesBreakAtCrLfAndCrLfOneLineHeightApart) {
    EXPECT_EQ(ink("H\rH"), ink("H\nH"));
    EXPECT_EQ(ink("H\r\nH"), ink("H\nH")) << "CR LF is one break";
    const std::vector<double> one = ink("H"), two = ink("H\nH"), three = ink("H\n\r\nH");
    EXPECT_EQ(two[3] - one[3], font.lineHeight());
    EXPECT_EQ(three[3] - one[3], 2 * font.lineHeight());
    EXPECT_EQ(std::vector(two.begin(), two.begin() + 3), std::vector(one.begin(), one.begin() + 3));
}

// "aaa bbb" is about 258 pixels at 64 pixels to the em, "aaa bbb ccc" about 390.
TEST_F(Layout, WrappingBreaksBeforeTheWordThatWouldPassTheWidthAndDropsTheSpacesThere) {
    EXPECT_EQ(ink("aaa bbb ccc", 300.0), ink("aaa bbb\nccc"));
    EXPECT_EQ(ink("aaa bbb    ccc", 300.0), ink("aaa bbb\nccc"));
    EXPECT_EQ(ink("aaa bbb ccc", 140.0), ink("aaa\nbbb\nccc"));
    EXPECT_EQ(ink("aaa bbb ccc", 0.0), ink("aaa bbb ccc")) << "0 does not wrap";
    EXPECT_EQ(ink("aaa bbb ccc", -5.0), ink("aaa bbb ccc"));
    EXPECT_EQ(ink("aaa bbb\nccc ddd", 300.0), ink("aaa bbb\nccc ddd")) << "each paragraph wraps on its own";
    EXPECT_GT(ink("  aaa")[0], ink("aaa")[0]) << "a paragraph's leading spaces stay";
}

// A word wider than the line breaks between clusters: letters in Latin, a consonant with its vowel sign in
// Devanagari (ki, whose sign stands left of its consonant).
TEST_F(Layout, AWordWiderThanTheLineBreaksBetweenClustersNeverInsideOne) {
    EXPECT_EQ(ink("abc", 1.0), ink("a\nb\nc"));
    const Font devanagari(lohitDevanagari, 64.0);
    const char* ki = "\u0915\u093F";
    EXPECT_EQ(edges(devanagari.measure("\u0915\u093F\u0915\u093F\u0915\u093F", 1.0)),
              edges(devanagari.measure(std::string(ki) + "\n" + ki + "\n" + ki)));
}

TEST_F(Layout, KerningAndJoiningChangeWidths) {
    // DejaVu Sans kerns A and V by about 4 pixels at this size; their side bearings add less than 1.
    EXPECT_LE(width("AV"), width("A") + width("V") - 3.0);
    // Beh joined three times (initial, medial, final forms) is far narrower than three isolated ones.
    EXPECT_LT(width("\u0628\u0628\u0628"), 2.0 * width("\u0628"));
}

TEST_F(Layout, RepeatedAndChangingTextAllocateNothingOnceWarm) {
    const auto text = [](int n) {
        char line[64];
        std::snprintf(line, sizeof line, "Trial %06d of 999999, answer %06d", n, 999999 - n);
        return std::string(line);
    };
    std::vector<std::string> texts;
    for (int n = 0; n < 1200; ++n)
        texts.push_back(text(n));
    for (int n = 0; n < 600; ++n) // more than the cache holds: every entry has held such a text
        (void)font.measure(texts[static_cast<std::size_t>(n)], n % 2 ? 0.0 : 500.0);
    const long before = allocationCount();
    for (int n = 600; n < 1200; ++n)
        (void)font.measure(texts[static_cast<std::size_t>(n)], n % 2 ? 0.0 : 500.0);
    for (int n = 0; n < 100; ++n)
        (void)font.measure(texts.back());
    EXPECT_EQ(allocationCount() - before, 0);
}

} // namespace
} // namespace Stimulark::Testing
