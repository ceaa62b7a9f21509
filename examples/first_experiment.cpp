#include "stimulark/stimulark.hpp"

using namespace Stimulark;

// The toolkit's entry calls this after start-up; a failure that escapes it is
// shown as a notification.
void applicationMain() {
    Canvas canvas(0);
    Rectangle square(100.0, 100.0); // 100 x 100 pixels
    square.centerAt(canvas.getCenterX(), canvas.getCenterY());

    while (!Keyboard::query(KEY_ESCAPE, PUSHED)) {
        canvas.clear(Color::black, BACK_BUFFER);
        canvas.drawText("Press Escape to end", 40.0, 40.0, Color::white, 0, -1.0);
        canvas.fillRect(square, Color::red);
        canvas.flip(1);
    }
}
