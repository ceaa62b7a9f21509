// Orientation discrimination: a Gabor patch tilted 10 degrees left or right of vertical
// is shown for exactly twelve frames after a fixation point; F answers "left", J
// "right". The reaction time runs from the patch's onset. One CSV line per trial on
// standard output, with the pixels the patch had out of range (none at this contrast).

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
    // A 40 cm wide screen seen from 57 cm: sizes and frequencies in degrees.
    const double perDegree = canvas.pixelsPerDegree({40.0, 57.0});
    const Color grey(0.5);
    Gabor patch{x, y, 4.0 * perDegree, 0.0, 2.0 / perDegree, 0.0, 0.5, 0.6 * perDegree};
    const double tilts[] = {10.0, -10.0, -10.0, 10.0, -10.0, 10.0}; // clockwise is positive
    const int fixationFrames = static_cast<int>(std::lround(500.0 / canvas.frameDuration));

    std::printf("trial,tilt_deg,key,correct,reaction_ms,clipped_pixels,onset_source\n");
    for (int trial = 1; trial <= 6; ++trial) {
        canvas.clear(grey, BACK_BUFFER);
        canvas.fillOval(Stimulark::Rectangle(6.0, 6.0).centerAt(x, y), Color::black);
        canvas.flip(fixationFrames);

        patch.orientation = tilts[trial - 1];
        canvas.clear(grey, BACK_BUFFER);
        canvas.drawGabors({&patch, 1}, grey);
        canvas.flip(12);                                // the patch stays twelve frames
        const long long patchFlip = canvas.flipCount(); // its onset is asked for after the answer
        const long long clipped = canvas.clippedPixels();
        Keyboard::clearEvents();                        // forget keys pressed before it

        canvas.clear(grey, BACK_BUFFER);
        KeyEvent key{};
        bool answered = false;
        while (!answered) {
            canvas.flip(1);
            if (Keyboard::query(KEY_ESCAPE, PUSHED))
                return;
            while (!answered && Keyboard::nextEvent(key))
                answered = key.pressed && (key.code == KEY_F || key.code == KEY_J);
        }
        const Clock onset = canvas.onsetOf(patchFlip);
        const bool right = key.code == KEY_J;
        std::printf("%d,%+.0f,%c,%d,%.1f,%lld,%s\n", trial, patch.orientation, right ? 'J' : 'F',
                    right == (patch.orientation > 0.0) ? 1 : 0, (key.time - onset).milliseconds(), clipped,
                    canvas.onsetSourceOf(patchFlip));
    }
}
