// Built outside the toolkit's tree: draws a red square on blue, reads the frame
// back, and prints what it saw, the version it was built against and its arguments.
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
    Image frame;
    canvas.capture(frame);
    canvas.flip(1);

    const Color centre = frame.getPixel(frame.width / 2, frame.height / 2);
    const Color corner = frame.getPixel(2, 2);
    const std::vector<std::string>& arguments = commandLineArguments();
    std::printf("version %s; %zu arguments, last %s; centre %.0f %.0f %.0f; corner %.0f %.0f %.0f\n",
                STIMULARK_VERSION_STRING, arguments.size(), arguments.back().c_str(), centre.r, centre.g,
                centre.b, corner.r, corner.g, corner.b);
}
