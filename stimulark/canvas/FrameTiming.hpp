#pragma once

/// \file
/// Frame pacing, dropped-frame counting, the frame-interval log and the refresh
/// measurement of a canvas, apart from OpenGL.

#include "stimulark/platform/Clock.hpp"

#include <climits>
#include <cmath>
#include <cstddef>
#include <optional>
#include <type_traits>
#include <vector>

namespace Stimulark {

/// A refresh rate of 0 or 1 means the platform does not know it ("hardware
/// default"); pacing then assumes 60 Hz, since a zero rate would make every frame
/// last forever.
constexpr double usableRefreshRate(double reported) { return reported > 1.0 ? reported : 60.0; }

/// Refresh periods missed by a frame meant to stay `frames` periods whose swap came
/// intervalMs after the previous one. The 1 ms tolerance makes an interval of
/// exactly frames periods count as on time; a too-early swap gives -1. The count is
/// held within plus or minus 10^9.
inline int droppedFrames(double intervalMs, int frames, double frameDurationMs) {
    const double dropped = std::floor(((intervalMs - 1.0) - (frames - 1) * frameDurationMs) / frameDurationMs);
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

/// The pacing and frame statistics of a canvas, kept apart from OpenGL so that any
/// clock can drive them. A swap callable swaps the buffers and returns nothing, or
/// the std::optional<Clock> of the platform's own presentation stamp.
///
/// Times are Clock readings and milliseconds. The frame counters work only while
/// countFrames is on: the first counted swap arms them, and every later one is
/// judged by droppedFrames from lastFrameInterval, its own frame count and
/// frameDuration. An interval ends at a swap but was paced by the count of the flip
/// before, so where counts change from flip to flip, read each judgement with that.
class FrameTiming {
public:
    /// Statistics zero, switches off, unarmed, both swap stamps taken now. The frame
    /// duration stays: it belongs to the display, and pacing needs it. So do the
    /// interval log and whether it records.
    void resetFrameStatistics();
    /// Milliseconds the coming swap waits after the previous one began: lastFlipFrames
    /// periods after a flip of more than one, else a tenth of a period, leaving the
    /// rest to a swap in step with the retrace.
    double waitTarget() const { return lastFlipFrames > 1 ? lastFlipFrames * frameDuration : 0.1 * frameDuration; }
    /// Spins on the clock (no sleep, no messages) until the target has passed.
    void waitForSwap() const;
    /// The swap of a flip: waits until it is due, stamps its start right before the
    /// swap, swaps, and records.
    /// Returns the frame's onset.
    template <typename Swap>
    Clock swapWhenDue(int frames, Swap swap) {
        waitForSwap();
        lastSwapStart.update();
        const std::optional<Clock> presented = swapFor(swap);
        recordSwap(frames, presented);
        return lastOnset;
    }
    /// The bookkeeping right after a swap: its end, the onset (the presentation stamp
    /// where there is one, else the end), the recorded interval, and with counting on
    /// the dropped frames; the first counted swap only arms the counting. The totals
    /// saturate rather than wrap.
    void recordSwap(int frames, std::optional<Clock> presented = std::nullopt);

    /// Switching on starts a new log of the intervals between consecutive onsets, in
    /// milliseconds, one per swap, the first measured from the swap before; switching
    /// off keeps the log. Room for 4096 swaps is reserved; a full log doubles right
    /// after a swap has been stamped, never between the wait and the swap.
    void recordFrameIntervals(bool on);
    /// The log: milliseconds from the previous onset, one per recorded swap.
    const std::vector<double>& frameIntervals() const { return intervals_; }
    /// The frame count of each recorded swap.
    const std::vector<int>& frameIntervalFrames() const { return intervalFrames_; }

    /// Swaps a few unjudged frames (a window just shown takes some to settle), then
    /// `flips` more, each at once, returning when the display lets it, and judges the
    /// intervals (lockedRefreshInterval). Locked: the frame duration becomes their
    /// median and the rate is returned and kept in measuredRefreshRate; otherwise it
    /// returns 0.0 and both stay as they were. Statistics and the interval log stay;
    /// the swap stamps follow the blank frames, which were shown for one period each.
    /// Refuses flip counts as checkMeasuredFlips does.
    template <typename Swap>
    double measureRefresh(int flips, Swap swap) {
        checkMeasuredFlips(flips);
        std::vector<double> intervals(static_cast<std::size_t>(flips));
        Clock previous;
        for (int i = 0; i < unjudgedSwaps; ++i) {
            lastSwapStart.update();
            previous = swapFor(swap).value_or(Clock());
        }
        for (double& interval : intervals) {
            lastSwapStart.update();
            const std::optional<Clock> presented = swapFor(swap);
            lastSwapEnd.update();
            lastOnset = presented.value_or(lastSwapEnd);
            interval = (lastOnset - previous).milliseconds();
            previous = lastOnset;
        }
        lastFlipFrames = 1;
        const double median = lockedRefreshInterval(std::move(intervals));
        if (median <= 0.0)
            return 0.0;
        frameDuration = median;
        measuredRefreshRate = 1000.0 / median;
        return measuredRefreshRate;
    }

    /// Refresh periods asked for by the counted flips, as of the last judged one.
    int framesRequested = 0;
    /// Refresh periods missed by the judged flips.
    int framesDropped = 0;
    /// framesRequested plus framesDropped: the periods the counted flips took.
    int framesElapsed = 0;
    /// Periods missed by the last judged flip; -1 where its swap came too early.
    int lastDropped = 0;
    /// Judged flips that missed periods or came too early.
    int dropEvents = 0;
    /// When the last swap returned.
    Clock lastSwapEnd;
    /// When the last swap began, after its wait: the next wait counts from here.
    Clock lastSwapStart;
    /// The frame count of the last swap, which sets the next wait; 0 after a reset.
    int lastFlipFrames = 0;
    /// Switches the frame counters on; off after opening and after a reset.
    bool countFrames = false;
    /// Whether a counted swap has armed the counters, so that the next is judged.
    bool countingArmed = false;
    /// Makes flip draw a panel at the top right: frames dropped (red), frames
    /// elapsed (white) and the last frame interval in whole ms (red after a drop,
    /// cyan when longer than a period, else white). Off after a reset.
    bool showFrameOverlay = false;
    /// Milliseconds between the ends of the last two swaps, which the counters judge.
    double lastFrameInterval = 0.0;
    /// The refresh period in ms that swaps are paced and judged by: 1000 / the
    /// canvas's refreshRate after opening, the median of a locked measureRefresh after.
    double frameDuration = 0.0;
    /// Running sum of the periods asked for by counted swaps, the arming one included.
    int requestedTotal = 0;
    /// Running sum of the periods missed; framesDropped copies it.
    int droppedTotal = 0;
    /// The last judgement, as lastDropped.
    int droppedLast = 0;
    /// The onset of the last frame: the presentation stamp, else the swap's end.
    Clock lastOnset;
    double measuredRefreshRate = 0.0; ///< measureRefresh's rate in Hz; 0: never measured, or no retrace found

private:
    template <typename Swap>
    static std::optional<Clock> swapFor(Swap& swap) {
        if constexpr (std::is_void_v<decltype(swap())>) {
            swap();
            return std::nullopt;
        } else {
            return swap();
        }
    }

    static constexpr int unjudgedSwaps = 5;
    // Reserved ahead; grown only after a swap has been stamped.
    static constexpr std::size_t intervalReserve = 4096;
    bool recording_ = false;
    std::vector<double> intervals_;
    std::vector<int> intervalFrames_;
};

} // namespace Stimulark
