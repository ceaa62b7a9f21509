// Frame counting, pacing, onsets, the interval log and the refresh measurement on the scripted backend's clock and
// simulated retrace.

#include "stimulark/canvas/Canvas.hpp"
#include "support/Scripted.hpp"

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <tuple>
#include <vector>

namespace Stimulark::Testing {
namespace {

constexpr double period = 1000.0 / 60.0;
constexpr std::int64_t periodTicks = 16'666'667; // at the scripted 1 GHz counter

class Retrace : public ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        scripted().counterStep = 1000; // 1 µs per reading, so that waits end
        scripted().retracePeriod = periodTicks;
        timing.resetFrameStatistics();
        timing.frameDuration = period;
    }
    // The swap of a canvas, returning 0.1 ms after the retrace, then the platform's presentation stamp if any.
    std::optional<Clock> swap() {
        scripted().swapBuffers(1);
        scripted().counter += returnTicks;
        std::int64_t ticks = 0;
        return scripted().presentationTime(1, ticks) ? std::optional<Clock>(Clock(ticks)) : std::nullopt;
    }
    Clock flip(int frames) { return timing.swapWhenDue(frames, [this] { return swap(); }); }
    double measure(int flips = 60) { return timing.measureRefresh(flips, [this] { return swap(); }); }
    static constexpr std::int64_t returnTicks = 100'000;
    FrameTiming timing;
};

// A frame stays for the count of the flip that showed it, so each interval is the previous flip's count of periods;
// a stall makes one frame late and counts as dropped. The log has one interval per flip, the first from the flip
// before recording began, and always room for the next.
TEST_F(Retrace, OnsetsFollowTheRetraceAndTheLogRecordsEveryFlipWithRoomForTheNext) {
    flip(1);
    timing.recordFrameIntervals(true);
    std::vector<int> frames;
    for (int i = 0; i < 5000; ++i) {
        const int count = i % 7 == 0 ? 3 : 1;
        if (i == 10)
            scripted().counter += periodTicks + periodTicks / 2; // a stall of 1.5 periods misses one retrace
        const Clock onset = flip(count);
        ASSERT_EQ(onset.ticks, timing.lastOnset.ticks);
        ASSERT_GT(timing.frameIntervals().capacity(), timing.frameIntervals().size())
            << "the next swap must not grow it";
        frames.push_back(count);
    }
    const std::vector<double>& log = timing.frameIntervals();
    ASSERT_EQ(log.size(), 5000u);
    EXPECT_EQ(timing.frameIntervalFrames(), frames);
    for (std::size_t i = 0; i < log.size(); ++i) {
        const int shown = i == 0 ? 1 : frames[i - 1];
        const int late = i == 10 ? 1 : 0;
        ASSERT_NEAR(log[i], (shown + late) * period, 0.01) << "flip " << i;
        ASSERT_EQ(droppedFrames(log[i], frames[i], period), late + shown - frames[i]) << "flip " << i;
    }
    EXPECT_EQ(timing.lastOnset.ticks % periodTicks, returnTicks) << "when the swap returned";

    timing.recordFrameIntervals(false);
    flip(1);
    EXPECT_EQ(log.size(), 5000u) << "off keeps the log and adds nothing";
    timing.recordFrameIntervals(true);
    EXPECT_TRUE(log.empty()) << "on starts a new log";

    scripted().reportsPresentation = true; // onsets are now the retraces themselves, before the swap returns
    const Clock onset = flip(1);
    EXPECT_EQ(onset.ticks % periodTicks, 0);
    EXPECT_EQ(timing.lastSwapEnd.ticks - onset.ticks, returnTicks);
}

// A retrace of 16.667 ms is measured as 60 Hz and becomes the frame duration; the statistics and the log stay.
// Swaps that return at once, a cadence no display has, or one retrace in seven missed are no lock: nothing changes.
TEST_F(Retrace, MeasuresTheRefreshRateOnlyWhereTheRetracePacesTheSwaps) {
    timing.countFrames = true;
    timing.recordFrameIntervals(true);
    for (int i = 0; i < 3; ++i)
        flip(2);
    const std::vector<double> logBefore = timing.frameIntervals();
    const auto statistics = [this] {
        return std::vector<int>{timing.framesRequested, timing.framesDropped, timing.framesElapsed,
                                timing.dropEvents, timing.requestedTotal, timing.droppedTotal};
    };
    const std::vector<int> before = statistics();
    timing.frameDuration = 20.0;
    const int swapsBefore = scripted().swaps;
    EXPECT_NEAR(measure(), 60.0, 0.01);
    EXPECT_EQ(scripted().swaps - swapsBefore, 65) << "five unjudged swaps, then the flips";
    EXPECT_NEAR(timing.frameDuration, period, 0.001);
    EXPECT_NEAR(timing.measuredRefreshRate, 60.0, 0.01);
    EXPECT_EQ(statistics(), before);
    EXPECT_EQ(timing.frameIntervals(), logBefore);
    flip(3);
    EXPECT_NEAR(timing.frameIntervals().back(), period, 0.01) << "the last blank frame stayed one period";
    flip(1);
    EXPECT_NEAR(timing.frameIntervals().back(), 3 * period, 0.01);

    const std::vector<double> measured{timing.frameDuration, timing.measuredRefreshRate};
    for (const std::int64_t retrace : {std::int64_t{0}, std::int64_t{2'000'000}, std::int64_t{60'000'000}}) {
        scripted().retracePeriod = retrace;
        EXPECT_EQ(measure(), 0.0) << retrace << " ticks";
    }
    EXPECT_EQ(lockedRefreshInterval(std::vector<double>(54, period)), period);
    std::vector<double> missed(60, period);
    for (std::size_t i = 0; i < missed.size(); i += 10)
        missed[i] = 2 * period; // 6 in 60: still nine in ten on time
    EXPECT_NEAR(lockedRefreshInterval(missed), period, 1e-9);
    missed[1] = 2 * period; // 7 in 60
    EXPECT_EQ(lockedRefreshInterval(missed), 0.0);
    EXPECT_EQ((std::vector{timing.frameDuration, timing.measuredRefreshRate}), measured);
    for (const int flips : {2, 100001})
        EXPECT_EQ(failureMessage([&] { measure(flips); }),
                  "Stimulark::Canvas [ARGUMENT ERROR] the number of flips must lie between 3 and 100000.");
}

TEST_F(Retrace, CountsDropsOnceArmedAndWaitsOnThePreviousFlipsCount) {
    scripted().counterStep = 0; // the clock moves only as the swaps below say
    timing.countFrames = true;
    const auto swapAfter = [&](double milliseconds, int frames) {
        scripted().counter += static_cast<std::int64_t>(milliseconds * static_cast<double>(Clock::ticksPerMillisecond));
        timing.recordSwap(frames);
    };
    swapAfter(16.7, 1);
    EXPECT_EQ((std::array{timing.requestedTotal, timing.framesRequested}), (std::array{1, 0}))
        << "the first counted swap only arms";
    timing.countFrames = false; // off and on again: totals and arming stay
    swapAfter(100.0, 1);
    timing.countFrames = true;
    for (const auto& [interval, frames, dropped] :
         {std::tuple{16.7, 1, 0}, {33.3, 1, 1}, {50.0, 1, 2}, {0.5, 1, -1}, {16.7, 2, -1}}) {
        swapAfter(interval, frames);
        EXPECT_NEAR(timing.lastFrameInterval, interval, 1e-6);
        EXPECT_EQ((std::array{timing.lastDropped, timing.droppedLast}), (std::array{dropped, dropped}))
            << interval << " ms for " << frames << " frames";
    }
    EXPECT_EQ((std::array{timing.framesRequested, timing.framesDropped, timing.framesElapsed, timing.dropEvents}),
              (std::array{7, 1, 8, 4})) << "requested, dropped, elapsed, and drop events: an early swap is one too";
    EXPECT_EQ(droppedFrames(1e12, 1, timing.frameDuration), 1'000'000'000) << "a pause of weeks does not overflow";
    EXPECT_EQ(usableRefreshRate(1.0), 60.0) << "1 means the hardware default, as 0 does";
    for (int i = 0; i < 3; ++i)
        swapAfter(0.5, INT_MAX); // asked to stay for years, swapped at once: every total saturates
    EXPECT_EQ((std::array{timing.requestedTotal, timing.framesRequested, timing.droppedTotal, timing.lastDropped,
                          timing.framesElapsed, timing.dropEvents}),
              (std::array{INT_MAX, INT_MAX, INT_MIN, -1'000'000'000, INT_MAX + INT_MIN, 7}));

    timing.resetFrameStatistics(); // a program's reset keeps the display's frame duration, and with it the pacing
    scripted().counterStep = Clock::ticksPerMillisecond / 100; // every read moves the clock on
    for (const auto& [previousFrames, wait] : {std::pair{0, 1000.0 / 600.0}, {1, 1000.0 / 600.0}, {3, 50.0}}) {
        timing.lastFlipFrames = previousFrames;
        timing.lastSwapStart.update();
        timing.waitForSwap();
        const double waited = (Clock(scripted().counter) - timing.lastSwapStart).milliseconds();
        EXPECT_GE(waited, wait) << "after flip(" << previousFrames << ")";
        EXPECT_LT(waited, wait + 0.05);
    }
    timing.swapWhenDue(1, [&] { scripted().counter += 5 * Clock::ticksPerMillisecond; }); // a swap of 5 ms
    const double swapSpan = (timing.lastSwapEnd - timing.lastSwapStart).milliseconds();
    EXPECT_TRUE(swapSpan >= 5.0 && swapSpan < 5.1) << swapSpan << " ms: the start is stamped right before the swap";
}

} // namespace
} // namespace Stimulark::Testing
