#include "stimulark/app/Exception.hpp"
#include "stimulark/color/Color.hpp"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace {

using Stimulark::Color;
using Stimulark::Exception;
using Rgba = std::array<double, 4>;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

Rgba rgba(const Color& c) { return {c.r, c.g, c.b, c.a}; }

TEST(Color, ValuesAreClampedIntoRangeOneComponentAtATime) {
    EXPECT_EQ(rgba(Color()), (Rgba{0, 0, 0, 1}));
    EXPECT_EQ(rgba(Color(0.5)), (Rgba{0.5, 0.5, 0.5, 1}));
    EXPECT_EQ(rgba(Color(2.0)), (Rgba{1, 1, 1, 1}));
    EXPECT_EQ(rgba(Color(-0.2, 0.3, 1.7, 1.0)), (Rgba{0, 0.3, 1, 1}));
    EXPECT_EQ(rgba(Color(-infinity, infinity, nan, 1.0000001)), (Rgba{0, 1, 0, 1}));
    Color c(0.9, 0.9, 0.9, 0.9);
    c.set(1.5, -3.0, 0.25, nan);
    EXPECT_EQ(rgba(c), (Rgba{1, 0, 0.25, 0}));
}

// Strict matching refuses instead of clamping; the limits themselves are accepted.
TEST(Color, StrictMatchRefusesTheFirstOffendingComponent) {
    Color::strictMatch = true;
    auto refusal = [](const Rgba& v) -> std::string {
        try {
            static_cast<void>(Color(v[0], v[1], v[2], v[3]));
        } catch (const Exception& failure) {
            return failure.fullMessage();
        }
        return "accepted";
    };
    const std::string under = "Stimulark::Color [STRICT MATCH FAILED] Argument was under 0.0 .";
    const std::string over = "Stimulark::Color [STRICT MATCH FAILED] Argument was over 1.0 .";
    EXPECT_EQ(refusal({0.0, 1.0, 0.0, 1.0}), "accepted");
    EXPECT_EQ(refusal({0.5, 1.0000001, 0.5, 0.5}), over);
    EXPECT_EQ(refusal({0.5, 0.5, -0.0000001, 0.5}), under);
    EXPECT_EQ(refusal({0.5, 0.5, 0.5, nan}), under);
    EXPECT_EQ(refusal({-1.0, 2.0, 0.5, 0.5}), under);
    EXPECT_EQ(refusal({2.0, -1.0, 0.5, 0.5}), over);

    Color c(0.9, 0.9, 0.9, 0.9);
    EXPECT_THROW(c.set(0.1, 0.2, 2.0, 0.4), Exception);
    Color::strictMatch = false;
    EXPECT_EQ(rgba(c), (Rgba{0.1, 0.2, 0.9, 0.9})); // stored up to the offending component
}

TEST(Color, EveryWriteButACopyGoesThroughTheReplaceableStoreRoutine) {
    static int stores = 0;
    const Color::Setter saved = Color::setter;
    Color::setter = [](Color& color, double, double, double, double) {
        ++stores;
        Color::storeInRange(color, 0.25, 0.25, 0.25, 0.25);
    };
    Color a;
    Color b(0.7);
    Color c(0.1, 0.2, 0.3, 0.4);
    c.set(1, 1, 1, 1);
    const Color copy = c;
    Color::setter = saved;
    EXPECT_EQ(stores, 4);
    EXPECT_EQ(rgba(a), rgba(b));
    EXPECT_EQ(rgba(copy), (Rgba{0.25, 0.25, 0.25, 0.25}));
}

} // namespace
