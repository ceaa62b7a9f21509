// Frame pacing and dropped-frame counting, driven by the scripted counter.

#include "stimulark/canvas/FrameTiming.hpp"
#include "support/Scripted.hpp"

#include <gtest/gtest.h>

namespace Stimulark {
namespace {

class FrameTimingTest : public Testing::ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        timing.resetFrameStatistics();
        timing.frameDuration = 1000.0 / 60.0;
    }
    static std::int64_t ticks(double milliseconds) {
        return static_cast<std::int64_t>(milliseconds * static_cast<double>(Clock::ticksPerMillisecond));
    }
    void swapAfter(double milliseconds, int frames = 1) {
        scripted().counter += ticks(milliseconds);
        timing.recordSwap(frames);
    }

    FrameTiming timing;
};

TEST_F(FrameTimingTest, CountsDroppedFramesOnceArmed) {
    timing.countFrames = true;
    swapAfter(16.7);
    EXPECT_EQ(timing.requestedTotal, 1);
    EXPECT_EQ(timing.framesRequested, 0) << "the first counted swap only arms";

    const struct {
        double interval;
        int dropped;
    } swaps[] = {{16.7, 0}, {33.3, 1}, {50.0, 2}, {0.5, -1}};
    for (const auto& swap : swaps) {
        swapAfter(swap.interval);
        EXPECT_NEAR(timing.lastFrameInterval, swap.interval, 1e-6);
        EXPECT_EQ(timing.lastDropped, swap.dropped) << swap.interval << " ms";
    }
    EXPECT_EQ(timing.framesRequested, 5);
    EXPECT_EQ(timing.framesDropped, 2);
    EXPECT_EQ(timing.framesElapsed, 7);
    EXPECT_EQ(timing.dropEvents, 3) << "an early swap is an event too";

    // Off and on again: totals and arming stay; the formula sees this flip's count.
    timing.countFrames = false;
    swapAfter(100.0);
    timing.countFrames = true;
    swapAfter(16.7, 2);
    EXPECT_EQ(timing.droppedLast, -1);
    EXPECT_EQ(timing.framesRequested, 7);
}

TEST_F(FrameTimingTest, WaitsOnThePreviousFlipsCount) {
    scripted().counterStep = ticks(0.01);
    const struct {
        int previousFrames;
        double wait;
    } cases[] = {{0, 1000.0 / 600.0}, {1, 1000.0 / 600.0}, {3, 50.0}};
    for (const auto& c : cases) {
        timing.lastFlipFrames = c.previousFrames;
        timing.lastSwapStart.update();
        timing.waitForSwap();
        const double waited = (Clock(scripted().counter) - timing.lastSwapStart).milliseconds();
        EXPECT_GE(waited, c.wait) << "after flip(" << c.previousFrames << ")";
        EXPECT_LT(waited, c.wait + 0.05);
    }
    EXPECT_EQ(usableRefreshRate(0.0), 60.0) << "a platform that does not know its rate";
    EXPECT_EQ(usableRefreshRate(1.0), 60.0);
}

} // namespace
} // namespace Stimulark
