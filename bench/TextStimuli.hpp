#pragma once

// The text stimuli that bench/text_frames and bench/text_minimal both draw: 20 lines of 60 characters, each a
// window into a 110-character line that moves 7 characters a line and, for changing text, one a frame.

#include <cstddef>
#include <string_view>

namespace TextStimuli {

inline constexpr std::string_view base =
    "The quick brown fox jumps over the lazy dog. 0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz ";
static_assert(base.size() == 110);
inline constexpr int lines = 20, columns = 60, warmUpFrames = 20, frames = 200;
inline constexpr double pixelSize = 24.0, left = 20.0, top = 20.0, linePitch = 36.0;

// Line l of frame s (s = 0 for static text) into `out`, which holds `columns` characters.
inline void fillLine(int l, int s, char* out) {
    for (int i = 0; i < columns; ++i)
        out[i] = base[static_cast<std::size_t>(7 * l + s + i) % base.size()];
}

} // namespace TextStimuli
