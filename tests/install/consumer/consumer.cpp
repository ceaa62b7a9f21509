// Built outside the toolkit's tree: draws a red square on blue and a word in the
// default font, reads the frame back, and prints what it saw, the version it was
// built against and its arguments.
#include "stimulark/stimulark.hpp"

#include <cstdio>

static_assert(STIMULARK_VERSION_MAJOR == 0 && STIMULARK_VERSION_MINOR == 2, "built against 0.2");

using namespace Stimulark;

void applicationMain() {
    Canvas canvas(0);
    Stimulark::Rectangle square(100.0, 100.0);
    square.centerAt(canvas.getCenterX(), canvas.getCenterY());
    canvas.clear(Color(0.0, 0.0, 1.0, 1.0), BACK_BUFFER);
    canvas.fillRect(square, Color::red);
    const Stimulark::Font font = Stimulark::Font::defaultFont(32.0);
    const int lines = canvas.drawText(font, "Stimulark", 20.0, 60.0, Color::white);
    Image frame;
    canvas.capture(frame);
    canvas.flip(1);

    // Around the word, on blue: white pixels inside what measure says, only blue outside.
    const Stimulark::Rectangle ink = font.measure("Stimulark");
    int white = 0, strays = 0;
    for (int y = static_cast<int>(ink.top) + 50; y <= static_cast<int>(ink.bottom) + 70; ++y)
        for (int x = static_cast<int>(ink.left) + 10; x <= static_cast<int>(ink.right) + 30; ++x) {
            const Color c = frame.getPixel(x, y);
            const bool within = x >= ink.left + 20 && x <= ink.right + 20 && y >= ink.top + 60 && y <= ink.bottom + 60;
            white += within && c.r == 1.0 && c.g == 1.0 && c.b == 1.0;
            strays += !within && (c.r > 0.0 || c.g > 0.0 || c.b < 1.0);
        }

    const Color centre = frame.getPixel(frame.width / 2, frame.height / 2);
    const Color corner = frame.getPixel(2, 2);
    const std::vector<std::string>& arguments = commandLineArguments();
    std::printf("version %s; %zu arguments, last %s; centre %.0f %.0f %.0f; corner %.0f %.0f %.0f; "
                "text %d line, %s\n",
                STIMULARK_VERSION_STRING, arguments.size(), arguments.back().c_str(), centre.r, centre.g,
                centre.b, corner.r, corner.g, corner.b, lines, white > 0 && strays == 0 ? "inked" : "missing");
}
