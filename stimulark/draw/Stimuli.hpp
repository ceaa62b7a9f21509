#pragma once

/// \file
/// Gabor patches, gratings and white noise, and the viewing geometry that turns degrees
/// into pixels.

#include "stimulark/geometry/Rectangle.hpp"

namespace Stimulark {

/** @{ */
/// Kinds of Canvas::drawNoise and Image::fillNoise.
inline constexpr int NOISE_UNIFORM = 0;
inline constexpr int NOISE_BINARY = 1;
inline constexpr int NOISE_GAUSSIAN = 2;
/** @} */

/// A Gabor patch: a sine carrier under a Gaussian envelope, in a square of pixels. Lengths
/// are canvas pixels and angles degrees, clockwise on the screen.
struct Gabor {
    double x = 0.0;                ///< the centre, to the right
    double y = 0.0;                ///< the centre, down
    double size = 0.0;             ///< the square's side: the pixels i with x - size/2 <= i < x + size/2
    double orientation = 0.0;      ///< 0: vertical bars, the carrier varying along x
    double spatialFrequency = 0.0; ///< cycles per pixel
    double phase = 0.0;            ///< of the carrier at the centre
    double contrast = 0.0;         ///< Michelson contrast about the mean
    double sigma = 0.0;            ///< the envelope's standard deviation
    double aspect = 1.0;           ///< the envelope's width across the bars over its width along them
};

/// A sine grating filling a rectangle, optionally within a round aperture whose edge
/// falls off as a raised cosine.
struct Grating {
    Rectangle area;                ///< the pixels it fills; the carrier is measured from its centre
    double orientation = 0.0;      ///< degrees clockwise; 0: vertical bars
    double spatialFrequency = 0.0; ///< cycles per pixel
    double phase = 0.0;            ///< degrees, at the area's centre
    double contrast = 0.0;         ///< Michelson contrast about the mean
    double apertureRadius = 0.0;   ///< pixels; 0: no aperture
    double apertureEdge = 0.0;     ///< pixels of the raised-cosine fall-off inside the radius
};

/// Where the observer sits: the visible width of the screen and the eye's distance from
/// it, both in centimetres.
struct ViewingGeometry {
    double screenWidthCm = 0.0; ///< the width of the screen's visible picture
    double distanceCm = 0.0;    ///< from the eye to the screen's centre
};

} // namespace Stimulark
