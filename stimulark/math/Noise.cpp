#include "stimulark/math/Noise.hpp"

#include <algorithm>
#include <cmath>

namespace Stimulark::Noise {

namespace {

// The level of 255 x value, rounded half up.
int levelOfScaled(double scaled) {
    const double x = scaled + 0.5;
    if (!(x >= 0.0))
        return -1;
    return x >= 256.0 ? 256 : static_cast<int>(x);
}

} // namespace

int levelOf(double value) { return levelOfScaled(value * 255.0); }

UniformLevels uniformLevels(double mean, double contrast) {
    UniformLevels levels;
    const double a = 255.0 * mean * (1.0 - contrast), b = 510.0 * mean * contrast;
    levels.reversed = b < 0.0;
    levels.base = levels.reversed ? a + b : a;
    levels.slope = std::abs(b);
    // The level of each k, rising with k: value = (base + slope x (k + 0.5) / 2^24) / 255.
    const auto level = [&](std::uint32_t k) {
        return levelOfScaled(levels.base + levels.slope * ((static_cast<double>(k) + 0.5) / UniformLevels::steps));
    };
    for (int target = 0; target <= 256; ++target) {
        std::uint32_t low = 0, high = UniformLevels::steps; // the first k reaching the level is in [low, high]
        while (low < high) {
            const std::uint32_t middle = low + (high - low) / 2;
            if (level(middle) >= target)
                high = middle;
            else
                low = middle + 1;
        }
        levels.at[static_cast<std::size_t>(target)] = low;
    }
    return levels;
}

int UniformLevels::levelOf(std::uint32_t hash) const {
    std::uint32_t k = hash >> 8;
    if (reversed)
        k = steps - 1 - k;
    return static_cast<int>(std::upper_bound(at.begin(), at.end(), k) - at.begin()) - 1;
}

double gaussian(std::uint32_t hash) {
    const double u1 = (static_cast<double>(hash >> 16) + 0.5) / 65536.0;
    const double u2 = (static_cast<double>(hash & 0xFFFFU) + 0.5) / 65536.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * 3.14159265358979323846 * u2);
}

} // namespace Stimulark::Noise
