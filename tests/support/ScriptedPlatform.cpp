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
    if (retracePeriod > 0 && swapIntervalSetting != 0)
        counter = lastRetrace = (counter / retracePeriod + 1) * retracePeriod;
}

bool ScriptedPlatform::presentationTime(WindowHandle, std::int64_t& ticks) {
    if (!reportsPresentation || retracePeriod <= 0 || swapIntervalSetting == 0)
        return false;
    ticks = lastRetrace;
    return true;
}

const char* ScriptedPlatform::onsetSource(WindowHandle) {
    return reportsPresentation && retracePeriod > 0 ? "simulated retrace" : "swap completion";
}

void ScriptedPlatform::pumpInputEvents() {
    for (const KeyRecord& key : std::exchange(pendingKeys, {}))
        keyLog().push(key);
    for (const ButtonRecord& button : std::exchange(pendingButtons, {}))
        buttonLog().push(button);
}

void ScriptedPlatform::queueKey(std::uint8_t virtualKey, bool down, bool alt) {
    const std::uint32_t code = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    postMessage({0, code, virtualKey, 0, 0});
}

} // namespace Stimulark
