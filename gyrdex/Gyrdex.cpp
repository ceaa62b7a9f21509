// Gyrdex: a picture spinning about the screen's centre, its speed and direction
// set by how far right or left of the centre line the pointer stands. Escape ends.

#include "gyrdex/Frame.hpp"

using namespace Stimulark;

void applicationMain() {
    Canvas canvas(0);
    Image picture;
    picture.load("%APP%Gyrdex.png");
    picture.useTexture(true);

    double angle = 0.0;
    while (!Keyboard::query(KEY_ESCAPE, PUSHED))
        Gyrdex::drawFrame(canvas, picture, angle);
}
