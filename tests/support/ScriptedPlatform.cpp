#include "support/ScriptedPlatform.hpp"

#include <algorithm>

namespace Stimulark {

ScriptedPlatform::ScriptedPlatform() {
    for (std::size_t i = 0; i < hardwareRamp.size(); ++i)
        hardwareRamp[i] = static_cast<std::uint16_t>((i % 256) * 257);
}

void ScriptedPlatform::exitProcess(int code) { throw ProcessExit{code}; }

std::int64_t ScriptedPlatform::counterValue() {
    const std::int64_t value = counter;
    counter += counterStep;
    return value;
}

void ScriptedPlatform::showNotification(const char* caption, const char* text) {
    notifications.emplace_back(caption, text);
}

int ScriptedPlatform::changeDisplayMode(const DisplayMode* mode, std::uint32_t) {
    if (mode == nullptr) {
        displaySwitched = false;
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (failDisplayMode)
        return DISP_CHANGE_FAILED;
    displaySwitched = true;
    return DISP_CHANGE_SUCCESSFUL;
}

ScreenPoint ScriptedPlatform::screenSize() {
    return {static_cast<int>(display.width), static_cast<int>(display.height)};
}

WindowHandle ScriptedPlatform::createNativeWindow(std::uint32_t, const char*, std::uint32_t, int, int, int,
                                                  int) {
    if (failWindow)
        return 0;
    ++openWindows;
    return nextHandle_++;
}

bool ScriptedPlatform::setPixelFormat(WindowHandle, const PixelFormatDescriptor& request) {
    lastPixelFormat = request;
    return !failPixelFormat;
}

ContextHandle ScriptedPlatform::createContext(WindowHandle) {
    if (failContext)
        return 0;
    ++liveContexts;
    return 0x5000 + static_cast<ContextHandle>(liveContexts);
}

bool ScriptedPlatform::makeCurrent(WindowHandle, ContextHandle context) {
    if (context != 0 && failMakeCurrent)
        return false;
    currentContext = context;
    return true;
}

void ScriptedPlatform::deleteContext(ContextHandle context) {
    if (context != 0)
        --liveContexts;
}

bool ScriptedPlatform::getGammaRamp(WindowHandle, std::uint16_t* ramp) {
    ++gammaReads;
    if (failGetGamma)
        return false;
    std::copy(hardwareRamp.begin(), hardwareRamp.end(), ramp);
    return true;
}

bool ScriptedPlatform::setGammaRamp(WindowHandle, const std::uint16_t* ramp) {
    ++gammaWrites;
    if (failSetGamma)
        return false;
    std::copy(ramp, ramp + hardwareRamp.size(), hardwareRamp.begin());
    return true;
}

void ScriptedPlatform::swapBuffers(WindowHandle) {
    ++swaps;
    if (retracePeriod <= 0 || swapIntervalSetting == 0)
        return;
    lastRetrace = (counter / retracePeriod + 1) * retracePeriod;
    counter = lastRetrace;
}

bool ScriptedPlatform::setSwapInterval(WindowHandle, int interval) {
    if (refuseSwapInterval)
        return false;
    swapIntervalSetting = interval;
    return true;
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
    for (const KeyRecord& key : pendingKeys)
        keyLog().push(key);
    for (const ButtonRecord& button : pendingButtons)
        buttonLog().push(button);
    pendingKeys.clear();
    pendingButtons.clear();
}

void ScriptedPlatform::queueKey(std::uint8_t virtualKey, bool down, bool alt) {
    Message message;
    message.code = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    message.wParam = virtualKey;
    postMessage(message);
}

} // namespace Stimulark
