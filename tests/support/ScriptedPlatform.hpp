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
    // With a retrace period, frames are shown at retraces (multiples of the period on
    // the counter), as swapModel says; see the script below.
    void swapBuffers(WindowHandle) override;
    bool setSwapInterval(WindowHandle, int interval) override {
        swapIntervalSetting = interval;
        return true;
    }
    int swapInterval(WindowHandle) override { return swapIntervalSetting; }
    unsigned requestPresentationReports(WindowHandle, std::uint64_t swap, unsigned sources) override;
    std::size_t takePresentationReports(WindowHandle, PresentationReport* out, std::size_t max,
                                        std::int64_t deadline) override;
    void pumpInputEvents() override;
    bool getGammaRamp(WindowHandle window, std::uint16_t* ramp) override;
    bool setGammaRamp(WindowHandle window, const std::uint16_t* ramp) override;

    using Platform::applyOldestInput;

    // Script.
    void queue(const Message& message) { postMessage(message); }
    void queueKey(std::uint8_t virtualKey, bool down, bool alt = false);
    void setKey(std::uint8_t virtualKey, std::uint8_t value) { setKeyByte(virtualKey, value); }
    // Input waiting in the "window system" until the next pump takes it into the logs.
    std::vector<KeyRecord> pendingKeys;
    std::vector<ButtonRecord> pendingButtons;
    bool stampWhenTaken = false; // as on Wayland, which gives no event time: stamped by the pump

    // The display. Without a retrace period a swap returns at once and its frame is
    // shown then. With one, at swap interval 1:
    //   retrace     the swap waits for the next retrace, where its frame is shown
    //               (a GL swap that blocks on the retrace);
    //   compositor  the swap waits for the repaint that showed the previous frame,
    //               then commits and returns; the frame shows at the next repaint
    //               (SDL's swap on Wayland).
    // At swap interval 0 the swap returns at once and its frame shows at the next
    // retrace.
    enum class SwapModel { retrace, compositor };
    SwapModel swapModel = SwapModel::retrace;
    std::int64_t retracePeriod = 0; // counter ticks; 0: no retrace
    std::int64_t swapTicks = 0;     // what a swap takes besides its wait
    int swapIntervalSetting = 1;
    std::int64_t lastShown = 0; // when the last swap's frame is shown

    // Reports of when frames were shown: what each source answers, and when.
    struct ReportScript {
        bool offered = false;
        std::int64_t delay = 0;    // ticks after the frame is shown until the answer can be taken
        bool afterNextSwap = false; // held back until the next swap too (a nested compositor)
        std::function<std::int64_t(int swap)> skew; // added to the swap-th stamp: another clock, or jitter
        std::function<bool(int swap)> silent;    // never answers the swap-th swap (from 1)
        std::function<bool(int swap)> discarded; // replaced before shown (feedback)
        bool onlyWhenWaited = false; // taken only by a take that may wait (GLX's, which cost a round trip)
    };
    ReportScript feedback, repaint;
    bool reportsNewestFirst = false; // answers taken together come out newest first
    bool windowHidden = false;       // nothing is asked: the swap will not reach the display
    std::vector<unsigned> asked;     // what each request asked, in order

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
    struct Answer {
        PresentationReport report;
        std::int64_t availableAt = 0;
        bool waitingForSwap = false;
        bool onlyWhenWaited = false;
    };
    void answer(const ReportScript& script, PresentationSource source, std::int64_t shown);

    WindowHandle nextHandle_ = 0x100;
    std::uint64_t requestedSwap_ = 0;
    unsigned requestedSources_ = 0;
    std::vector<Answer> answers_;
};

} // namespace Stimulark
