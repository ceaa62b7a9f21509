#pragma once

#include "stimulark/platform/Backend.hpp"

#include <cstdint>
#include <memory>

namespace Stimulark {

struct Win32PlatformState;

// The native Windows backend: windows, the message pump and WGL contexts on the
// Windows API. Each canvas window is a top-most popup of a class with its own
// device context; Windows' queue is drained through the native window procedure,
// which turns input and close requests into the toolkit's messages.
class Win32Platform : public Platform {
public:
    Win32Platform();
    ~Win32Platform() override;

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
    void pumpInputEvents() override;
    bool getGammaRamp(WindowHandle window, std::uint16_t* ramp) override;
    bool setGammaRamp(WindowHandle window, const std::uint16_t* ramp) override;

    // What the native window procedure does with a message for one of our windows;
    // false leaves it to Windows' default handling.
    bool handleNative(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

protected:
    void pollEvents() override;
    WindowHandle createNativeWindow(std::uint32_t exStyle, const char* title, std::uint32_t style, int x,
                                    int y, int width, int height) override;
    void destroyNativeWindow(WindowHandle window) override;

private:
    // Takes one message from Windows' queue into the backend's own, logging input
    // as it goes; false when Windows has none or ours is full.
    bool takeNativeMessage();

    std::unique_ptr<Win32PlatformState> state_;
};

} // namespace Stimulark
