#pragma once

/// \file
/// Points and dots in canvas coordinates.

#include "stimulark/color/Color.hpp"

namespace Stimulark {

/// A point in canvas pixels: (i, j) is the centre of pixel (i, j), x to the right and y
/// down.
struct Point {
    double x = 0.0; ///< to the right
    double y = 0.0; ///< down
};

/// A round dot: its centre in canvas pixels, its diameter in pixels and its colour.
struct Dot {
    double x = 0.0;        ///< the centre, to the right
    double y = 0.0;        ///< the centre, down
    double diameter = 0.0; ///< in pixels
    Color color;           ///< blended by its alpha
};

} // namespace Stimulark
