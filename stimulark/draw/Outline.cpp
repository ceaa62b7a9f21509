#include "stimulark/draw/Outline.hpp"

#include <cmath>

namespace Stimulark {

namespace {

constexpr double mitreLimit = 4.0; // a mitre's length, from the inner corner to its tip, in widths

Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
Point operator*(double s, Point a) { return {s * a.x, s * a.y}; }
double cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }
double dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }

} // namespace

void strokePieces(std::span<const Point> points, double width, std::vector<Piece>& out) {
    if (!(width > 0.0) || !std::isfinite(width))
        return;
    const double half = width / 2.0;
    // The points that start a segment of some length, and that segment's direction.
    struct Segment {
        Point from, to, along, normal;
    };
    Segment previous{};
    bool havePrevious = false;
    std::size_t segmentsLeft = 0;
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        segmentsLeft += std::hypot(points[i + 1].x - points[i].x, points[i + 1].y - points[i].y) > 0.0;
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const Point from = points[i], to = points[i + 1];
        const double length = std::hypot(to.x - from.x, to.y - from.y);
        if (!(length > 0.0) || !std::isfinite(length))
            continue;
        const Point along = (1.0 / length) * (to - from);
        const Point normal{-along.y, along.x};
        const Segment segment{from, to, along, normal};
        --segmentsLeft;
        Piece body;
        body.count = 4;
        body.corners = {from + half * normal, to + half * normal, to - half * normal, from - half * normal};
        // Long sides soft; ends soft only where the line ends.
        body.soft = {true, segmentsLeft == 0, true, !havePrevious};
        if (havePrevious) {
            const double turn = cross(previous.along, along);
            if (std::abs(turn) > 1e-12 || dot(previous.along, along) < 0.0) {
                // The outer side of the turn, where the two rectangles leave a gap.
                const double side = turn > 0.0 ? -1.0 : 1.0;
                const Point joint = from;
                const Point a = joint + side * half * previous.normal, b = joint + side * half * normal;
                const Point bisector = previous.normal + normal;
                const double cosine = dot(previous.normal, normal); // cos of the turn
                const double sinHalf = std::sqrt(std::max(0.0, (1.0 + cosine) / 2.0));
                Piece join;
                if (sinHalf > 1.0 / mitreLimit && dot(bisector, bisector) > 0.0) {
                    const Point tip = joint + (side * half / (sinHalf * std::hypot(bisector.x, bisector.y))) *
                                                  bisector;
                    join.count = 4;
                    join.corners = {joint, a, tip, b};
                    join.soft = {false, true, true, false};
                } else {
                    join.count = 3;
                    join.corners = {joint, a, b, Point{}};
                    join.soft = {false, true, false, false};
                }
                out.push_back(join);
            }
        }
        out.push_back(body);
        previous = segment;
        havePrevious = true;
    }
}

} // namespace Stimulark
