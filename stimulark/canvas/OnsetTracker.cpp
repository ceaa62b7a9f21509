#include "stimulark/canvas/OnsetTracker.hpp"

#include "stimulark/canvas/FrameDisplay.hpp"
#include "stimulark/platform/Clock.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace Stimulark {

namespace {

constexpr std::size_t logReserve = 4096;

std::int64_t ticksOf(double milliseconds) {
    return static_cast<std::int64_t>(milliseconds * static_cast<double>(Clock::ticksPerMillisecond));
}

const char* nameOf(unsigned source) {
    return onsetSourceName(source == presentationFeedback ? OnsetSource::presentationFeedback
                                                          : OnsetSource::compositorRepaint);
}

void merge(FrameStamps& frame, const PresentationReport& report) {
    if (!report.shown) {
        frame.discarded = true;
        return;
    }
    if (report.source == presentationFeedback) {
        frame.presented = report.ticks;
        frame.retrace = report.retrace;
    } else {
        frame.repaint = report.ticks;
    }
    frame.known |= static_cast<std::uint8_t>(report.source);
}

} // namespace

OnsetTracker::OnsetTracker() { outside_.reserve(16); }

unsigned OnsetTracker::wanted(int swapInterval) const {
    unsigned sources = 0;
    if (swapInterval == 1 && !stateOf(compositorRepaint).dropped)
        sources |= compositorRepaint;
    if (feedbackAsked_ && !stateOf(presentationFeedback).dropped)
        sources |= presentationFeedback;
    return sources;
}

void OnsetTracker::record(const FrameStamps& stamps) {
    FrameStamps& slot = (stamps.swap & internalSwap) != 0 ? other_[(stamps.swap & ~internalSwap) % other_.size()]
                                                          : program_[stamps.swap % program_.size()];
    slot = stamps;
    last_ = stamps.swap;
    if ((stamps.asked & presentationFeedback) == 0)
        return;
    // A full list forgets its oldest: only swaps made faster than any display shows
    // them can fill it.
    if (pendingCount_ == pendingFeedback_.size()) {
        pendingHead_ = (pendingHead_ + 1) % pendingFeedback_.size();
        --pendingCount_;
    }
    pendingFeedback_[(pendingHead_ + pendingCount_++) % pendingFeedback_.size()] = stamps.swap;
}

FrameStamps* OnsetTracker::find(std::uint64_t swap) {
    return const_cast<FrameStamps*>(static_cast<const OnsetTracker&>(*this).find(swap));
}

const FrameStamps* OnsetTracker::find(std::uint64_t swap) const {
    if (swap == 0)
        return nullptr;
    const FrameStamps& slot = (swap & internalSwap) != 0 ? other_[(swap & ~internalSwap) % other_.size()]
                                                         : program_[swap % program_.size()];
    return slot.swap == swap ? &slot : nullptr;
}

void OnsetTracker::takeIn(FrameDisplay& display, std::int64_t deadline, double frameDurationMs) {
    PresentationReport reports[16];
    std::size_t taken = display.takeReports(reports, std::size(reports), deadline);
    for (;;) {
        const std::int64_t now = Clock().ticks;
        for (std::size_t i = 0; i < taken; ++i)
            apply(reports[i], now);
        if (taken < std::size(reports))
            break;
        taken = display.takeReports(reports, std::size(reports), 0);
    }
    expireFeedback(Clock().ticks, frameDurationMs);
}

void OnsetTracker::apply(const PresentationReport& report, std::int64_t now) {
    const unsigned source = report.source == presentationFeedback ? presentationFeedback : compositorRepaint;
    SourceState& state = stateOf(sources_, source);
    FrameStamps* frame = find(report.swap);
    if (state.dropped || frame == nullptr)
        return;
    if (source == presentationFeedback)
        silentStreak_ = 0; // a late answer is an answer too
    if (report.shown) {
        const char* why = nullptr;
        if (!sane(state, *frame, report, now, why)) {
            dropSource(source, why);
            return;
        }
        if (source == presentationFeedback)
            feedbackProven_ = true;
    } else if (source != presentationFeedback) {
        return;
    }
    everyCopyOf(report.swap, [&report](FrameStamps& copy) { merge(copy, report); });
}

// Like the peers' start-up checks: a stamp on another clock, or one that runs
// backwards or before its own swap, would make every onset after it wrong.
bool OnsetTracker::sane(SourceState& state, const FrameStamps& frame, const PresentationReport& report,
                        std::int64_t now, const char*& why) {
    if (state.checked >= checkedReports)
        return true;
    const std::int64_t second = 1000 * Clock::ticksPerMillisecond;
    const std::int64_t slack = report.wholeMilliseconds ? Clock::ticksPerMillisecond : 0;
    if (std::llabs(report.ticks - now) > second)
        why = "a stamp more than 1 s from the clock";
    else if (report.ticks < frame.swapStart - slack)
        why = "a frame shown before its swap";
    else if (state.checked > 0 && (frame.swapStart > state.lastStart ? report.ticks < state.lastTicks
                                                                     : report.ticks > state.lastTicks))
        why = "stamps running backwards";
    if (why != nullptr)
        return false;
    if (state.checked++ == 0 || frame.swapStart > state.lastStart) {
        state.lastStart = frame.swapStart;
        state.lastTicks = report.ticks;
    }
    return true;
}

void OnsetTracker::dropSource(unsigned source, const char* why) {
    stateOf(sources_, source).dropped = true;
    const auto forget = [source](FrameStamps& frame) {
        frame.known &= static_cast<std::uint8_t>(~source);
        if (source == presentationFeedback)
            frame.retrace = 0;
    };
    for (FrameStamps& frame : program_)
        forget(frame);
    for (FrameStamps& frame : other_)
        forget(frame);
    for (LoggedFrame& entry : log_)
        forget(entry.stamps);
    for (FrameStamps& frame : outside_)
        forget(frame);
    std::fprintf(stderr, "Stimulark::Canvas: %s failed its check (%s); onsets on this canvas no longer use it.\n",
                 nameOf(source), why);
}

void OnsetTracker::expireFeedback(std::int64_t now, double frameDurationMs) {
    const std::int64_t bound = ticksOf(silenceBound * frameDurationMs);
    while (pendingCount_ > 0 && feedbackAsked_) {
        const FrameStamps* frame = find(pendingFeedback_[pendingHead_]);
        if (frame != nullptr && !frame->answered(presentationFeedback)) {
            if (now - frame->swapEnd <= bound)
                break;
            if (++silentStreak_ >= silenceLimit)
                feedbackAsked_ = false;
        }
        pendingHead_ = (pendingHead_ + 1) % pendingFeedback_.size();
        --pendingCount_;
    }
}

unsigned OnsetTracker::awaited(const FrameStamps& frame, int swapInterval) const {
    if (swapInterval != 1)
        return 0;
    // Feedback not yet proven is waited for only where there is no repaint to wait for
    // instead: GLX answers only a flip that waits.
    const SourceState& feedback = stateOf(presentationFeedback);
    if ((feedbackProven_ || (frame.asked & compositorRepaint) == 0) && feedback.waitedFor && !feedback.dropped &&
        (frame.asked & presentationFeedback) != 0)
        return presentationFeedback;
    const SourceState& repaint = stateOf(compositorRepaint);
    if (repaint.waitedFor && !repaint.dropped && (frame.asked & compositorRepaint) != 0)
        return compositorRepaint;
    return 0;
}

bool OnsetTracker::await(FrameDisplay& display, std::uint64_t swap, int swapInterval, double frameDurationMs,
                         bool judged) {
    const FrameStamps* frame = find(swap);
    const unsigned source = frame != nullptr ? awaited(*frame, swapInterval) : 0;
    if (source == 0)
        return true;
    const std::int64_t deadline = frame->swapEnd + ticksOf(reportBound * frameDurationMs);
    while (!frame->answered(static_cast<PresentationSource>(source)) && Clock().ticks < deadline &&
           !stateOf(source).dropped)
        takeIn(display, deadline, frameDurationMs);
    const bool inTime = frame->answered(static_cast<PresentationSource>(source)) || stateOf(source).dropped;
    if (!judged)
        return true;
    SourceState& state = stateOf(sources_, source);
    state.lateStreak = inTime ? 0 : state.lateStreak + 1;
    if (state.lateStreak >= lateLimit && state.waitedFor) {
        state.waitedFor = false;
        std::fprintf(stderr,
                     "Stimulark::Canvas: %s came too late for %d flips in a row; flip no longer waits for it on "
                     "this canvas.\n",
                     nameOf(source), lateLimit);
    }
    return inTime;
}

template <typename Change>
void OnsetTracker::everyCopyOf(std::uint64_t swap, Change change) {
    if (FrameStamps* frame = find(swap))
        change(*frame);
    if ((swap & internalSwap) == 0 && swap >= logFirst_ && swap - logFirst_ < log_.size())
        change(log_[swap - logFirst_].stamps);
    // Held frames outside the log: its first, and any after a refresh measurement.
    for (std::size_t i = outside_.size(); i-- > 0 && i + 4 >= outside_.size();)
        if (outside_[i].swap == swap)
            change(outside_[i]);
}

void OnsetTracker::recordLog(bool on) {
    recording_ = on;
    if (!on)
        return;
    log_.clear();
    outside_.clear();
    log_.reserve(logReserve);
    logFirst_ = flips_ + 1;
}

void OnsetTracker::logFlip(const FrameStamps& flip, const FrameStamps& held) {
    if (!recording_)
        return;
    LoggedFrame entry{flip, -1};
    if (log_.empty() || log_.back().stamps.swap != held.swap) {
        entry.heldOutside = static_cast<std::int32_t>(outside_.size());
        outside_.push_back(held);
    }
    log_.push_back(entry);
    // The next flip must find room: grow now, after this one has been stamped.
    if (log_.size() == log_.capacity())
        log_.reserve(2 * log_.capacity());
}

std::vector<FrameJudgement> OnsetTracker::logJudgements(double frameDurationMs, bool retraceKnown) const {
    std::vector<FrameJudgement> judgements;
    judgements.reserve(log_.size());
    const FrameStamps* held = nullptr;
    int skipped = 0;
    for (const LoggedFrame& entry : log_) {
        if (entry.heldOutside >= 0) {
            held = &outside_[static_cast<std::size_t>(entry.heldOutside)];
            skipped = 0;
        }
        const FrameStamps& flip = entry.stamps;
        if (flip.discarded) {
            judgements.push_back(judgeDiscarded(*held, flip));
            skipped = static_cast<int>(std::min<long long>(static_cast<long long>(skipped) + flip.frames, INT_MAX));
            continue;
        }
        judgements.push_back(judgeFrame(*held, flip, skipped, frameDurationMs, retraceKnown));
        held = &flip;
        skipped = 0;
    }
    return judgements;
}

} // namespace Stimulark
