// Loading fonts: the refusals with their exact texts, placeholders, the default font, moves; and what measure
// says of text without ink.

#include "TestFonts.hpp"

#include "stimulark/file/File.hpp"
#include "stimulark/text/Font.hpp"
#include "support/Scripted.hpp"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <type_traits>

#ifdef _WIN32
#include "stimulark/platform/win32/WindowsApi.hpp"
#endif

namespace Stimulark::Testing {
namespace {

const std::string accessFailure = "Stimulark::Font [FILE ACCESS ERROR] Failed to open the requested file.";
const std::string formatFailure = "Stimulark::Font [FILE FORMAT ERROR] The requested file is not a font.";
const std::string sizeFailure = "Stimulark::Font [ARGUMENT ERROR] the pixel size is out of range.";

std::string temporaryFile(const char* name, std::string_view content) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

TEST(Font, RefusesWhatItCannotOpenWhatIsNoFontAndSizesOutOfRange) {
    EXPECT_EQ(failureMessage([] { Font("/no/such/folder/font.ttf", 24.0); }), accessFailure);
    EXPECT_EQ(failureMessage([] { Font(dejaVuFolder, 24.0); }), accessFailure) << "a folder";
    // Cut at its NUL, the path would name a font that exists.
    EXPECT_EQ(failureMessage([] { Font(std::string(dejaVuSans) + std::string("\0.x", 3), 24.0); }), accessFailure);

    const std::string text = temporaryFile("stimulark-not-a-font.ttf", "This is text, not a font.\n");
    const std::string empty = temporaryFile("stimulark-empty.ttf", "");
    EXPECT_EQ(failureMessage([&] { Font(text, 24.0); }), formatFailure);
    EXPECT_EQ(failureMessage([&] { Font(empty, 24.0); }), formatFailure);
    std::filesystem::remove(text);
    std::filesystem::remove(empty);

    for (const double size : {0.0, -1.0, nan, inf, 2048.5}) {
        EXPECT_EQ(failureMessage([&] { Font(dejaVuSans, size); }), sizeFailure) << size;
        EXPECT_EQ(failureMessage([&] { Font::defaultFont(size); }), sizeFailure) << size;
    }
    EXPECT_EQ(failureMessage([] { Font("/no/such/font.ttf", 0.0); }), sizeFailure) << "the size before the file";
    EXPECT_EQ(failureMessage([] { Font(dejaVuSans, 2048.0); }), "no failure");
}

TEST(Font, PathsTakeThePlaceholders) {
    std::string& app = File::pathIds()[File::APP].path;
    const std::string before = app;
    app = dejaVuFolder;
    const Rectangle viaPlaceholder = Font("%APP%DejaVuSans.ttf", 20.0).measure("Hg");
    app = before;
    const Rectangle direct = Font(dejaVuSans, 20.0).measure("Hg");
    EXPECT_EQ(std::vector({viaPlaceholder.left, viaPlaceholder.top, viaPlaceholder.right, viaPlaceholder.bottom}),
              std::vector({direct.left, direct.top, direct.right, direct.bottom}));
}

#ifdef _WIN32
// On Windows the default font is the first of Segoe UI, Arial and Tahoma in the system's fonts folder (under Wine
// Tahoma, Wine's own, which the test scripts link into the prefix's empty folder).
std::string expectedDefaultFont() {
    char windows[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    for (const char* name : {"segoeui.ttf", "arial.ttf", "tahoma.ttf"}) {
        const std::string path = std::string(windows, length) + "\\Fonts\\" + name;
        if (std::filesystem::is_regular_file(path))
            return path;
    }
    return {};
}
#else
// On Linux the default font is DejaVu Sans.
std::string expectedDefaultFont() { return dejaVuSans; }
#endif

// The default font lays text out exactly as its file does.
TEST(Font, TheDefaultFontIsTheSystemsAtTheSizeAsked) {
    const std::string expected = expectedDefaultFont();
    ASSERT_FALSE(expected.empty()) << "none of segoeui.ttf, arial.ttf and tahoma.ttf in the fonts folder";
    const Font font = Font::defaultFont(24.0);
    const Font file(expected, 24.0);
    const Rectangle a = font.measure("Sphinx of black quartz"), b = file.measure("Sphinx of black quartz");
    EXPECT_EQ(std::vector({a.left, a.top, a.right, a.bottom}), std::vector({b.left, b.top, b.right, b.bottom}));
    EXPECT_EQ(font.pixelSize(), 24.0);
    EXPECT_EQ(std::pair(font.ascent(), font.lineHeight()), std::pair(file.ascent(), file.lineHeight()));
    EXPECT_GT(font.lineHeight(), font.ascent());
    EXPECT_GT(font.ascent(), 12.0);
}

TEST(Font, MovesButIsNotCopiedAndTheMovedFromFontRefuses) {
    static_assert(!std::is_copy_constructible_v<Font> && !std::is_copy_assignable_v<Font>);
    static_assert(std::is_nothrow_move_constructible_v<Font> && std::is_nothrow_move_assignable_v<Font>);
    Font first(dejaVuSans, 30.0);
    const double height = first.measure("Hx").getHeight();
    Font second = std::move(first);
    EXPECT_EQ(second.measure("Hx").getHeight(), height);
    EXPECT_EQ(failureMessage([&] { (void)first.measure("Hx"); }),
              "Stimulark::Font [ARGUMENT ERROR] the font is empty: it was moved from.");
    first = Font(dejaVuSans, 10.0);
    EXPECT_LT(first.measure("Hx").getHeight(), height);
}

TEST(Font, TextWithoutInkMeasuresAsNaNEdges) {
    const Font font(dejaVuSans, 24.0);
    for (const char* text : {"", " ", "  \n \r\n", "\u200B"}) {
        const Rectangle r = font.measure(text, 100.0);
        EXPECT_TRUE(std::isnan(r.left) && std::isnan(r.top) && std::isnan(r.right) && std::isnan(r.bottom))
            << testing::PrintToString(text);
    }
    EXPECT_FALSE(std::isnan(font.measure(" .").left));
    EXPECT_EQ(failureMessage([&] { (void)font.measure("x", nan); }),
              "Stimulark::Font [ARGUMENT ERROR] the maximum width is out of range.");
}

} // namespace
} // namespace Stimulark::Testing
