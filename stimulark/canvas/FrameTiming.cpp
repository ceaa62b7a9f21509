#include "stimulark/canvas/FrameTiming.hpp"

#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"

#include <algorithm>

namespace Stimulark {

void FrameTiming::resetFrameStatistics() {
    framesRequested = 0;
    framesDropped = 0;
    framesElapsed = 0;
    lastDropped = 0;
    dropEvents = 0;
    requestedTotal = 0;
    droppedTotal = 0;
    droppedLast = 0;
    lastFlipFrames = 0;
    lastFrameInterval = 0.0;
    lastSwapEnd.update();
    lastSwapStart.update();
    lastOnset = lastSwapEnd;
    countFrames = false;
    countingArmed = false;
    showFrameOverlay = false;
}

void FrameTiming::waitForSwap() const {
    const double target = waitTarget();
    Clock now;
    do
        now.update();
    while ((now - lastSwapStart).milliseconds() < target);
}

void FrameTiming::recordSwap(int frames, std::optional<Clock> presented) {
    lastFlipFrames = frames;
    const Clock now;
    lastFrameInterval = (now - lastSwapEnd).milliseconds();
    lastSwapEnd = now;
    const Clock onset = presented.value_or(now);
    if (recording_) {
        intervals_.push_back((onset - lastOnset).milliseconds());
        intervalFrames_.push_back(frames);
        // The next swap must find room: grow now, after this one has been stamped.
        if (intervals_.size() == intervals_.capacity()) {
            intervals_.reserve(2 * intervals_.capacity());
            intervalFrames_.reserve(intervals_.capacity());
        }
    }
    lastOnset = onset;
    if (!countFrames)
        return;
    requestedTotal = saturatingAdd(requestedTotal, frames);
    if (!countingArmed) {
        countingArmed = true;
        return;
    }
    const int dropped = droppedFrames(lastFrameInterval, lastFlipFrames, frameDuration);
    droppedLast = dropped;
    droppedTotal = saturatingAdd(droppedTotal, dropped);
    framesRequested = requestedTotal;
    framesDropped = droppedTotal;
    if (dropped != 0)
        dropEvents = saturatingAdd(dropEvents, 1);
    framesElapsed = saturatingAdd(droppedTotal, requestedTotal);
    lastDropped = dropped;
}

void FrameTiming::recordFrameIntervals(bool on) {
    recording_ = on;
    if (!on)
        return;
    intervals_.clear();
    intervalFrames_.clear();
    intervals_.reserve(intervalReserve);
    intervalFrames_.reserve(intervalReserve);
}

void checkMeasuredFlips(int flips) {
    if (flips < 3 || flips > 100000)
        throw Exception(typeid(Canvas), "ARGUMENT ERROR", "the number of flips must lie between 3 and 100000.");
}

double lockedRefreshInterval(std::vector<double> intervalsMs) {
    if (intervalsMs.empty())
        return 0.0;
    const std::size_t middle = intervalsMs.size() / 2;
    std::nth_element(intervalsMs.begin(), intervalsMs.begin() + static_cast<std::ptrdiff_t>(middle),
                     intervalsMs.end());
    double median = intervalsMs[middle];
    if (intervalsMs.size() % 2 == 0)
        median = (median + *std::max_element(intervalsMs.begin(), intervalsMs.begin() +
                                                                       static_cast<std::ptrdiff_t>(middle))) / 2.0;
    if (!(median >= 2.5 && median <= 50.0))
        return 0.0;
    const auto near = std::count_if(intervalsMs.begin(), intervalsMs.end(),
                                    [median](double interval) { return std::abs(interval - median) <= 0.05 * median; });
    return 10 * static_cast<std::size_t>(near) >= 9 * intervalsMs.size() ? median : 0.0;
}

} // namespace Stimulark
