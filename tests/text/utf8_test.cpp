// The UTF-8 decoder against Unicode's practice for ill-formed input: one U+FFFD for each maximal subpart, and
// nothing read beyond the text.

#include "stimulark/text/Utf8.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace Stimulark::Testing {
namespace {

constexpr std::uint32_t bad = 0xFFFD;

std::vector<std::uint32_t> decoded(std::string_view text) {
    std::vector<std::uint32_t> out;
    decodeUtf8(text, out);
    return out;
}

TEST(Utf8, WellFormedSequencesOfEveryLengthDecodeToTheirCodePoints) {
    EXPECT_EQ(decoded("a\u00E9\u20AC\U0001F600\U0010FFFF\u07FF\uD7FF\uE000"),
              std::vector<std::uint32_t>({'a', 0xE9, 0x20AC, 0x1F600, 0x10FFFF, 0x7FF, 0xD7FF, 0xE000}));
    EXPECT_EQ(decoded(std::string_view("a\0b", 3)), std::vector<std::uint32_t>({'a', 0, 'b'}));
}

// Unicode's own example (Table 3-8) and the cases around the narrowed second bytes: overlong forms, surrogates and
// code points above U+10FFFF break after the lead byte; a truncated sequence is one replacement however long.
TEST(Utf8, EachMaximalSubpartOfAnIllFormedSequenceIsOneReplacement) {
    EXPECT_EQ(decoded("\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64"),
              std::vector<std::uint32_t>({'a', bad, bad, bad, 'b', bad, 'c', bad, bad, 'd'}));
    const std::pair<std::string, std::vector<std::uint32_t>> cases[] = {
        {"\xC0\xAF", {bad, bad}},              // overlong, lead never valid
        {"\xE0\x80\xAF", {bad, bad, bad}},     // overlong three-byte form
        {"\xED\xA0\x80", {bad, bad, bad}},     // a surrogate
        {"\xF4\x90\x80\x80", {bad, bad, bad, bad}}, // above U+10FFFF
        {"\xF5\x80", {bad, bad}},              // lead beyond F4
        {"\xF0\x9F\x98", {bad}},               // three of four bytes at the end
        {"\xF0\x9F\x98x", {bad, 'x'}},         // three of four bytes before an ASCII letter
        {"\xE2\x82\xE2\x82\xAC", {bad, 0x20AC}}, // a truncated sequence before a whole one
        {"\xFF\xFE", {bad, bad}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(decoded(text), expected) << testing::PrintToString(text);
}

// A view that ends inside a sequence stops there, though the bytes after it would complete it.
TEST(Utf8, NothingBeyondTheViewIsRead) {
    const std::string euro = "x\xE2\x82\xAC";
    EXPECT_EQ(decoded(std::string_view(euro.data(), 3)), std::vector<std::uint32_t>({'x', bad}));
    // On the heap and exactly as long as the view, so that a read past it is a sanitizer report.
    const auto exact = std::make_unique<char[]>(2);
    exact[0] = '\xE2';
    exact[1] = '\x82';
    EXPECT_EQ(decoded(std::string_view(exact.get(), 2)), std::vector<std::uint32_t>({bad}));
}

} // namespace
} // namespace Stimulark::Testing
