// Gyrdex: a picture spinning about the screen's centre, its speed and direction
// set by how far right or left of the centre line the pointer stands. Escape ends.

#include "stimulark/stimulark.hpp"

#include <GL/gl.h>

using namespace Stimulark;

void applicationMain() {
    Canvas canvas(0);
    Image picture;
    picture.load("%APP%Gyrdex.png");
    picture.useTexture(true);

    const Color background(0.5);
    double angle = 0.0;
    while (!Keyboard::query(KEY_ESCAPE, PUSHED)) {
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
}
