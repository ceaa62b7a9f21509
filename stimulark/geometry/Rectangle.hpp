#pragma once

#include "stimulark/color/Color.hpp"

namespace Stimulark {

// An axis-aligned area of pixels with inclusive edges: width = right - left + 1.
class Rectangle {
public:
    constexpr Rectangle() = default;
    // Refuse empty, reversed or undefined sizes with "SIZE ERROR".
    Rectangle(double left, double top, double right, double bottom);
    Rectangle(double width, double height);

    constexpr Rectangle& set(double left_, double top_, double right_, double bottom_) {
        if (left_ > right_) {
            const double t = left_;
            left_ = right_;
            right_ = t;
        }
        if (top_ > bottom_) {
            const double t = top_;
            top_ = bottom_;
            bottom_ = t;
        }
        left = left_;
        top = top_;
        right = right_;
        bottom = bottom_;
        return *this;
    }
    // From a size, at the origin; does not check the size.
    constexpr Rectangle& set(double width, double height) {
        left = 0.0;
        top = 0.0;
        right = width - 1.0;
        bottom = height - 1.0;
        return *this;
    }
    constexpr Rectangle& centerAt(double x, double y) {
        const double w = getWidth();
        const double h = getHeight();
        left = x - (w - 1.0) * 0.5;
        right = x + (w - 1.0) * 0.5;
        top = y - (h - 1.0) * 0.5;
        bottom = y + (h - 1.0) * 0.5;
        return *this;
    }
    // Shrinks to the overlap with other; refuses rectangles that do not overlap.
    Rectangle& clip(const Rectangle& other);
    // Fills the rectangle on the current canvas (needs only a current GL context).
    void draw(Color color) const;

    constexpr double getWidth() const { return (right > left ? right - left : left - right) + 1.0; }
    constexpr double getHeight() const { return (bottom > top ? bottom - top : top - bottom) + 1.0; }
    constexpr double getLeft() const { return left; }
    constexpr double getTop() const { return top; }
    constexpr double getRight() const { return right; }
    constexpr double getBottom() const { return bottom; }

    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    Color color;
};

} // namespace Stimulark
