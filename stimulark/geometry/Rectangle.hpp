#pragma once

/// \file
/// Rectangles of pixels.

#include "stimulark/color/Color.hpp"

namespace Stimulark {

/// An axis-aligned area of pixels with inclusive edges: width = right - left + 1.
/// Coordinates are canvas pixels, origin top left, y down.
class Rectangle {
public:
    /// The single pixel at the origin.
    constexpr Rectangle() = default;
    /// The pixels from (left, top) to (right, bottom), edges included.
    ///
    /// Refuse empty, reversed or undefined sizes with "SIZE ERROR" ("Width and Height
    /// must be defined as positive value."). This one refuses right <= left and
    /// bottom <= top, so its rectangles are at least 2 pixels wide and high; set()
    /// makes any.
    Rectangle(double left, double top, double right, double bottom);
    /// width x height pixels at the origin; refuses a width or height that is not
    /// above 0.
    Rectangle(double width, double height);

    /// Takes the edges, swapping reversed ones; checks nothing.
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
    /// From a size, at the origin; does not check the size.
    constexpr Rectangle& set(double width, double height) {
        left = 0.0;
        top = 0.0;
        right = width - 1.0;
        bottom = height - 1.0;
        return *this;
    }
    /// Moves the rectangle, keeping its size, so that its centre is (x, y).
    constexpr Rectangle& centerAt(double x, double y) {
        const double w = getWidth();
        const double h = getHeight();
        left = x - (w - 1.0) * 0.5;
        right = x + (w - 1.0) * 0.5;
        top = y - (h - 1.0) * 0.5;
        bottom = y + (h - 1.0) * 0.5;
        return *this;
    }
    /// Shrinks to the overlap with other; refuses rectangles that do not overlap.
    /// The refusal, also for an undefined (NaN) edge, is "SIZE ERROR" and leaves the
    /// rectangle as it was.
    Rectangle& clip(const Rectangle& other);
    /// Fills the rectangle on the current canvas (needs only a current GL context).
    /// The colour is the argument; the member color is not used.
    void draw(Color color) const;

    /** @{ */
    /// The size in pixels, edges included, whichever way round the edges are.
    constexpr double getWidth() const { return (right > left ? right - left : left - right) + 1.0; }
    constexpr double getHeight() const { return (bottom > top ? bottom - top : top - bottom) + 1.0; }
    /** @} */
    /** @{ */
    /// The edges: the outermost columns and rows, which belong to the rectangle.
    constexpr double getLeft() const { return left; }
    constexpr double getTop() const { return top; }
    constexpr double getRight() const { return right; }
    constexpr double getBottom() const { return bottom; }
    /** @} */

    /** @{ */
    /// The edges in pixels. set() keeps left <= right and top <= bottom, which clip()
    /// and drawing expect of edges written directly too.
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    /** @} */
    /// A colour for the program's own use; nothing in the toolkit reads it.
    Color color;
};

} // namespace Stimulark
