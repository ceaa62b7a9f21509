// Timing on a display with a retrace: a headless Wayland compositor at 60 Hz (scripts/with-compositor). Tolerances
// are wide, since the tests share two cores with the compositor; precise figures come from the benchmarks.

#include "../canvas/display_canvas.hpp"

#include "stimulark/canvas/APICanvasProperties.hpp"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace Stimulark::Testing {
namespace {

class Compositor : public DisplayTest {
protected:
    void SetUp() override {
        ASSERT_EQ(std::getenv("DISPLAY"), nullptr) << "run through scripts/with-compositor";
        DisplayTest::SetUp();
        // The compositor shares two cores with the test: a busy moment can disturb one measurement.
        for (int attempt = 0; attempt < 3 && rate == 0.0; ++attempt)
            rate = canvas->measureRefreshRate();
    }
    // The median interval of `flips` flips of `frames` each, recorded after one unrecorded flip.
    double medianInterval(int flips, int frames) {
        canvas->flip(frames);
        canvas->recordFrameIntervals(true);
        for (int i = 0; i < flips; ++i) {
            canvas->clear(Color::gray, BACK_BUFFER);
            canvas->flip(frames);
        }
        std::vector<double> intervals = canvas->frameIntervals();
        std::nth_element(intervals.begin(), intervals.begin() + flips / 2, intervals.end());
        return intervals[static_cast<std::size_t>(flips / 2)];
    }
    double rate = 0.0;
};

// The compositor's cadence is found by measuring, not taken from the mode, and becomes what flip paces by.
TEST_F(Compositor, MeasuresTheRetraceAndAFrameOfThreeFlipsLastsThreeRetraces) {
    EXPECT_EQ(canvas->getRefreshRate(), 60.0) << "the mode's rate stays";
    ASSERT_TRUE(rate > 50.0 && rate < 70.0) << rate << " Hz";
    EXPECT_DOUBLE_EQ(canvas->measuredRefreshRate, rate);
    EXPECT_DOUBLE_EQ(canvas->frameDuration, 1000.0 / rate);
    EXPECT_EQ(platform().swapInterval(canvas->platformPart()->window), 0) << "unsynchronised again, as it was";
    EXPECT_EQ((std::vector{canvas->setSwapInterval(2), canvas->setSwapInterval(-1), canvas->setSwapInterval(1)}),
              (std::vector{false, false, true})) << "SDL would take 2 and -1 here; the canvas refuses them";
    EXPECT_NEAR(medianInterval(30, 1), canvas->frameDuration, 0.1 * canvas->frameDuration);
    EXPECT_NEAR(medianInterval(20, 3), 3 * canvas->frameDuration, 0.1 * 3 * canvas->frameDuration);
    EXPECT_STREQ(canvas->onsetSource(), "swap completion");
    EXPECT_EQ(canvas->lastOnset.ticks, canvas->lastSwapEnd.ticks);
}

// A program that stalls for 2.5 periods misses retraces: the frame shows as dropped in the log and the counters.
TEST_F(Compositor, AStalledFrameShowsAsDropped) {
    ASSERT_GT(rate, 0.0);
    canvas->setSwapInterval(1);
    canvas->countFrames = true;
    canvas->recordFrameIntervals(true);
    for (int i = 0; i < 20; ++i) {
        canvas->clear(Color::gray, BACK_BUFFER);
        if (i == 10)
            for (const Clock start; (Clock() - start).milliseconds() < 2.5 * canvas->frameDuration;) {
            }
        canvas->flip(1);
    }
    const std::vector<double>& log = canvas->frameIntervals();
    EXPECT_GE(droppedFrames(log[10], 1, canvas->frameDuration), 2) << log[10] << " ms";
    EXPECT_GE(canvas->framesDropped, 2);
    EXPECT_GE(canvas->dropEvents, 1);
}

// Capture reads what was drawn on this display too; a key typed into the compositor arrives as an event stamped
// when it was taken from the window system, since Wayland's event time does not reach the toolkit.
TEST_F(Compositor, CaptureAndKeyEventsWorkThere) {
    canvas->clear(Color::gray, BACK_BUFFER);
    canvas->fillRect(Rectangle(10.0, 20.0, 49.0, 59.0), Color::red);
    Image captured;
    canvas->capture(captured);
    EXPECT_TRUE(pixelsOf(captured, 60, 60) == readPixels(0, 0, 60, 60));
    canvas->flip(1);

    // wtype brings its own keyboard, which the toolkit learns of only while it takes events: type in the
    // background, after a pause, and keep flipping.
    Keyboard::clearEvents();
    const Clock sent;
    ASSERT_EQ(std::system("wtype -s 300 -k f &"), 0);
    KeyEvent event{};
    bool arrived = false;
    for (int i = 0; i < 300 && !arrived; ++i) {
        canvas->flip(1);
        arrived = Keyboard::nextEvent(event);
    }
    ASSERT_TRUE(arrived);
    EXPECT_EQ(std::pair(event.code, event.pressed), std::pair(int{KEY_F}, true));
    EXPECT_GT((event.time - sent).milliseconds(), 300.0) << "after wtype's pause";
    EXPECT_LT((Clock() - event.time).milliseconds(), 1000.0);
}

} // namespace
} // namespace Stimulark::Testing
