// Flickers between white and black, one frame each, for 600 frames, then tells how
// many frames the display dropped. Frames are counted from onset to onset, so the
// periods they took add up to the time between the first onset and the last.

#include "stimulark/stimulark.hpp"

#include <cstdio>

// Rectangle, BYTE and FLOAT are windows.h's names too, KeyCode and Drawable
// X11's: written in full, they stay unambiguous beside those headers.
using namespace Stimulark;

void applicationMain() {
    Canvas canvas(0);
    if (canvas.measureRefreshRate() == 0.0)
        throw "no retrace: the display cannot time frames";
    canvas.countFrames = true; // the first counted flip starts the count
    const Clock first = canvas.flip(1);
    for (int frame = 0; frame < 600 && !Keyboard::query(KEY_ESCAPE, PUSHED); ++frame) {
        canvas.clear(frame % 2 == 0 ? Color::white : Color::black, BACK_BUFFER);
        canvas.flip(1);
    }
    std::printf("%d frames dropped in %d frames (%d periods of %.3f ms in %.1f ms)\n", canvas.framesDropped,
                canvas.framesRequested, canvas.framesElapsed, canvas.frameDuration,
                (canvas.lastOnset - first).milliseconds());
}
