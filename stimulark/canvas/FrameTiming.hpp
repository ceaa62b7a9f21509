#pragma once

/// \file
/// Frame pacing, onsets, dropped-frame counting, the frame-interval log and the
/// refresh measurement of a canvas, apart from OpenGL.

#include "stimulark/platform/Clock.hpp"

#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace Stimulark {

class FrameDisplay;
class OnsetTracker;
struct FrameJudgement;
struct FrameStamps;

/// A refresh rate of 0 or 1 means the platform does not know it ("hardware
/// default"); pacing then assumes 60 Hz, since a zero rate would make every frame
/// last forever.
constexpr double usableRefreshRate(double reported) { return reported > 1.0 ? reported : 60.0; }

/// Refresh periods missed by a frame held for `heldFrames` periods when the next
/// frame's onset came intervalMs after its own: the interval in whole frame
/// durations (rounded to the nearest) less `heldFrames`. A frame replaced early gives
/// a negative count. Held within plus or minus 10^9; 0 where the interval or the
/// duration is no number to judge.
inline int droppedFrames(double intervalMs, int heldFrames, double frameDurationMs) {
    const double dropped = std::floor(intervalMs / frameDurationMs + 0.5) - heldFrames;
    if (std::isnan(dropped))
        return 0;
    // A program paused for weeks, or a flip asked to last for years, must not
    // overflow the count either way.
    return dropped < 1.0e9 ? (dropped > -1.0e9 ? static_cast<int>(dropped) : -1'000'000'000) : 1'000'000'000;
}

/// a + b, held at the ends of int instead of wrapping.
constexpr int saturatingAdd(int a, int b) {
    const long long sum = static_cast<long long>(a) + b;
    return sum > INT_MAX ? INT_MAX : (sum < INT_MIN ? INT_MIN : static_cast<int>(sum));
}

/// The median of intervals between bare swaps when the display paced them: the
/// median lies between 2.5 and 50 ms and nine in ten intervals lie within 5 % of it.
/// 0 otherwise, as where swaps return at once, and for no intervals.
double lockedRefreshInterval(std::vector<double> intervalsMs);
/// Refuses flip counts that measureRefresh cannot judge or would take hours over:
/// fewer than 3 or more than 100000 throw "Stimulark::Canvas [ARGUMENT ERROR] the
/// number of flips must lie between 3 and 100000.".
void checkMeasuredFlips(int flips);

/// The pacing, onsets and frame statistics of a canvas, kept apart from OpenGL so
/// that any display, real or scripted, can drive them.
///
/// An onset is when a frame was shown, as the display stack reports it: "presentation
/// feedback" (the compositor's or driver's report that the frame reached the
/// display), "compositor repaint" (the repaint that composed it) or, where the stack
/// reports nothing, "swap completion" (the clock read right after the swap
/// returned). Times are Clock readings and milliseconds.
///
/// The frame on the display is the held frame: the last one shown, with its flip's
/// count. Each interval, from one onset to the next, is judged against that count.
/// The frame counters work only while countFrames is on: the first counted flip arms
/// them, and each later one judges the interval it ended, with the onsets known
/// then. Only the interval log takes later corrections.
class FrameTiming {
public:
    FrameTiming();
    ~FrameTiming();
    /** @{ */
    /// The timing belongs to one display.
    FrameTiming(const FrameTiming&) = delete;
    FrameTiming& operator=(const FrameTiming&) = delete;
    /** @} */

    /// Statistics zero, switches off, unarmed, both swap stamps taken now, and the
    /// next flip does not wait. The frame duration stays: it belongs to the display,
    /// and pacing needs it. So do the interval log, whether it records, flipCount
    /// and lateOnsets.
    void resetFrameStatistics();

    /// Switching on starts a new log, one entry per flip, the first measured from the
    /// frame before; switching off keeps the log. Room for 4096 flips is reserved; a
    /// full log doubles right after a swap has been stamped, never between the wait
    /// and the swap.
    void recordFrameIntervals(bool on);
    /// The log's intervals between consecutive onsets in milliseconds, one per
    /// recorded flip, with the onsets known now (reports that came late included); NaN
    /// for a frame that was never shown. Both onsets of an interval come from the same
    /// source, the most exact that both have.
    std::vector<double> frameIntervals() const;
    /// For each recorded flip, the periods the frame it replaced was asked to stay:
    /// the count of the flip before.
    std::vector<int> frameIntervalFrames() const;

    /// Flips made since opening: 0 after opening, 1 after the program's first flip.
    /// Opening's blanking swaps and the refresh measurement's are not counted.
    long long flipCount() const;
    /// Flips that waited for their onset's report and gave up: since opening, and not
    /// while the wait is off.
    int lateOnsets() const { return lateOnsets_; }
    /// What lastOnset was taken from: "presentation feedback", "compositor repaint"
    /// or "swap completion".
    const char* onsetSource() const;
    /// With true (the default), a flip on a display that reports onsets waits for its
    /// own frame's report, at most two frame durations after the swap returned. With
    /// false it returns at once with the best stamp it has then; onsetOf gives the
    /// report later.
    void setOnsetWait(bool wait) { onsetWait_ = wait; }

    /// Refresh periods asked for by the judged frames: each interval's held count.
    int framesRequested = 0;
    /// Refresh periods missed by the judged frames.
    int framesDropped = 0;
    /// framesRequested plus framesDropped: the periods the judged frames took.
    int framesElapsed = 0;
    /// Periods missed by the last judged frame; negative where it was replaced early.
    int lastDropped = 0;
    /// Judged frames that missed periods or were replaced early.
    int dropEvents = 0;
    /// When the last swap returned.
    Clock lastSwapEnd;
    /// When the last swap began, after its wait.
    Clock lastSwapStart;
    /// The frame count of the last swap, the held frame's; 0 after a reset.
    int lastFlipFrames = 0;
    /// Switches the frame counters on; off after opening and after a reset.
    bool countFrames = false;
    /// Whether a counted flip has armed the counters, so that the next is judged.
    bool countingArmed = false;
    /// Makes flip draw a panel at the top right: frames dropped (red), frames
    /// elapsed (white) and the last frame interval in whole ms (red after a drop,
    /// cyan when longer than its held count of periods, else white). Off after a
    /// reset.
    bool showFrameOverlay = false;
    /// Milliseconds from the onset of the held frame to that of the last frame shown:
    /// the interval the counters judge last.
    double lastFrameInterval = 0.0;
    /// The refresh period in ms that swaps are paced and judged by: 1000 / the
    /// canvas's refreshRate after opening, the median of a locked measureRefresh after.
    double frameDuration = 0.0;
    /// Running sum of the periods asked for by judged frames; framesRequested copies it.
    int requestedTotal = 0;
    /// Running sum of the periods missed; framesDropped copies it.
    int droppedTotal = 0;
    /// The last judgement, as lastDropped.
    int droppedLast = 0;
    /// The onset of the last frame flipped.
    Clock lastOnset;
    double measuredRefreshRate = 0.0; ///< measureRefresh's rate in Hz; 0: never measured, or no retrace found

protected:
    /// The swap of a flip, after its drawing is finished: takes in the display's
    /// reports, waits until the frame on the display has stayed its count (see
    /// docs/timing.md), swaps, waits for the frame's own report where it may, and
    /// records and judges it. Returns the frame's onset. Swaps that are not the
    /// program's flips (opening's blanking) pass `programFlip` false: they are
    /// neither counted, judged nor logged.
    Clock swapWhenDue(int frames, FrameDisplay& display, bool programFlip = true);
    /// The next flip does not wait, as after opening.
    void skipNextWait() { paced_ = false; }
    /// Swaps a few unjudged frames (a window just shown takes some to settle), then
    /// `flips` more, each at once, returning when the display lets it, and judges the
    /// intervals between the swaps' returns (lockedRefreshInterval). Locked: the frame
    /// duration becomes their median and the rate is returned and kept in
    /// measuredRefreshRate; otherwise it returns 0.0 and both stay as they were.
    /// Statistics and the interval log stay; the last swap's frame is the held frame,
    /// for one period. Refuses flip counts as checkMeasuredFlips does.
    double measureRefresh(int flips, FrameDisplay& display);
    /// Takes in the reports that have arrived, without waiting.
    void takeInReports(FrameDisplay& display);
    /// The best onset known for one of the last 1024 flips; other flips throw
    /// "Stimulark::Canvas [ARGUMENT ERROR] the flip must be one of the last 1024.".
    Clock onsetOfFlip(long long flip) const;
    /// What onsetOfFlip is taken from; the same refusals.
    const char* onsetSourceOfFlip(long long flip) const;
    /// The log judged with what is known now: one judgement per recorded flip.
    std::vector<FrameJudgement> frameIntervalJudgements() const;
    /// Whether the display's retrace is known: onsets were reported, or a refresh
    /// measurement locked. Without it, early swap completions count no negative drops.
    bool retraceKnown() const { return measuredRefreshRate > 0.0; }
    /// The periods the frame replaced by the last judged one was asked to stay.
    int lastHeldFrames() const { return lastHeldFrames_; }

private:
    void waitForSwap(int swapInterval);
    FrameStamps swapNow(int frames, FrameDisplay& display, int swapInterval, bool programFlip);
    void judge(std::uint64_t flip, std::uint64_t previous);
    const FrameStamps& checkedFlip(long long flip) const;

    std::unique_ptr<OnsetTracker> tracker_;
    bool onsetWait_ = true;
    bool paced_ = false; // the next flip waits for the held frame
    int lateOnsets_ = 0;
    unsigned char lastSource_ = 0;
    // The frame shown before the next one the counters judge, and the periods of the
    // frames in between that were never shown.
    std::uint64_t judgedHeld_ = 0;
    int skipped_ = 0;
    int lastHeldFrames_ = 0;
    // Where the first flip's interval starts when no swap came before it.
    Clock origin_;
};

} // namespace Stimulark
