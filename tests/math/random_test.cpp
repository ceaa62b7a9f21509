#include "stimulark/math/Random.hpp"

#include <dSFMT.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace {

using Stimulark::roundToInt;

TEST(RoundToInt, HalvesRoundUpNegativeFractionsDownAndTheRangeSaturates) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr int most = std::numeric_limits<int>::max();
    constexpr int least = std::numeric_limits<int>::min();
    const std::pair<double, int> cases[] = {
        {0.5, 1},   {0.49999, 0}, {2.5, 3},   {99.0, 99},  {-0.3, -1},           {-1.0, -1},
        {-1.5, -2}, {-2.4, -3},   {-2.6, -3}, {-0.0, 0},   {2147483647.0, most}, {-2147483648.0, least},
        {1e12, most}, {-1e12, least}, {inf, most}, {-inf, least}, {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const auto& [x, expected] : cases)
        EXPECT_EQ(roundToInt(x), expected) << x;
}

using Draws = std::pair<std::array<int, 4>, std::array<double, 4>>; // C library, dSFMT

Draws draw() {
    Draws d;
    for (int& v : d.first)
        v = std::rand();
    for (double& v : d.second)
        v = dsfmt_gv_genrand_close_open();
    return d;
}

Draws drawAfterSeeding(std::time_t second) {
    std::srand(static_cast<unsigned>(second));
    dsfmt_gv_init_gen_rand(static_cast<std::uint32_t>(second));
    return draw();
}

TEST(SeedRandom, SeedsBothGeneratorsFromTheCalendarSecond) {
    for (int attempt = 0; attempt < 5; ++attempt) { // again if a second ends between the readings
        const std::time_t now = std::time(nullptr);
        Stimulark::seedRandom();
        const Draws first = draw();
        Stimulark::seedRandom();
        const Draws second = draw();
        if (std::time(nullptr) != now)
            continue;
        EXPECT_EQ(first, second);
        EXPECT_EQ(first, drawAfterSeeding(now));
        const Draws later = drawAfterSeeding(now + 1);
        EXPECT_NE(first.first, later.first);
        EXPECT_NE(first.second, later.second);
        return;
    }
    FAIL() << "the clock kept crossing seconds";
}

} // namespace
