#include "support/ScriptedPlatform.hpp"

#include <algorithm>

namespace Stimulark {

ScriptedPlatform::ScriptedPlatform() {
    for (std::size_t i = 0; i < hardwareRamp.size(); ++i)
        hardwareRamp[i] = static_cast<std::uint16_t>((i % 256) * 257);
}

// Putting the desktop's mode back (no mode) always succeeds.
int ScriptedPlatform::changeDisplayMode(const DisplayMode* mode, std::uint32_t) {
    if (mode != nullptr && failDisplayMode)
        return DISP_CHANGE_FAILED;
    displaySwitched = mode != nullptr;
    return DISP_CHANGE_SUCCESSFUL;
}

bool ScriptedPlatform::makeCurrent(WindowHandle, ContextHandle context) {
    if (context != 0 && failMakeCurrent)
        return false;
    currentContext = context;
    return true;
}

bool ScriptedPlatform::getGammaRamp(WindowHandle, std::uint16_t* ramp) {
    ++gammaReads;
    if (!failGetGamma)
        std::copy(hardwareRamp.begin(), hardwareRamp.end(), ramp);
    return !failGetGamma;
}

bool ScriptedPlatform::setGammaRamp(WindowHandle, const std::uint16_t* ramp) {
    ++gammaWrites;
    if (!failSetGamma)
        std::copy(ramp, ramp + hardwareRamp.size(), hardwareRamp.begin());
    return !failSetGamma;
}

void ScriptedPlatform::swapBuffers(WindowHandle) {
    ++swaps;
    std::int64_t shown = counter;
    if (retracePeriod > 0) {
        const auto nextRetrace = [this](std::int64_t t) { return (t / retracePeriod + 1) * retracePeriod; };
        if (swapIntervalSetting == 0) {
            shown = nextRetrace(counter);
        } else if (swapModel == SwapModel::retrace) {
            counter = shown = nextRetrace(counter);
        } else {
            counter = std::max(counter, lastShown);
            shown = nextRetrace(counter);
        }
    }
    lastShown = shown;
    counter += swapTicks;
    for (Answer& held : answers_)
        if (std::exchange(held.waitingForSwap, false))
            held.availableAt = std::max(held.availableAt, counter);
    if (requestedSources_ & presentationFeedback)
        answer(feedback, presentationFeedback, shown);
    if (requestedSources_ & compositorRepaint)
        answer(repaint, compositorRepaint, shown);
    requestedSources_ = 0;
}

void ScriptedPlatform::answer(const ReportScript& script, PresentationSource source, std::int64_t shown) {
    if (script.silent && script.silent(swaps))
        return;
    Answer answer;
    answer.report.swap = requestedSwap_;
    answer.report.source = source;
    answer.report.ticks = shown + (script.skew ? script.skew(swaps) : 0);
    if (source == compositorRepaint) {
        // Whole milliseconds, as frame callbacks give them.
        const std::int64_t millisecond = frequency / 1000;
        answer.report.ticks = answer.report.ticks / millisecond * millisecond + millisecond / 2;
        answer.report.wholeMilliseconds = true;
    } else if (retracePeriod > 0) {
        answer.report.retrace = static_cast<std::uint64_t>(shown / retracePeriod);
    }
    answer.availableAt = shown + script.delay;
    answer.waitingForSwap = script.afterNextSwap;
    answer.onlyWhenWaited = script.onlyWhenWaited;
    if (source == presentationFeedback && script.discarded && script.discarded(swaps)) {
        answer.report.shown = false;
        answer.waitingForSwap = true; // a frame is replaced by the next one
    }
    answers_.push_back(answer);
}

unsigned ScriptedPlatform::requestPresentationReports(WindowHandle, std::uint64_t swap, unsigned sources) {
    const unsigned offered = (feedback.offered ? presentationFeedback : 0u) | (repaint.offered ? compositorRepaint : 0u);
    requestedSwap_ = swap;
    requestedSources_ = windowHidden ? 0u : sources & offered;
    asked.push_back(requestedSources_);
    return requestedSources_;
}

// Waiting is simulated: with nothing to take, the counter jumps to the next answer,
// or to the deadline.
std::size_t ScriptedPlatform::takePresentationReports(WindowHandle, PresentationReport* out, std::size_t max,
                                                      std::int64_t deadline) {
    const bool waits = deadline > counter;
    const auto ready = [this, waits](const Answer& a) {
        return !a.waitingForSwap && a.availableAt <= counter && (waits || !a.onlyWhenWaited);
    };
    if (std::none_of(answers_.begin(), answers_.end(), ready) && waits) {
        std::int64_t next = deadline;
        for (const Answer& a : answers_)
            if (!a.waitingForSwap)
                next = std::min(next, a.availableAt);
        counter = std::max(counter, next);
    }
    std::stable_sort(answers_.begin(), answers_.end(),
                     [](const Answer& a, const Answer& b) { return a.availableAt < b.availableAt; });
    std::vector<PresentationReport> taken;
    for (auto a = answers_.begin(); a != answers_.end() && taken.size() < max;)
        if (ready(*a)) {
            taken.push_back(a->report);
            a = answers_.erase(a);
        } else {
            ++a;
        }
    if (reportsNewestFirst)
        std::reverse(taken.begin(), taken.end());
    std::copy(taken.begin(), taken.end(), out);
    return taken.size();
}

void ScriptedPlatform::pumpInputEvents() {
    for (KeyRecord key : std::exchange(pendingKeys, {})) {
        if (stampWhenTaken)
            key.ticks = counterValue();
        keyLog().push(key);
    }
    for (ButtonRecord button : std::exchange(pendingButtons, {})) {
        if (stampWhenTaken)
            button.ticks = counterValue();
        buttonLog().push(button);
    }
}

void ScriptedPlatform::queueKey(std::uint8_t virtualKey, bool down, bool alt) {
    const std::uint32_t code = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    postMessage({0, code, virtualKey, 0, 0});
}

} // namespace Stimulark
