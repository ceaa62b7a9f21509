// A reaction-time task: a fixation cross for 500 ms, a white square for exactly six
// frames, then the time from the square's onset to a press of F or J. Keys pressed
// before the square appears do not count. One CSV line per trial on standard output,
// with what the onset was taken from.

#include "stimulark/stimulark.hpp"

#include <cmath>
#include <cstdio>

// Rectangle, BYTE and FLOAT are windows.h's names too, KeyCode and Drawable
// X11's: written in full, they stay unambiguous beside those headers.
using namespace Stimulark;

void applicationMain() {
    Canvas canvas(0);
    canvas.measureRefreshRate(); // the display's real period, where it has a retrace
    const double x = canvas.getCenterX(), y = canvas.getCenterY();
    Stimulark::Rectangle square(100.0, 100.0);
    square.centerAt(x, y);
    const int fixationFrames = static_cast<int>(std::lround(500.0 / canvas.frameDuration));

    std::printf("trial,key,reaction_ms,onset_source\n");
    for (int trial = 1; trial <= 5; ++trial) {
        canvas.clear(Color::black, BACK_BUFFER);
        canvas.fillRect(Stimulark::Rectangle(21.0, 3.0).centerAt(x, y), Color::white);
        canvas.fillRect(Stimulark::Rectangle(3.0, 21.0).centerAt(x, y), Color::white);
        canvas.flip(fixationFrames); // the next frame comes fixationFrames periods later

        canvas.clear(Color::black, BACK_BUFFER);
        canvas.fillRect(square, Color::white);
        canvas.flip(6);                                 // the square stays six frames
        const long long squareFlip = canvas.flipCount(); // its onset is asked for after the answer
        Keyboard::clearEvents();                        // forget keys pressed before it

        canvas.clear(Color::black, BACK_BUFFER);
        KeyEvent key{};
        bool answered = false;
        while (!answered) {
            canvas.flip(1);
            if (Keyboard::query(KEY_ESCAPE, PUSHED))
                return;
            while (!answered && Keyboard::nextEvent(key))
                answered = key.pressed && (key.code == KEY_F || key.code == KEY_J);
        }
        // Where the display reports onsets late, this one has arrived by now.
        const Clock onset = canvas.onsetOf(squareFlip);
        std::printf("%d,%c,%.1f,%s\n", trial, key.code == KEY_F ? 'F' : 'J', (key.time - onset).milliseconds(),
                    canvas.onsetSourceOf(squareFlip));
    }
}
