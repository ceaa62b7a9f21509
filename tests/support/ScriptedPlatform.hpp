#pragma once

#include "stimulark/platform/Platform.hpp"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Stimulark {

// A backend without a display, driven by a script: tests queue messages, set key
// bytes, steer the counter and make any platform call fail. Windows and contexts
// are bookkeeping only; no pixels are drawn.
class ScriptedPlatform : public Platform {
public:
    // Thrown by exitProcess so that a test can see the exit without ending.
    struct ProcessExit {
        int code;
    };

    ScriptedPlatform();

    void setNormalPriority() override {}
    std::uint64_t currentThreadId() override { return 1; }
    [[noreturn]] void exitProcess(int code) override { throw ProcessExit{code}; }
    std::int64_t counterFrequency() override { return frequency; }
    std::int64_t counterValue() override { return std::exchange(counter, counter + counterStep); }
    void showNotification(const char* caption, const char* text) override {
        notifications.emplace_back(caption, text);
    }
    std::string executablePath() override { return exePath; }
    std::optional<UserFolders> userFolders() override { return folders; }
    ScreenPoint cursorPosition() override { return cursor; }
    DisplayMode currentDisplayMode() override { return display; }
    int changeDisplayMode(const DisplayMode* mode, std::uint32_t flags) override;
    ScreenPoint screenSize() override { return {static_cast<int>(display.width), static_cast<int>(display.height)}; }
    void showCursor(bool show) override { cursorVisible = show; }
    void showWindow(WindowHandle, int) override {}
    bool setPixelFormat(WindowHandle, const PixelFormatDescriptor&) override { return !failPixelFormat; }
    ContextHandle createContext(WindowHandle) override {
        return failContext ? 0 : 0x5000 + static_cast<ContextHandle>(++liveContexts);
    }
    bool makeCurrent(WindowHandle window, ContextHandle context) override;
    void deleteContext(ContextHandle context) override { liveContexts -= context != 0; }
    // With a retrace period and a swap interval of 1, a swap returns at the next
    // multiple of the period on the counter, as a display's retrace would make it.
    void swapBuffers(WindowHandle) override;
    bool setSwapInterval(WindowHandle, int interval) override {
        swapIntervalSetting = interval;
        return true;
    }
    int swapInterval(WindowHandle) override { return swapIntervalSetting; }
    bool presentationTime(WindowHandle, std::int64_t& ticks) override;
    const char* onsetSource(WindowHandle) override;
    void pumpInputEvents() override;
    bool getGammaRamp(WindowHandle window, std::uint16_t* ramp) override;
    bool setGammaRamp(WindowHandle window, const std::uint16_t* ramp) override;

    // Script.
    void queue(const Message& message) { postMessage(message); }
    void queueKey(std::uint8_t virtualKey, bool down, bool alt = false);
    void setKey(std::uint8_t virtualKey, std::uint8_t value) { setKeyByte(virtualKey, value); }
    // Input waiting in the "window system" until the next pump takes it into the logs.
    std::vector<KeyRecord> pendingKeys;
    std::vector<ButtonRecord> pendingButtons;

    std::int64_t retracePeriod = 0; // counter ticks; 0: no retrace
    int swapIntervalSetting = 1;
    bool reportsPresentation = false; // onsets from the retrace instead of the swap's return
    std::int64_t lastRetrace = 0;

    std::int64_t frequency = 1'000'000'000;
    std::int64_t counter = 0;
    std::int64_t counterStep = 0; // added after every read, so busy waits end
    std::optional<UserFolders> folders =
        UserFolders{"/home/scripted", "/home/scripted/.config", "/home/scripted/Documents"};
    std::string exePath = "/opt/scripted/bin/program";
    ScreenPoint cursor;
    DisplayMode display{156, 0x5C0000, 32, 1024, 768, 60};

    bool failDisplayMode = false, failWindow = false, failPixelFormat = false, failContext = false;
    bool failMakeCurrent = false, failGetGamma = false, failSetGamma = false;

    // What the program did.
    std::vector<std::pair<std::string, std::string>> notifications;
    int swaps = 0, openWindows = 0, liveContexts = 0, gammaReads = 0, gammaWrites = 0;
    bool cursorVisible = true, displaySwitched = false;
    ContextHandle currentContext = 0;
    std::array<std::uint16_t, 768> hardwareRamp{};

protected:
    void pollEvents() override { pumpInputEvents(); }
    WindowHandle createNativeWindow(std::uint32_t, const char*, std::uint32_t, int, int, int, int) override {
        return failWindow ? 0 : (++openWindows, nextHandle_++);
    }
    void destroyNativeWindow(WindowHandle) override { --openWindows; }

private:
    WindowHandle nextHandle_ = 0x100;
};

} // namespace Stimulark
