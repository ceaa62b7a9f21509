// Gyrdex: a picture spinning about the screen's centre, its speed and direction
// set by how far right or left of the centre line the pointer stands. Escape ends.
//
// With `--frame-intervals FOLDER` it records the interval between every two frames
// and, when Escape ends it, writes FOLDER/frame-intervals.csv and its plot,
// FOLDER/frame-intervals.png.

#include "gyrdex/Frame.hpp"

#include <string>
#include <vector>

using namespace Stimulark;

namespace {

std::string intervalsFolder() {
    const std::vector<std::string>& arguments = commandLineArguments();
    for (std::size_t i = 1; i + 1 < arguments.size(); ++i)
        if (arguments[i] == "--frame-intervals")
            return arguments[i + 1];
    return {};
}

} // namespace

void applicationMain() {
    const std::string folder = intervalsFolder();
    Canvas canvas(0);
    Image picture;
    picture.load("%APP%Gyrdex.png");
    picture.useTexture(true);

    canvas.recordFrameIntervals(!folder.empty());
    double angle = 0.0;
    while (!Keyboard::query(KEY_ESCAPE, PUSHED))
        Gyrdex::drawFrame(canvas, picture, angle);
    if (!folder.empty()) {
        canvas.saveFrameIntervals(folder + "/frame-intervals.csv");
        canvas.plotFrameIntervals(folder + "/frame-intervals.png");
    }
}
