#pragma once

#include "stimulark/platform/Presentation.hpp"

#include <cstdint>
#include <initializer_list>

namespace Stimulark {

// What an onset is taken from, from the least to the most exact.
enum class OnsetSource : std::uint8_t { swapCompletion, compositorRepaint, presentationFeedback };

// "swap completion", "compositor repaint" or "presentation feedback".
const char* onsetSourceName(OnsetSource source);

// What is known of one swap and of when its frame was shown. Counter ticks.
struct FrameStamps {
    std::uint64_t swap = 0; // the identity it was swapped under; 0 for none
    std::int64_t swapStart = 0;
    std::int64_t swapEnd = 0;
    std::int64_t repaint = 0;
    std::int64_t presented = 0;
    std::uint64_t retrace = 0; // the display's frame counter when presented; 0 unknown
    int frames = 0;            // the periods its flip asked it to stay
    std::uint8_t asked = 0;    // PresentationSource bits asked for
    std::uint8_t known = 0;    // PresentationSource bits with a stamp
    bool discarded = false;    // replaced before it was ever shown

    bool has(OnsetSource source) const {
        return source == OnsetSource::swapCompletion || (known & bitOf(source)) != 0;
    }
    std::int64_t at(OnsetSource source) const {
        return source == OnsetSource::presentationFeedback ? presented
               : source == OnsetSource::compositorRepaint  ? repaint
                                                           : swapEnd;
    }
    OnsetSource best() const {
        return has(OnsetSource::presentationFeedback) ? OnsetSource::presentationFeedback
               : has(OnsetSource::compositorRepaint)  ? OnsetSource::compositorRepaint
                                                      : OnsetSource::swapCompletion;
    }
    // Whether the report `source` was asked for has come, shown or not.
    bool answered(PresentationSource source) const {
        return (known & source) != 0 || (source == presentationFeedback && discarded);
    }
    static unsigned bitOf(OnsetSource source) {
        return source == OnsetSource::presentationFeedback ? presentationFeedback
               : source == OnsetSource::compositorRepaint  ? compositorRepaint
                                                           : 0u;
    }
};

// The most exact source both frames have: an interval is never taken between two
// sources, which differ by one to three frames on the stacks measured.
inline OnsetSource commonSource(const FrameStamps& a, const FrameStamps& b) {
    for (const OnsetSource source : {OnsetSource::presentationFeedback, OnsetSource::compositorRepaint})
        if (a.has(source) && b.has(source))
            return source;
    return OnsetSource::swapCompletion;
}

// One interval of the log, or of the counters: from the onset of the frame held on
// the display to the onset of the next one shown.
struct FrameJudgement {
    double intervalMs = 0.0; // NaN for a frame never shown
    int heldFrames = 0;      // the periods the held frame was asked to stay
    int dropped = 0;
    OnsetSource source = OnsetSource::swapCompletion;
};

// `held` is the last frame shown before `shown`; `skipped` the periods asked for by
// frames in between that were never shown (each counted as dropped on its own).
// Whole periods come from the display's frame counter where both frames carry one,
// else from the interval rounded to whole frame durations. Where no retrace is known
// (`retraceKnown` false and swap completion on both sides) an early frame counts no
// negative drop: swaps then return at once.
FrameJudgement judgeFrame(const FrameStamps& held, const FrameStamps& shown, int skipped, double frameDurationMs,
                          bool retraceKnown);

// The judgement of a frame never shown: no interval, its own periods dropped.
FrameJudgement judgeDiscarded(const FrameStamps& held, const FrameStamps& discarded);

} // namespace Stimulark
