#include "stimulark/geometry/Rectangle.hpp"

#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"

#include <cmath>

namespace Stimulark {

namespace {

[[noreturn]] void refuseSize() {
    throw Exception(typeid(Rectangle), "SIZE ERROR", "Width and Height must be defined as positive value.");
}

bool hasUndefinedEdge(const Rectangle& r) {
    return std::isnan(r.left) || std::isnan(r.top) || std::isnan(r.right) || std::isnan(r.bottom);
}

} // namespace

Rectangle::Rectangle(double left_, double top_, double right_, double bottom_) {
    if (!(right_ - left_ > 0.0) || !(bottom_ - top_ > 0.0))
        refuseSize();
    set(left_, top_, right_, bottom_);
}

Rectangle::Rectangle(double width, double height) {
    if (!(width > 0.0) || !(height > 0.0))
        refuseSize();
    set(width, height);
}

// An undefined edge on either side overlaps nothing; the comparisons alone would
// replace it silently by the other rectangle's edge.
Rectangle& Rectangle::clip(const Rectangle& other) {
    const double newLeft = left > other.left ? left : other.left;
    const double newTop = top > other.top ? top : other.top;
    const double newRight = right < other.right ? right : other.right;
    const double newBottom = bottom < other.bottom ? bottom : other.bottom;
    if (hasUndefinedEdge(*this) || hasUndefinedEdge(other) || newLeft > newRight || newTop > newBottom)
        throw Exception(typeid(Rectangle), "SIZE ERROR", "Cripped rectangle is null.");
    return set(newLeft, newTop, newRight, newBottom);
}

void Rectangle::draw(Color fill) const { Canvas::fillCurrent(*this, fill); }

} // namespace Stimulark
