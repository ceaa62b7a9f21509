#pragma once

// One frame of Gyrdex, shared by the demo and its benchmark: the grey canvas, the
// instruction line, and the picture turned about the centre by an angle that grows
// with the pointer's distance from the centre line.

#include "stimulark/stimulark.hpp"

#include <GL/gl.h>

namespace Gyrdex {

inline void drawFrame(Stimulark::Canvas& canvas, Stimulark::Image& picture, double& angle) {
    using namespace Stimulark;
    const Color background(0.5);
    canvas.clear(background, BACK_BUFFER);
    canvas.drawText("Move mouse to change the velocity", 100.0, 100.0, Color::white, 0, -1.0);

    const double pointerX = static_cast<int>(Mouse::x);
    // The centre is a half pixel, so the picture never stands still.
    const double velocity = (pointerX - canvas.getCenterX()) * 0.02 * PI;
    angle += velocity;

    // y grows downwards, so a growing angle turns the picture clockwise.
    glPushMatrix();
    glTranslated(canvas.getCenterX(), canvas.getCenterY(), 0.0);
    glRotated(angle, 0.0, 0.0, 1.0);
    glTranslated(-picture.getWidth() * 0.5, -picture.getHeight() * 0.5, 0.0);
    picture.draw();
    glPopMatrix();

    canvas.flip(1);
}

} // namespace Gyrdex
