#include "stimulark/math/Random.hpp"
#include "support/Scripted.hpp"

namespace Stimulark::Testing {
namespace {

TEST(RoundToInt, HalvesRoundUpNegativeFractionsDownAndTheRangeSaturates) {
    constexpr int most = std::numeric_limits<int>::max(), least = std::numeric_limits<int>::min();
    const std::pair<double, int> cases[] = {{0.5, 1}, {0.49999, 0}, {2.5, 3}, {99.0, 99}, {-0.3, -1}, {-1.0, -1},
        {-1.5, -2}, {-2.4, -3}, {-2.6, -3}, {-0.0, 0}, {2147483647.0, most}, {-2147483648.0, least}, {1e12, most},
        {-1e12, least}, {inf, most}, {-inf, least}, {nan, 0}};
    for (const auto& [x, expected] : cases)
        EXPECT_EQ(roundToInt(x), expected) << x;
}

} // namespace
} // namespace Stimulark::Testing
