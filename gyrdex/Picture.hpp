#pragma once

#include "stimulark/color/Color.hpp"
#include "stimulark/geometry/Rectangle.hpp"
#include "stimulark/image/Image.hpp"

namespace Gyrdex {

// The spinning picture: a translucent disc (so blending with the canvas shows),
// an opaque square plate with a white "F" on it and a red square in the plate's
// bottom-right corner, so that any rotation can be read off at a glance. The disc
// covers everything else, so the picture's outline is round and its middle stays
// on the rotation centre whatever the angle.
inline constexpr int pictureSize = 256;
inline constexpr double discRadius = 120.0;
inline constexpr int markerLeft = 172;
inline constexpr int markerTop = 172;
inline constexpr int markerRight = 203;
inline constexpr int markerBottom = 203;

inline void drawPicture(Stimulark::Image& picture) {
    using Stimulark::Color;
    using Stimulark::Rectangle;

    picture.set(pictureSize, pictureSize, Stimulark::RGBA, Stimulark::BYTE);
    picture.clear(Color(0.0, 0.0, 0.0, 0.0));

    const Color halo(1.0, 0.8, 0.2, 0.4);
    const double middle = (pictureSize - 1) * 0.5;
    for (int y = 0; y < pictureSize; ++y) {
        for (int x = 0; x < pictureSize; ++x) {
            const double dx = x - middle;
            const double dy = y - middle;
            if (dx * dx + dy * dy <= discRadius * discRadius)
                picture.setPixel(x, y, halo);
        }
    }

    picture.fill(Rectangle(48.0, 48.0, 207.0, 207.0), Color(0.1, 0.15, 0.35, 1.0));
    picture.fill(Rectangle(80.0, 64.0, 103.0, 191.0), Color::white);
    picture.fill(Rectangle(80.0, 64.0, 175.0, 87.0), Color::white);
    picture.fill(Rectangle(80.0, 116.0, 151.0, 139.0), Color::white);
    picture.fill(Rectangle(markerLeft, markerTop, markerRight, markerBottom), Color::red);
}

} // namespace Gyrdex
