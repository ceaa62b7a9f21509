#include "support/Scripted.hpp"

namespace Stimulark::Testing {
namespace {

using Rgba = std::array<double, 4>;

TEST(Color, ValuesAreClampedIntoRangeOneComponentAtATime) {
    Color c(0.9);
    c.set(1.0000001, -1e-7, 0.25, nan);
    EXPECT_EQ((std::array{rgba(Color(2.0)), rgba(Color(-inf, inf, nan, 0.3)), rgba(c)}),
              (std::array{Rgba{1, 1, 1, 1}, Rgba{0, 1, 0, 0.3}, Rgba{1, 0, 0.25, 0}}));
}

// Strict matching refuses instead of clamping, storing up to the offending component; the limits are accepted.
TEST(Color, StrictMatchRefusesTheFirstOffendingComponent) {
    const std::string under = "Stimulark::Color [STRICT MATCH FAILED] Argument was under 0.0 .";
    const std::string over = "Stimulark::Color [STRICT MATCH FAILED] Argument was over 1.0 .";
    const std::pair<Rgba, std::string> cases[] = {{{0, 1, 0, 1}, "no failure"}, {{0.5, 1.0000001, 0.5, 0.5}, over},
                                                  {{0.5, 0.5, -1e-7, 0.5}, under}, {{0.5, 0.5, 0.5, nan}, under},
                                                  {{-1, 2, 0.5, 0.5}, under}, {{2, -1, 0.5, 0.5}, over}};
    Color c(0.9, 0.9, 0.9, 0.9);
    Color::strictMatch = true;
    for (const auto& [v, expected] : cases) // clang 14 captures no structured binding
        EXPECT_EQ(failureMessage([&v = v] { static_cast<void>(Color(v[0], v[1], v[2], v[3])); }), expected);
    const std::string refusal = failureMessage([&] { c.set(0.1, 0.2, 2.0, 0.4); });
    Color::strictMatch = false;
    EXPECT_EQ(std::pair(refusal, rgba(c)), std::pair(over, Rgba{0.1, 0.2, 0.9, 0.9}));
}

} // namespace
} // namespace Stimulark::Testing
