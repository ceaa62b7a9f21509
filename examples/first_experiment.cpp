#include "stimulark/stimulark.hpp"

// Rectangle, BYTE and FLOAT are windows.h's names too, KeyCode and Drawable
// X11's: written in full, they stay unambiguous beside those headers.
using namespace Stimulark;

// The toolkit's entry calls this after start-up; a failure that escapes it is
// shown as a notification.
void applicationMain() {
    Canvas canvas(0);
    Stimulark::Rectangle square(100.0, 100.0); // 100 x 100 pixels
    square.centerAt(canvas.getCenterX(), canvas.getCenterY());

    while (!Keyboard::query(KEY_ESCAPE, PUSHED)) {
        canvas.clear(Color::black, BACK_BUFFER);
        canvas.drawText("Press Escape to end", 40.0, 40.0, Color::white, 0, -1.0);
        canvas.fillRect(square, Color::red);
        canvas.flip(1);
    }
}
