#pragma once

// Fonts that scripts/setup installs: DejaVu Sans (Latin, Hebrew, Arabic) and Lohit Devanagari.

namespace Stimulark::Testing {

inline constexpr const char* dejaVuFolder = "/usr/share/fonts/truetype/dejavu/";
inline constexpr const char* dejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline constexpr const char* lohitDevanagari = "/usr/share/fonts/truetype/lohit-devanagari/Lohit-Devanagari.ttf";

} // namespace Stimulark::Testing
