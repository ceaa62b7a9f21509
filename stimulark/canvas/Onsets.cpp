#include "stimulark/canvas/Onsets.hpp"

#include "stimulark/canvas/FrameTiming.hpp"
#include "stimulark/platform/Clock.hpp"

#include <algorithm>
#include <limits>

namespace Stimulark {

const char* onsetSourceName(OnsetSource source) {
    switch (source) {
    case OnsetSource::presentationFeedback: return "presentation feedback";
    case OnsetSource::compositorRepaint: return "compositor repaint";
    default: return "swap completion";
    }
}

FrameJudgement judgeFrame(const FrameStamps& held, const FrameStamps& shown, int skipped, double frameDurationMs,
                          bool retraceKnown) {
    FrameJudgement judgement;
    judgement.source = commonSource(held, shown);
    judgement.heldFrames = held.frames;
    judgement.intervalMs = (Clock(shown.at(judgement.source)) - Clock(held.at(judgement.source))).milliseconds();
    const double asked = static_cast<double>(held.frames) + skipped;
    double dropped = 0.0;
    if (judgement.source == OnsetSource::presentationFeedback && held.retrace != 0 && shown.retrace != 0)
        dropped = static_cast<double>(static_cast<std::int64_t>(shown.retrace - held.retrace)) - asked;
    else
        dropped = droppedFrames(judgement.intervalMs, 0, frameDurationMs) - asked;
    if (!retraceKnown && judgement.source == OnsetSource::swapCompletion)
        dropped = std::max(dropped, 0.0);
    judgement.dropped = static_cast<int>(std::clamp(dropped, -1.0e9, 1.0e9));
    return judgement;
}

FrameJudgement judgeDiscarded(const FrameStamps& held, const FrameStamps& discarded) {
    FrameJudgement judgement;
    judgement.intervalMs = std::numeric_limits<double>::quiet_NaN();
    judgement.heldFrames = held.frames;
    judgement.dropped = discarded.frames;
    judgement.source = OnsetSource::presentationFeedback;
    return judgement;
}

} // namespace Stimulark
