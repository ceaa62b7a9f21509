// An instruction screen: a few lines in the default font, wrapped at 600 pixels and
// centred on a grey screen, until the space bar is pressed.

#include "stimulark/stimulark.hpp"

// Rectangle, BYTE and FLOAT are windows.h's names too, KeyCode, Drawable and Font
// X11's: written in full, they stay unambiguous beside those headers.
using namespace Stimulark;

void applicationMain() {
    Canvas canvas(0);
    const Stimulark::Font font = Stimulark::Font::defaultFont(28.0);
    const char* instructions = "In each trial a ring appears in the middle of the screen, then a dot inside it "
                               "or beside it. Press F when the dot is inside the ring and J when it is beside "
                               "it, as quickly as you can.\n\nPress the space bar to begin.";
    const double width = 600.0;
    // measure gives the ink's rows from the first baseline: the block is centred on the screen.
    const Stimulark::Rectangle ink = font.measure(instructions, width);
    const double baseline = canvas.getCenterY() - (ink.top + ink.bottom) / 2.0;

    while (!Keyboard::query(KEY_SPACE, PUSHED)) {
        canvas.clear(Color::gray, BACK_BUFFER);
        // Alignment 1 centres each line on x.
        canvas.drawText(font, instructions, canvas.getCenterX(), baseline, Color::white, 1, width);
        canvas.flip(1);
    }
}
