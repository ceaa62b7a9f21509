#include "stimulark/geometry/Rectangle.hpp"
#include "support/Scripted.hpp"

namespace Stimulark::Testing {
namespace {

using Edges = std::array<double, 4>;
const std::string sizeRefusal = "Stimulark::Rectangle [SIZE ERROR] Width and Height must be defined as positive value.";

Edges edges(const Rectangle& r) { return {r.getLeft(), r.getTop(), r.getRight(), r.getBottom()}; }

TEST(Rectangle, ConstructorsMakeInclusiveBlackRectanglesAndRefuseEmptyReversedOrUndefinedSizes) {
    EXPECT_EQ(edges(Rectangle(640, 480)), (Edges{0, 0, 639, 479}));
    EXPECT_EQ(edges(Rectangle(10, 10, 11, 20)), (Edges{10, 10, 11, 20}));
    for (const Edges& e : {Edges{10, 10, 10, 20}, Edges{20, 10, 10, 30}, Edges{0, 5, 5, 5}, Edges{0, 0, nan, 5}})
        EXPECT_EQ(failureMessage([&] { static_cast<void>(Rectangle(e[0], e[1], e[2], e[3])); }), sizeRefusal);
    for (const auto& [w, h] : {std::pair{0.0, 5.0}, std::pair{5.0, -1.0}, std::pair{nan, 5.0}})
        EXPECT_EQ(failureMessage([&] { static_cast<void>(Rectangle(w, h)); }), sizeRefusal) << w << " x " << h;
    for (const Rectangle& r : {Rectangle(), Rectangle(3, 4), Rectangle(1, 2, 3, 4)})
        EXPECT_EQ(rgba(r.color), (Edges{0, 0, 0, 1}));
}

TEST(Rectangle, SetOrdersEdgesTheSizeFormChecksNothingAndCenterAtKeepsTheSize) {
    Rectangle r;
    EXPECT_EQ(edges(r.set(30, 40, 10, 20)), (Edges{10, 20, 30, 40}));
    EXPECT_EQ(edges(r.set(0.5, 2.0)), (Edges{0, 0, -0.5, 1.0}));
    EXPECT_EQ(edges(Rectangle(11, 3).centerAt(100, 50)), (Edges{95, 49, 105, 51}));
    EXPECT_EQ(edges(Rectangle(3, 11).centerAt(100, 50)), (Edges{99, 45, 101, 55}));
    EXPECT_EQ(edges(Rectangle(4, 2).centerAt(10, 20)), (Edges{8.5, 19.5, 11.5, 20.5}));
}

TEST(Rectangle, ClipKeepsTheOverlapAndRefusesNoneLeavingTheRectangleAsItWas) {
    const std::string refusal = "Stimulark::Rectangle [SIZE ERROR] Cripped rectangle is null.";
    Rectangle r(100, 100), touching(100, 100), apart(100, 100), undefined;
    EXPECT_EQ(edges(r.clip(Rectangle(50, -10, 200, 60))), (Edges{50, 0, 99, 60}));
    EXPECT_EQ(edges(touching.clip(Rectangle(99, 99, 120, 120))), (Edges{99, 99, 99, 99}));
    EXPECT_EQ(failureMessage([&] { apart.clip(Rectangle(100, 0, 120, 10)); }), refusal);
    // An undefined edge overlaps nothing; keeping it would poison every pixel index made from it.
    EXPECT_EQ(failureMessage([&] { apart.clip(undefined.set(nan, 0, 10, 10)); }), refusal);
    EXPECT_EQ(failureMessage([&] { undefined.set(0, 0, nan, 10).clip(apart); }), refusal) << "on either side";
    EXPECT_EQ(edges(apart), (Edges{0, 0, 99, 99}));
}

} // namespace
} // namespace Stimulark::Testing
