#include "stimulark/canvas/FrameTiming.hpp"

#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/canvas/FrameDisplay.hpp"
#include "stimulark/canvas/OnsetTracker.hpp"
#include "stimulark/core/Exception.hpp"

#include <algorithm>

namespace Stimulark {

namespace {

constexpr int unjudgedSwaps = 5;

} // namespace

FrameTiming::FrameTiming() : tracker_(std::make_unique<OnsetTracker>()) {}

FrameTiming::~FrameTiming() = default;

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
    origin_ = lastSwapEnd;
    countFrames = false;
    countingArmed = false;
    showFrameOverlay = false;
    paced_ = false;
}

// The frame on the display stays its count of periods. Where the display reported
// when it was shown, the swap goes half a period before the retrace it must wait
// for, so that the commit lands in the right period whatever the swap itself
// waits for. Otherwise it counts from that frame's swap, leaving the last
// period to a swap in step with the retrace.
void FrameTiming::waitForSwap(int swapInterval) {
    const FrameStamps* held = tracker_->find(tracker_->lastSwap());
    if (held == nullptr)
        return;
    Clock base(held->swapStart);
    double target = held->frames > 1 ? held->frames * frameDuration : 0.1 * frameDuration;
    if (swapInterval == 1 && (held->has(OnsetSource::compositorRepaint) || held->has(OnsetSource::presentationFeedback))) {
        base = Clock(held->has(OnsetSource::compositorRepaint) ? held->repaint : held->presented);
        target = (held->frames - 0.5) * frameDuration;
    }
    Clock now;
    do
        now.update();
    while ((now - base).milliseconds() < target);
}

// Stamps the swap's start, asks for its reports, swaps, stamps its end, keeps it and
// takes in what has arrived.
FrameStamps FrameTiming::swapNow(int frames, FrameDisplay& display, int swapInterval, bool programFlip) {
    OnsetTracker& tracker = *tracker_;
    FrameStamps stamps;
    stamps.swap = tracker.nextSwap(programFlip);
    stamps.frames = frames;
    lastSwapStart.update();
    stamps.swapStart = lastSwapStart.ticks;
    stamps.asked = static_cast<std::uint8_t>(display.requestReports(stamps.swap, tracker.wanted(swapInterval)));
    display.swap();
    lastSwapEnd.update();
    stamps.swapEnd = lastSwapEnd.ticks;
    tracker.record(stamps);
    tracker.takeIn(display, 0, frameDuration);
    return stamps;
}

Clock FrameTiming::swapWhenDue(int frames, FrameDisplay& display, bool programFlip) {
    OnsetTracker& tracker = *tracker_;
    const int swapInterval = display.swapInterval();
    tracker.takeIn(display, 0, frameDuration);
    const std::uint64_t previous = tracker.lastSwap();
    if (paced_) {
        tracker.await(display, previous, swapInterval, frameDuration, false);
        waitForSwap(swapInterval);
    }
    const FrameStamps stamps = swapNow(frames, display, swapInterval, programFlip);
    if (onsetWait_ && !tracker.await(display, stamps.swap, swapInterval, frameDuration, true) && programFlip)
        lateOnsets_ = saturatingAdd(lateOnsets_, 1);

    const FrameStamps& frame = *tracker.find(stamps.swap);
    const OnsetSource source = frame.best();
    lastSource_ = static_cast<unsigned char>(source);
    lastOnset = Clock(frame.at(source));
    lastFlipFrames = frames;
    paced_ = true;
    if (programFlip) {
        judge(stamps.swap, previous);
    } else {
        judgedHeld_ = stamps.swap;
        skipped_ = 0;
    }
    return lastOnset;
}

void FrameTiming::judge(std::uint64_t flipSwap, std::uint64_t previous) {
    OnsetTracker& tracker = *tracker_;
    const FrameStamps& flip = *tracker.find(flipSwap);
    FrameStamps origin;
    origin.swapStart = origin.swapEnd = origin_.ticks;
    const FrameStamps* before = tracker.find(previous);
    tracker.logFlip(flip, before != nullptr ? *before : origin);

    const FrameStamps* held = tracker.find(judgedHeld_);
    const FrameStamps& from = held != nullptr ? *held : origin;
    const FrameJudgement judgement = flip.discarded ? judgeDiscarded(from, flip)
                                                    : judgeFrame(from, flip, skipped_, frameDuration, retraceKnown());
    if (flip.discarded) {
        skipped_ = saturatingAdd(skipped_, flip.frames);
    } else {
        lastFrameInterval = judgement.intervalMs;
        lastHeldFrames_ = judgement.heldFrames;
        judgedHeld_ = flip.swap;
        skipped_ = 0;
    }
    if (!countFrames)
        return;
    if (!countingArmed) {
        countingArmed = true;
        return;
    }
    if (!flip.discarded)
        requestedTotal = saturatingAdd(requestedTotal, judgement.heldFrames);
    droppedLast = judgement.dropped;
    droppedTotal = saturatingAdd(droppedTotal, judgement.dropped);
    framesRequested = requestedTotal;
    framesDropped = droppedTotal;
    if (judgement.dropped != 0)
        dropEvents = saturatingAdd(dropEvents, 1);
    framesElapsed = saturatingAdd(droppedTotal, requestedTotal);
    lastDropped = judgement.dropped;
}

double FrameTiming::measureRefresh(int flips, FrameDisplay& display) {
    checkMeasuredFlips(flips);
    OnsetTracker& tracker = *tracker_;
    std::vector<double> intervals(static_cast<std::size_t>(flips));
    const int swapInterval = display.swapInterval();
    Clock previous;
    for (int i = 0; i < unjudgedSwaps + flips; ++i) {
        swapNow(1, display, swapInterval, false);
        if (i >= unjudgedSwaps)
            intervals[static_cast<std::size_t>(i - unjudgedSwaps)] = (lastSwapEnd - previous).milliseconds();
        previous = lastSwapEnd;
    }
    // The last blank frame is the one on the display, for one period.
    lastOnset = lastSwapEnd;
    lastSource_ = static_cast<unsigned char>(OnsetSource::swapCompletion);
    lastFlipFrames = 1;
    paced_ = true;
    judgedHeld_ = tracker.lastSwap();
    skipped_ = 0;
    const double median = lockedRefreshInterval(std::move(intervals));
    if (median <= 0.0)
        return 0.0;
    frameDuration = median;
    measuredRefreshRate = 1000.0 / median;
    return measuredRefreshRate;
}

void FrameTiming::takeInReports(FrameDisplay& display) { tracker_->takeIn(display, 0, frameDuration); }

long long FrameTiming::flipCount() const { return tracker_->flipCount(); }

const char* FrameTiming::onsetSource() const { return onsetSourceName(static_cast<OnsetSource>(lastSource_)); }

const FrameStamps& FrameTiming::checkedFlip(long long flip) const {
    const long long count = tracker_->flipCount();
    if (flip <= 0 || flip > count || count - flip >= static_cast<long long>(OnsetTracker::flipsKept))
        throw Exception(typeid(Canvas), "ARGUMENT ERROR", "the flip must be one of the last 1024.");
    return *tracker_->find(static_cast<std::uint64_t>(flip));
}

Clock FrameTiming::onsetOfFlip(long long flip) const {
    const FrameStamps& frame = checkedFlip(flip);
    return Clock(frame.at(frame.best()));
}

const char* FrameTiming::onsetSourceOfFlip(long long flip) const {
    return onsetSourceName(checkedFlip(flip).best());
}

void FrameTiming::recordFrameIntervals(bool on) { tracker_->recordLog(on); }

std::vector<FrameJudgement> FrameTiming::frameIntervalJudgements() const {
    return tracker_->logJudgements(frameDuration, retraceKnown());
}

std::vector<double> FrameTiming::frameIntervals() const {
    std::vector<double> intervals;
    for (const FrameJudgement& judgement : frameIntervalJudgements())
        intervals.push_back(judgement.intervalMs);
    return intervals;
}

std::vector<int> FrameTiming::frameIntervalFrames() const {
    std::vector<int> frames;
    for (const FrameJudgement& judgement : frameIntervalJudgements())
        frames.push_back(judgement.heldFrames);
    return frames;
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
