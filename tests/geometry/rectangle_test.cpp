#include "stimulark/geometry/Rectangle.hpp"
#include "support/Scripted.hpp"

namespace Stimulark::Testing {
namespace {

using Edges = std::array<double, 4>;
const std::string sizeRefusal = "Stimulark::Rectangle [SIZE ERROR] Width and Height must be defined as positive value.";

Edges edges(const Rectangle& r) { return {r.getLeft(), r.getTop(), r.getRight(), r.getBottom()}; }

// Inclusive edges, black; set orders the edges, its size form checks nothing; centerAt keeps the size.
TEST(Rectangle, ConstructorsAndSetMakeInclusiveBlackRectanglesAndCenterAtKeepsTheSize) {
    const std::pair<Rectangle, Edges> cases[] = {
        {Rectangle(640, 480), {0, 0, 639, 479}}, {Rectangle(10, 10, 11, 20), {10, 10, 11, 20}},
        {Rectangle().set(30, 40, 10, 20), {10, 20, 30, 40}}, {Rectangle().set(0.5, 2.0), {0, 0, -0.5, 1.0}},
        {Rectangle(11, 3).centerAt(100, 50), {95, 49, 105, 51}}, {Rectangle(3, 11).centerAt(10, 5), {9, 0, 11, 10}},
        {Rectangle(4, 2).centerAt(10, 20), {8.5, 19.5, 11.5, 20.5}}};
    for (const auto& [r, expected] : cases)
        EXPECT_EQ((std::pair{edges(r), rgba(r.color)}), (std::pair{expected, Edges{0, 0, 0, 1}}));
}

TEST(Rectangle, ConstructorsRefuseEmptyReversedOrUndefinedSizes) {
    for (const Edges& e : {Edges{10, 10, 10, 20}, Edges{20, 10, 10, 30}, Edges{0, 5, 5, 5}, Edges{0, 0, nan, 5}})
        EXPECT_EQ(failureMessage([&] { static_cast<void>(Rectangle(e[0], e[1], e[2], e[3])); }), sizeRefusal);
    for (const auto& s : {std::array{0.0, 5.0}, std::array{5.0, -1.0}, std::array{nan, 5.0}})
        EXPECT_EQ(failureMessage([&] { static_cast<void>(Rectangle(s[0], s[1])); }), sizeRefusal)
            << s[0] << "x" << s[1];
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
