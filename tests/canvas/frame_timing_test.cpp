// Pacing, onsets, dropped-frame counting, the interval log and the refresh measurement on the scripted backend's
// clock and simulated display: a retrace that swaps block on, a compositor that swaps the way SDL's Wayland swap
// does, and report streams that come late, out of order, discarded or never.

#include "stimulark/canvas/FrameDisplay.hpp"
#include "stimulark/canvas/FrameTiming.hpp"
#include "stimulark/canvas/Onsets.hpp"
#include "support/Scripted.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace Stimulark::Testing {
namespace {

constexpr double period = 1000.0 / 60.0;
constexpr std::int64_t periodTicks = 16'666'667; // at the scripted 1 GHz counter
constexpr std::int64_t ms = 1'000'000;

// The protected part of the timing, which a canvas drives with its window.
class Timing : public FrameTiming {
public:
    using FrameTiming::frameIntervalJudgements;
    using FrameTiming::measureRefresh;
    using FrameTiming::onsetOfFlip;
    using FrameTiming::onsetSourceOfFlip;
    using FrameTiming::skipNextWait;
    using FrameTiming::swapWhenDue;
    using FrameTiming::takeInReports;
};

class Retrace : public ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        scripted().counterStep = 1000; // 1 µs per reading, so that waits end
        scripted().retracePeriod = periodTicks;
        scripted().swapTicks = 100'000;
        timing.resetFrameStatistics();
        timing.frameDuration = period;
        display = std::make_unique<PlatformDisplay>(scripted(), 1);
    }
    Clock flip(int frames) { return timing.swapWhenDue(frames, *display); }
    double measure(int flips = 60) { return timing.measureRefresh(flips, *display); }
    // The periods between the onsets of consecutive flips, rounded, and how far each lies from whole periods.
    std::vector<int> periodsBetween(const std::vector<Clock>& onsets, double* worst = nullptr) const {
        std::vector<int> periods;
        for (std::size_t i = 1; i < onsets.size(); ++i) {
            const double interval = (onsets[i] - onsets[i - 1]).milliseconds();
            periods.push_back(static_cast<int>(std::lround(interval / period)));
            if (worst)
                *worst = std::max(*worst, std::abs(interval - periods.back() * period));
        }
        return periods;
    }
    void useCompositor(std::int64_t repaintDelay = ms / 2) {
        scripted().swapModel = ScriptedPlatform::SwapModel::compositor;
        scripted().repaint.offered = true;
        scripted().repaint.delay = repaintDelay;
    }
    std::vector<std::string> sources() const {
        std::vector<std::string> names;
        for (const FrameJudgement& judgement : timing.frameIntervalJudgements())
            names.push_back(onsetSourceName(judgement.source));
        return names;
    }
    Timing timing;
    std::unique_ptr<PlatformDisplay> display; // of the scripted platform, once installed
};

// Without reports a frame stays for the count of the flip that showed it, swap completion to swap completion, and a
// stall makes one frame late. The log has one interval per flip, the first from the flip before recording began.
// A display that reports presentation, and no repaints to wait for first, gives the retraces themselves, before
// the swaps return.
TEST_F(Retrace, OnsetsFollowTheRetraceAndTheLogRecordsEveryFlip) {
    flip(1);
    timing.recordFrameIntervals(true);
    std::vector<int> frames;
    for (int i = 0; i < 5000; ++i) {
        const int count = i % 7 == 0 ? 3 : 1;
        if (i == 10)
            scripted().counter += periodTicks + periodTicks / 2; // a stall of 1.5 periods misses one retrace
        const Clock onset = flip(count);
        ASSERT_EQ(onset.ticks, timing.lastOnset.ticks);
        frames.push_back(count);
    }
    const std::vector<double> log = timing.frameIntervals();
    const std::vector<int> held = timing.frameIntervalFrames();
    ASSERT_EQ(log.size(), 5000u);
    for (std::size_t i = 0; i < log.size(); ++i) {
        const int shown = i == 0 ? 1 : frames[i - 1];
        const int late = i == 10 ? 1 : 0;
        ASSERT_NEAR(log[i], (shown + late) * period, 0.01) << "flip " << i;
        ASSERT_EQ(held[i], shown) << "flip " << i;
    }
    EXPECT_EQ(timing.lastOnset.ticks % periodTicks, 100'000) << "when the swap returned";
    EXPECT_STREQ(timing.onsetSource(), "swap completion");
    EXPECT_EQ(timing.flipCount(), 5001);

    timing.recordFrameIntervals(false);
    flip(1);
    EXPECT_EQ(timing.frameIntervals().size(), 5000u) << "off keeps the log and adds nothing";
    timing.recordFrameIntervals(true);
    EXPECT_TRUE(timing.frameIntervals().empty()) << "on starts a new log";

    scripted().feedback.offered = true; // as GLX's, answered only to a flip that waits for it
    scripted().feedback.onlyWhenWaited = true;
    const Clock onset = flip(1);
    EXPECT_EQ(onset.ticks % periodTicks, 0);
    EXPECT_EQ(timing.lastSwapEnd.ticks - onset.ticks, 100'000);
    EXPECT_STREQ(timing.onsetSource(), "presentation feedback");
}

// A retrace of 16.667 ms is measured as 60 Hz and becomes the frame duration; the statistics and the log stay, and
// the last blank frame is the one held. Swaps that return at once, a cadence no display has, or one retrace in seven
// missed are no lock: nothing changes.
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
    EXPECT_EQ(timing.flipCount(), 3) << "the measurement's swaps are no flips of the program";
    flip(3);
    EXPECT_NEAR(timing.frameIntervals().back(), period, 0.01) << "the last blank frame stayed one period";
    EXPECT_EQ(timing.frameIntervalFrames().back(), 1);
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

// Each interval is judged in whole frames against the count of the frame it ended (the held count), so changing
// counts and a millisecond of jitter count nothing; where no retrace is known an early swap counts no negative drop.
TEST_F(Retrace, CountsWholeFramesAgainstTheHeldCountOnceArmed) {
    scripted().retracePeriod = 0; // swaps return at once; the intervals are what the program waits
    scripted().swapTicks = 0;
    scripted().counterStep = 1;
    timing.countFrames = true;
    const auto after = [&](double milliseconds, int frames) {
        scripted().counter += static_cast<std::int64_t>(milliseconds * ms);
        flip(frames);
    };
    after(16.7, 1);
    EXPECT_EQ((std::array{timing.requestedTotal, timing.framesRequested}), (std::array{0, 0}))
        << "the first counted flip only arms";
    timing.countFrames = false; // off and on again: totals and arming stay
    after(100.0, 31);
    timing.countFrames = true;
    for (const auto& [interval, frames, dropped] : {std::tuple{31 * period, 6, 0}, {6.09 * period, 1, 0},
                                                    {2 * period, 1, 1}, {0.4 * period, 1, 0}, {3 * period, 1, 2}}) {
        after(interval, frames);
        EXPECT_NEAR(timing.lastFrameInterval, interval, 1e-3);
        EXPECT_EQ((std::array{timing.lastDropped, timing.droppedLast}), (std::array{dropped, dropped}))
            << interval << " ms";
    }
    EXPECT_EQ((std::array{timing.framesRequested, timing.framesDropped, timing.framesElapsed, timing.dropEvents}),
              (std::array{31 + 6 + 1 + 1 + 1, 3, 43, 2}));
    timing.measuredRefreshRate = 60.0; // a locked measurement: now the retrace is known
    after(0.4 * period, 1);
    EXPECT_EQ(timing.lastDropped, -1) << "replaced a frame early";
    EXPECT_EQ(droppedFrames(1e12, 1, period), 1'000'000'000) << "a pause of weeks does not overflow";
    EXPECT_EQ(droppedFrames(std::nan(""), 1, period), 0);
    EXPECT_EQ(usableRefreshRate(1.0), 60.0) << "1 means the hardware default, as 0 does";
    for (int i = 0; i < 3; ++i) {
        timing.skipNextWait(); // a frame asked to stay for years, replaced at once: every total saturates
        after(0.5, INT_MAX);
    }
    EXPECT_EQ((std::array{timing.requestedTotal, timing.framesRequested, timing.lastDropped, timing.dropEvents}),
              (std::array{INT_MAX, INT_MAX, -1'000'000'000, 6}));
}

// On a swap like SDL's on Wayland (it waits for the previous frame's repaint, then commits, and the frame shows at
// the next repaint) every frame lasts exactly its count, whatever the flip before asked, when flips pace by the
// reported repaints; a stall counts the frames it cost. The onset is the repaint, a frame after the swap returned.
TEST_F(Retrace, OnACompositorEachFrameLastsItsCountFromTheReportedRepaint) {
    useCompositor();
    flip(1);
    EXPECT_NEAR(measure(), 60.0, 0.1);
    timing.countFrames = true;
    timing.recordFrameIntervals(true);
    const std::vector<int> counts{1, 6, 1, 31, 2, 1, 1, 6, 2, 31, 1};
    std::vector<Clock> onsets{flip(1)};
    for (const int count : counts) {
        onsets.push_back(flip(count));
        EXPECT_STREQ(timing.onsetSource(), "compositor repaint");
        // Swapped half a period before the repaint it must reach.
        EXPECT_NEAR((timing.lastOnset - timing.lastSwapEnd).milliseconds(), period / 2, 1.0);
    }
    double worst = 0.0;
    std::vector<int> expected{1};
    expected.insert(expected.end(), counts.begin(), counts.end() - 1);
    EXPECT_EQ(periodsBetween(onsets, &worst), expected);
    EXPECT_LT(worst, 1.0) << "repaints are stamped in whole milliseconds";
    EXPECT_EQ((std::array{timing.framesDropped, timing.dropEvents, timing.lateOnsets()}), (std::array{0, 0, 0}));
    EXPECT_EQ(timing.frameIntervalFrames(), (std::vector<int>{1, 1, 1, 6, 1, 31, 2, 1, 1, 6, 2, 31}));

    const std::vector<int> dropsBefore{timing.framesDropped, timing.dropEvents};
    scripted().counter += 40 * ms; // the program stalls for 40 ms before its flip
    flip(1);
    flip(1);
    EXPECT_EQ(timing.framesDropped, dropsBefore[0] + 2) << "the held frame stayed three periods";
    EXPECT_EQ(timing.dropEvents, dropsBefore[1] + 1);
    EXPECT_EQ(timing.framesElapsed, timing.framesRequested + timing.framesDropped);
    EXPECT_EQ(sources(), std::vector<std::string>(14, "compositor repaint"));
}

// Without the wait a flip returns at its swap's completion; the next flip still waits for the held frame's report,
// so frames keep their counts, and the report reaches the log and onsetOf later. The first flip after a reset swaps
// at once.
TEST_F(Retrace, WithoutTheWaitFlipsReturnAtOnceAndStillPaceFromTheReports) {
    useCompositor();
    flip(1);
    timing.setOnsetWait(false);
    timing.recordFrameIntervals(true);
    for (const int count : {1, 6, 1, 2, 1}) {
        const Clock onset = flip(count);
        EXPECT_EQ(onset.ticks, timing.lastSwapEnd.ticks);
        EXPECT_STREQ(timing.onsetSource(), "swap completion");
    }
    scripted().counter += periodTicks; // the last frame has been shown since
    timing.takeInReports(*display);
    std::vector<Clock> reported;
    for (long long f = 2; f <= timing.flipCount(); ++f) {
        reported.push_back(timing.onsetOfFlip(f));
        EXPECT_STREQ(timing.onsetSourceOfFlip(f), "compositor repaint");
    }
    EXPECT_EQ(periodsBetween(reported), (std::vector<int>{1, 6, 1, 2}));
    EXPECT_EQ(sources(), std::vector<std::string>(5, "compositor repaint")) << "the log took the late reports";
    EXPECT_EQ(timing.lateOnsets(), 0) << "not counted while the wait is off";

    timing.resetFrameStatistics();
    const std::int64_t before = scripted().counter;
    flip(1);
    EXPECT_LT(scripted().counter - before, periodTicks) << "swapped without waiting for the held frame";
}

// Reports are matched by the swap they name, not by order or time: newest first, three frames late, or after the
// next commit. Feedback that has said "presented" is waited for; where it only ever comes after the next commit,
// ten late flips in a row stop that wait (one line on standard error) and repaints are waited for instead, and the
// late answers still correct the log and onsetOf.
TEST_F(Retrace, ReportsAreMatchedByIdentityAndLateOnesCorrectTheLog) {
    useCompositor(ms);
    scripted().feedback = {true, 32 * ms, true, {}, {}, {}};
    scripted().reportsNewestFirst = true;
    flip(1);
    timing.recordFrameIntervals(true);
    testing::internal::CaptureStderr();
    for (int i = 0; i < 40; ++i)
        flip(i % 5 == 0 ? 2 : 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Stimulark::Canvas: presentation feedback came too late for 10 flips in a row; flip no longer waits "
              "for it on this canvas.\n");
    EXPECT_EQ(timing.lateOnsets(), 10);
    EXPECT_STREQ(timing.onsetSource(), "compositor repaint") << "the repaint came in time";
    const long long last = timing.flipCount();
    EXPECT_STREQ(timing.onsetSourceOfFlip(last - 1), "compositor repaint");
    flip(1);
    flip(1);
    timing.takeInReports(*display);
    EXPECT_STREQ(timing.onsetSourceOfFlip(last - 1), "presentation feedback");
    EXPECT_EQ(timing.onsetOfFlip(last - 1).ticks % periodTicks, 0) << "the retrace itself";
    const std::vector<std::string> logged = sources();
    EXPECT_EQ(std::count(logged.begin(), logged.end() - 2, "presentation feedback"), 40) << "all but the last two";
    // Waiting for answers that come after the next commit cost frames; once flips stop waiting, none are dropped.
    const std::vector<FrameJudgement> judged = timing.frameIntervalJudgements();
    for (std::size_t i = 20; i + 2 < judged.size(); ++i)
        EXPECT_EQ(judged[i].dropped, 0) << "flip " << i + 2 << " (" << judged[i].intervalMs << " ms)";
    for (const long long flip : {0LL, last + 3, -1LL})
        EXPECT_EQ(failureMessage([&] { timing.onsetOfFlip(flip); }),
                  "Stimulark::Canvas [ARGUMENT ERROR] the flip must be one of the last 1024.") << flip;
    scripted().counterStep = 100'000; // 0.1 ms a reading: many flips, quickly
    for (int i = 0; i < 1100; ++i)
        flip(1);
    EXPECT_EQ(failureMessage([&] { timing.onsetSourceOfFlip(timing.flipCount() - 1024); }),
              "Stimulark::Canvas [ARGUMENT ERROR] the flip must be one of the last 1024.");
    EXPECT_STREQ(timing.onsetSourceOfFlip(timing.flipCount() - 1023), "presentation feedback");
}

// A display that never answers: each flip waits its bound of two frame durations, then ten late flips stop the
// waiting; feedback requests stop after ten went unanswered for four periods, and frame callbacks are asked only
// at swap interval 1. Nothing is asked for a hidden window.
TEST_F(Retrace, SilentSourcesBoundTheWaitAndStopBeingAskedFor) {
    useCompositor();
    scripted().feedback.offered = true;
    scripted().feedback.silent = [](int) { return true; };
    scripted().repaint.silent = [](int) { return true; };
    testing::internal::CaptureStderr();
    std::vector<double> returns; // how long after the swap each flip returned
    for (int i = 0; i < 30; ++i) {
        flip(1);
        returns.push_back((Clock(scripted().counter) - timing.lastSwapEnd).milliseconds());
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Stimulark::Canvas: compositor repaint came too late for 10 flips in a row; flip no longer waits for "
              "it on this canvas.\n");
    EXPECT_EQ(timing.lateOnsets(), 10);
    EXPECT_NEAR(returns[0], 2 * period, 0.1) << "the bound";
    EXPECT_LT(returns.back(), 0.1) << "no more waiting";
    EXPECT_STREQ(timing.onsetSource(), "swap completion");
    const std::vector<unsigned>& asked = scripted().asked;
    const auto feedbackAsked = std::count_if(asked.begin(), asked.end(), [](unsigned a) { return a & 1u; });
    EXPECT_TRUE(feedbackAsked >= 10 && feedbackAsked <= 15) << feedbackAsked << " requests";
    EXPECT_EQ(asked.back(), unsigned{compositorRepaint});

    scripted().swapIntervalSetting = 0;
    flip(1);
    EXPECT_EQ(asked.back(), 0u) << "no frame callbacks at swap interval 0";
    scripted().swapIntervalSetting = 1;
    scripted().windowHidden = true;
    flip(1);
    EXPECT_EQ(asked.back(), 0u);
}

// Where reports carry the display's frame counter, it counts the dropped frames, whatever the stamps' jitter. A frame
// replaced before it was shown has no interval and adds its own count to the drops; the next frame is judged from
// the last one shown. Its report comes only after the next swap, so the flip that waited for it was late.
TEST_F(Retrace, TheFrameCounterCountsDropsAndDiscardedFramesCountTheirOwn) {
    scripted().repaint = {true, ms / 2, false, {}, {}, {}};
    scripted().feedback = {true, ms, false, [](int swap) { return swap % 2 == 0 ? 6 * ms : -6 * ms; }, {},
                           [](int swap) { return swap == 8; }};
    flip(1);
    timing.recordFrameIntervals(true);
    for (int i = 0; i < 8; ++i)
        flip(i == 5 ? 2 : 1);
    flip(1);
    const std::vector<FrameJudgement> judged = timing.frameIntervalJudgements();
    ASSERT_EQ(judged.size(), 9u);
    std::vector<int> dropped;
    for (const FrameJudgement& judgement : judged)
        dropped.push_back(judgement.dropped);
    // The 8th swap was replaced: its own count dropped; the 9th is judged from the 7th, which stayed 5 retraces
    // for its 2, one of them the replaced frame's.
    EXPECT_EQ(dropped, (std::vector<int>{0, 0, 0, 0, 0, 0, 1, 2, 0}));
    EXPECT_TRUE(std::isnan(judged[6].intervalMs));
    EXPECT_EQ((std::array{judged[7].heldFrames, timing.lateOnsets()}), (std::array{2, 1}));
    EXPECT_EQ(judgeFrame({.presented = 0, .retrace = 10, .frames = 1, .known = 1},
                         {.presented = 40 * ms, .retrace = 13, .known = 1}, 0, period, true)
                  .dropped,
              2) << "three retraces for a frame of one";
}

// The first ten reports of each source are checked: a stamp more than a second from the clock, one before its own
// swap, or stamps running backwards drop the source for the canvas, with one line on standard error, and what it
// had given is forgotten.
TEST_F(Retrace, ASourceFailingItsChecksIsDropped) {
    const std::tuple<std::function<std::int64_t(int)>, const char*> cases[] = {
        {[](int) { return 2000 * ms; }, "a stamp more than 1 s from the clock"},
        {[](int swap) { return swap == 4 ? -30 * ms : 0; }, "a frame shown before its swap"},
        {[](int swap) { return swap == 3 ? 20 * ms : 0; }, "stamps running backwards"}};
    scripted().repaint = {true, ms / 2, false, {}, {}, {}};
    for (const auto& [skew, why] : cases) {
        SCOPED_TRACE(why);
        scripted().counter += 1000 * ms; // earlier answers are taken away
        PresentationReport old[64];
        scripted().takePresentationReports(1, old, 64, 0);
        scripted().swaps = 0;
        scripted().feedback = {true, 2 * ms, false, skew, {}, {}};
        Timing fresh;
        fresh.resetFrameStatistics();
        fresh.frameDuration = period;
        testing::internal::CaptureStderr();
        for (int i = 0; i < 12; ++i)
            fresh.swapWhenDue(1, *display);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("Stimulark::Canvas: presentation feedback failed its check (") + why +
                      "); onsets on this canvas no longer use it.\n");
        EXPECT_STREQ(fresh.onsetSourceOfFlip(2), "compositor repaint");
        EXPECT_EQ(scripted().asked.back(), unsigned{compositorRepaint});
    }
}

} // namespace
} // namespace Stimulark::Testing
