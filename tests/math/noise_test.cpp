// The noise generator on the CPU, on 10^5 cells: uniform numbers pass a chi-square test, binary cells split
// evenly, Gaussian ones pass a Kolmogorov-Smirnov test, neighbours and seeds are uncorrelated; and the level
// tables that the GPU searches give exactly the levels of the formula.

#include "stimulark/math/Noise.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace Stimulark::Noise {
namespace {

constexpr int columns = 400, rows = 250, cells = columns * rows;

double uniform(std::uint32_t hash) { return (static_cast<double>(hash >> 8) + 0.5) / 16777216.0; }

std::vector<double> field(std::uint32_t seed, int shiftU, int shiftV, double (*of)(std::uint32_t)) {
    std::vector<double> values;
    for (int v = 0; v < rows; ++v)
        for (int u = 0; u < columns; ++u)
            values.push_back(of(cellHash(seed, static_cast<std::uint32_t>(u + shiftU),
                                         static_cast<std::uint32_t>(v + shiftV))));
    return values;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    const double n = static_cast<double>(a.size());
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sa += a[i];
        sb += b[i];
        saa += a[i] * a[i];
        sbb += b[i] * b[i];
        sab += a[i] * b[i];
    }
    return (sab / n - sa / n * sb / n) / std::sqrt((saa / n - sa * sa / n / n) * (sbb / n - sb * sb / n / n));
}

TEST(Noise, DistributionsPassTheirTests) {
    // Chi-square over 100 bins: 148.2 is the 0.999 quantile for 99 degrees of freedom.
    std::vector<int> bins(100);
    for (const double u : field(11U, 0, 0, uniform))
        ++bins[static_cast<std::size_t>(u * 100.0)];
    double chiSquare = 0.0;
    for (const int observed : bins)
        chiSquare += (observed - cells / 100.0) * (observed - cells / 100.0) / (cells / 100.0);
    EXPECT_LT(chiSquare, 148.2);

    const std::vector<double> high = field(12U, 0, 0, [](std::uint32_t h) { return binaryHigh(h) ? 1.0 : 0.0; });
    EXPECT_NEAR(std::count(high.begin(), high.end(), 1.0), cells / 2, 4.0 * std::sqrt(cells / 4.0));

    // Kolmogorov-Smirnov against the standard normal: 1.95 / sqrt(n) is the 0.999 critical distance.
    std::vector<double> z = field(13U, 0, 0, gaussian);
    std::sort(z.begin(), z.end());
    double distance = 0.0;
    for (std::size_t i = 0; i < z.size(); ++i) {
        const double expected = 0.5 * std::erfc(-z[i] / std::sqrt(2.0));
        distance = std::max({distance, std::abs(expected - static_cast<double>(i) / cells),
                             std::abs(expected - static_cast<double>(i + 1) / cells)});
    }
    EXPECT_LT(distance * std::sqrt(cells), 1.95);
}

TEST(Noise, NeighboursAndSeedsAreUncorrelated) {
    const double bound = 4.0 / std::sqrt(cells);
    const std::vector<double> base = field(21U, 0, 0, uniform);
    EXPECT_LT(std::abs(correlation(base, field(21U, 1, 0, uniform))), bound) << "right neighbours";
    EXPECT_LT(std::abs(correlation(base, field(21U, 0, 1, uniform))), bound) << "neighbours below";
    EXPECT_LT(std::abs(correlation(base, field(22U, 0, 0, uniform))), bound) << "the next seed";
    EXPECT_LT(std::abs(correlation(field(21U, 0, 0, gaussian), field(21U, 1, 1, gaussian))), bound);
}

// The levels of the formula, rounded half up, -1 and 256 standing for values clipped below and above.
TEST(Noise, LevelTablesGiveTheFormulasLevels) {
    for (const double mean : {0.0, 0.37, 0.5, 1.0})
        for (const double contrast : {0.0, 0.83, -0.6, 1.7}) {
            SCOPED_TRACE(testing::Message() << "mean " << mean << ", contrast " << contrast);
            const UniformLevels levels = uniformLevels(mean, contrast);
            int wrong = 0;
            for (std::uint32_t i = 0; i < 100000; ++i) {
                const std::uint32_t hash = mix(i * 2654435761U);
                const double scaled = 255.0 * mean * (1.0 + contrast * (2.0 * uniform(hash) - 1.0)) + 0.5;
                const int expected = scaled < 0.0 ? -1 : scaled >= 256.0 ? 256 : static_cast<int>(scaled);
                wrong += levels.levelOf(hash) != expected ? 1 : 0;
            }
            EXPECT_EQ(wrong, 0);
        }
    EXPECT_EQ(levelOf(0.5), 128);
    EXPECT_EQ(levelOf(-0.01), -1);
    EXPECT_EQ(levelOf(1.01), 256);
}

} // namespace
} // namespace Stimulark::Noise
