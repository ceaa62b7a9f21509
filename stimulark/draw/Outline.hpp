#pragma once

#include "stimulark/geometry/Point.hpp"

#include <array>
#include <span>
#include <vector>

namespace Stimulark {

// A convex part of a stroked line: three or four corners in order, and for each edge
// (from corner i to the next) whether it is soft (anti-aliased: the line's own edge)
// or hard (shared with the next part, where the two meet without a seam).
struct Piece {
    std::array<Point, 4> corners{};
    int count = 0;
    std::array<bool, 4> soft{};
};

// The parts of a line through `points`, `width` wide: a rectangle per segment, its
// ends butt and exactly at the points, and at each inner point a mitre up to four
// times the width long, else a bevel. Segments of no length are left out. Appends to
// `out`.
void strokePieces(std::span<const Point> points, double width, std::vector<Piece>& out);

} // namespace Stimulark
