#pragma once

// What the toolkit and the minimal program both draw in stimulus_frames: the window,
// the frame counts, and the layouts from the minimal standard generator
// (std::minstd_rand0).

#include "stimulark/geometry/Point.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace StimulusBench {

using Steady = std::chrono::steady_clock;

// Each side draws a stimulus in rounds of `warmUp` unmeasured frames and then measured ones, the two sides
// taking turns, so that the machine's other load falls on both alike.
inline constexpr int screenWidth = 1024, screenHeight = 768, warmUp = 5;
inline constexpr float background = 128.0F / 255.0F;
inline constexpr double pi = 3.14159265358979323846;

inline double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

inline double millisecondsSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// 10,000 dots from seed 2, x then y; each frame they drift 2 px right and wrap.
struct DotField {
    std::vector<Stimulark::Point> dots;
    explicit DotField(int count) {
        std::minstd_rand0 random(2);
        const auto uniform = [&] { return static_cast<double>(random()) / 2147483647.0; };
        for (int i = 0; i < count; ++i) {
            const double x = 1024.0 * uniform();
            dots.push_back({x, 768.0 * uniform()});
        }
    }
    void drift() {
        for (Stimulark::Point& p : dots)
            p.x = std::fmod(p.x + 2.0, 1024.0);
    }
};

// Gabor patches of 64 x 64 pixels from seed 1: per patch the centre cx = 32 + floor(961u),
// cy = 32 + floor(705u) (the square from cx - 32 to cx + 31) and the orientation 360u.
// sigma 8, 0.1 cycles per pixel, Michelson contrast 0.5 about 128/255; the phase is 10
// degrees times the frame's number.
struct GaborLayout {
    struct Patch {
        double x, y, orientation;
    };
    std::vector<Patch> patches;
    explicit GaborLayout(int count) {
        std::minstd_rand0 random(1);
        const auto uniform = [&] { return static_cast<double>(random()) / 2147483647.0; };
        for (int i = 0; i < count; ++i) {
            const double x = 32.0 + std::floor(961.0 * uniform());
            const double y = 32.0 + std::floor(705.0 * uniform());
            patches.push_back({x, y, 360.0 * uniform()});
        }
    }
};

} // namespace StimulusBench
