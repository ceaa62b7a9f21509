#pragma once

#include "stimulark/canvas/Onsets.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace Stimulark {

// A canvas's frame-interval log as files. `path` is already resolved (placeholders
// decoded). Both refuse a frame duration that is not a positive finite number of
// milliseconds with "ARGUMENT ERROR" before anything is opened, and write like
// SafeFileWriter: an existing file changes only once the new one is complete.

// CSV: "flip,interval_ms,frames,dropped,onset_source", then one line per judged
// flip: its number from 1, the interval with three decimals (empty where it is not a
// number: a frame never shown), the held frame's count, the periods dropped and the
// onsets' source. Fails to open, write or replace the file with File's "FILE ACCESS
// ERROR", and refuses a path holding a NUL with it before opening anything.
void writeFrameIntervalsCsv(const std::string& path, const std::vector<FrameJudgement>& flips,
                            double frameDurationMs);

// PNG, an RGB picture of FrameIntervalPlot's size on white: above, the intervals over
// the flips; below, their histogram; both with lines at every whole refresh period
// (every 2nd, 5th, 10th ... where they would crowd closer than 8 pixels). The
// interval axis reaches a tenth beyond 4 periods or the 99th percentile, whichever is
// larger, leaving pauses (over 16 times the median) out of the percentile; intervals
// beyond the axis are drawn at its edge and marked, intervals that are not numbers
// left out, and both counted in a note. Failures are PNG_BRIDGE's.
void plotFrameIntervalsPng(const std::string& path, const std::vector<double>& intervalsMs,
                           double frameDurationMs);

// The plot's size and inks, for programs that read it back.
namespace FrameIntervalPlot {
struct Ink {
    std::uint8_t r, g, b;
    friend bool operator==(const Ink&, const Ink&) = default;
};
inline constexpr int width = 1000;
inline constexpr int height = 640;
inline constexpr Ink paper{255, 255, 255};
inline constexpr Ink text{0, 0, 0};
inline constexpr Ink data{31, 80, 180};
inline constexpr Ink period{240, 140, 0};
inline constexpr Ink clipped{210, 20, 20};
} // namespace FrameIntervalPlot

} // namespace Stimulark
