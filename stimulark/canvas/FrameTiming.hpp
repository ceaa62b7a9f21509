#pragma once

#include "stimulark/platform/Clock.hpp"

#include <climits>
#include <cmath>

namespace Stimulark {

// A refresh rate of 0 or 1 means the platform does not know it ("hardware
// default"); pacing then assumes 60 Hz, since a zero rate would make every frame
// last forever.
constexpr double usableRefreshRate(double reported) { return reported > 1.0 ? reported : 60.0; }

// Refresh periods missed by a frame meant to stay `frames` periods whose swap came
// intervalMs after the previous one. The 1 ms tolerance makes an interval of
// exactly frames periods count as on time; a too-early swap gives -1.
inline int droppedFrames(double intervalMs, int frames, double frameDurationMs) {
    const double dropped = std::floor(((intervalMs - 1.0) - (frames - 1) * frameDurationMs) / frameDurationMs);
    // A program paused for weeks, or a flip asked to last for years, must not
    // overflow the count either way.
    return dropped < 1.0e9 ? (dropped > -1.0e9 ? static_cast<int>(dropped) : -1'000'000'000) : 1'000'000'000;
}

// a + b, held at the ends of int instead of wrapping.
constexpr int saturatingAdd(int a, int b) {
    const long long sum = static_cast<long long>(a) + b;
    return sum > INT_MAX ? INT_MAX : (sum < INT_MIN ? INT_MIN : static_cast<int>(sum));
}

// The pacing and frame statistics of a canvas, kept apart from OpenGL so that any
// clock can drive them.
class FrameTiming {
public:
    // Statistics zero, switches off, unarmed, both swap stamps taken now. The frame
    // duration stays: it belongs to the display, and pacing needs it.
    void resetFrameStatistics();
    // Milliseconds the coming swap waits after the previous one began.
    double waitTarget() const { return lastFlipFrames > 1 ? lastFlipFrames * frameDuration : 0.1 * frameDuration; }
    // Spins on the clock (no sleep, no messages) until the target has passed.
    void waitForSwap() const;
    // The swap of a flip: waits until it is due, stamps its start right before the
    // swap, swaps, and records.
    template <typename Swap>
    void swapWhenDue(int frames, Swap swap) {
        waitForSwap();
        lastSwapStart.update();
        swap();
        recordSwap(frames);
    }
    // The bookkeeping right after a swap: interval, and with counting on the
    // dropped frames; the first counted swap only arms the counting. The totals
    // saturate rather than wrap.
    void recordSwap(int frames);

    int framesRequested = 0;
    int framesDropped = 0;
    int framesElapsed = 0;
    int lastDropped = 0;
    int dropEvents = 0;
    Clock lastSwapEnd;
    Clock lastSwapStart;
    int lastFlipFrames = 0;
    bool countFrames = false;
    bool countingArmed = false;
    bool showFrameOverlay = false;
    double lastFrameInterval = 0.0;
    double frameDuration = 0.0;
    int requestedTotal = 0;
    int droppedTotal = 0;
    int droppedLast = 0;
};

} // namespace Stimulark
