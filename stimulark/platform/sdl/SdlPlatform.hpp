#pragma once

#include "stimulark/platform/Backend.hpp"

#include <memory>

union SDL_Event;
struct SDL_Window;

namespace Stimulark {

struct SdlPlatformState;

// The SDL2 backend. SDL's video part starts on first need (a window, input, a
// box), so the toolkit starts and runs without a display: then no events arrive,
// the pointer stays at (0, 0), and windows and display-mode switches fail.
// Every override is public and virtual so that a test program can subclass it.
class SdlPlatform : public Platform {
public:
    SdlPlatform();
    ~SdlPlatform() override;

    void setNormalPriority() override;
    std::uint64_t currentThreadId() override;
    [[noreturn]] void exitProcess(int code) override;
    std::int64_t counterFrequency() override;
    std::int64_t counterValue() override;
    void showNotification(const char* caption, const char* text) override;
    std::string executablePath() override;
    std::optional<UserFolders> userFolders() override;
    ScreenPoint cursorPosition() override;
    DisplayMode currentDisplayMode() override;
    int changeDisplayMode(const DisplayMode* mode, std::uint32_t flags) override;
    ScreenPoint screenSize() override;
    void showCursor(bool show) override;
    void showWindow(WindowHandle window, int showCommand) override;
    bool setPixelFormat(WindowHandle window, const PixelFormatDescriptor& request) override;
    ContextHandle createContext(WindowHandle window) override;
    bool makeCurrent(WindowHandle window, ContextHandle context) override;
    void deleteContext(ContextHandle context) override;
    void swapBuffers(WindowHandle window) override;
    bool setSwapInterval(WindowHandle window, int interval) override;
    int swapInterval(WindowHandle window) override;
    unsigned requestPresentationReports(WindowHandle window, std::uint64_t swap, unsigned sources) override;
    std::size_t takePresentationReports(WindowHandle window, PresentationReport* out, std::size_t max,
                                        std::int64_t deadline) override;
    void pumpInputEvents() override;
    void drainEvents() override;
    bool getGammaRamp(WindowHandle window, std::uint16_t* ramp) override;
    bool setGammaRamp(WindowHandle window, const std::uint16_t* ramp) override;

    void pollEvents() override;
    WindowHandle createNativeWindow(std::uint32_t exStyle, const char* title, std::uint32_t style, int x,
                                    int y, int width, int height) override;
    void destroyNativeWindow(WindowHandle window) override;

    // Starts SDL's video part on first call; false when no display can be reached.
    virtual bool displayAvailable();
    // The modal box of showNotification, shown only where a display is reachable.
    virtual void showMessageBox(const char* caption, const char* text);
    // SDL's id of the window behind a handle (0: none), for tests that feed SDL events.
    std::uint32_t nativeWindowId(WindowHandle window) const;
    // Logs a key or button event as SDL queues it, so that its stamp is taken when
    // the event leaves the window system, not when the program reads it.
    void logInput(const SDL_Event& event);

private:
    void raiseWindow(SDL_Window* window);
    // Turns SDL's queued events into messages while our queue has room.
    void translateQueued();

    std::unique_ptr<SdlPlatformState> state_;
};

} // namespace Stimulark
