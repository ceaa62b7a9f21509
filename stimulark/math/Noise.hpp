#pragma once

// White noise cell by cell: the hash that numbers each cell, and the 8-bit levels the
// numbers stand for. The canvas's shaders compute the same, from the same tables.

#include <array>
#include <cstdint>

namespace Stimulark::Noise {

// lowbias32: each input bit flips about half of the output bits.
constexpr std::uint32_t mix(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// The number of cell (u, v), counted from the area's top-left cell.
constexpr std::uint32_t cellHash(std::uint32_t seed, std::uint32_t u, std::uint32_t v) {
    return mix(v ^ mix(u ^ mix(seed)));
}

// Levels run from 0 to 255; -1 and 256 stand for values clipped below and above.
int levelOf(double value);

// Uniform noise takes the hash's top 24 bits, k, as the number (k + 0.5) / 2^24. The
// level that a channel shows for each k is kept as thresholds, so that the GPU, which
// searches the same table, and the CPU agree bit for bit: level L is reached from k =
// at[L] on. A negative contrast makes the levels fall with k; the table then counts k
// down from the top (reversed).
struct UniformLevels {
    static constexpr std::uint32_t steps = 1U << 24;
    std::array<std::uint32_t, 257> at{};
    bool reversed = false;
    // 255 x value = base + slope x (k + 0.5) / 2^24 with k counted as the table counts it:
    // where the shader starts its search.
    double base = 0.0, slope = 0.0;
    int levelOf(std::uint32_t hash) const;
};
UniformLevels uniformLevels(double mean, double contrast);

// Binary noise: mean x (1 + contrast) where the hash's top bit is set, mean x (1 -
// contrast) where it is not.
constexpr bool binaryHigh(std::uint32_t hash) { return (hash >> 31) != 0; }

// Gaussian noise: z by Box-Muller from the hash's two 16-bit halves.
double gaussian(std::uint32_t hash);

} // namespace Stimulark::Noise
