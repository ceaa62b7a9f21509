#pragma once

// Fonts that scripts/setup installs: DejaVu Sans (Latin, Hebrew, Arabic) and Lohit Devanagari. Under Wine the
// Linux files are on drive Z:.

namespace Stimulark::Testing {

#ifdef _WIN32
#define STIMULARK_TEST_FONT_ROOT "Z:"
#else
#define STIMULARK_TEST_FONT_ROOT ""
#endif

inline constexpr const char* dejaVuFolder = STIMULARK_TEST_FONT_ROOT "/usr/share/fonts/truetype/dejavu/";
inline constexpr const char* dejaVuSans = STIMULARK_TEST_FONT_ROOT "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline constexpr const char* lohitDevanagari =
    STIMULARK_TEST_FONT_ROOT "/usr/share/fonts/truetype/lohit-devanagari/Lohit-Devanagari.ttf";

#undef STIMULARK_TEST_FONT_ROOT

} // namespace Stimulark::Testing
