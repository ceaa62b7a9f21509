#pragma once

#include "stimulark/platform/EventLog.hpp"
#include "stimulark/platform/Messages.hpp"
#include "stimulark/platform/Presentation.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace Stimulark {

// The window class record the canvas registers.
struct WindowClassRecord {
    std::uint32_t size = 48;
    std::uint32_t style = 0;
    WindowProcedure procedure = nullptr;
    int classExtra = 0;
    int windowExtra = 0;
    const void* instance = nullptr;
    const char* menuName = nullptr;
    const char* className = nullptr;
};

// A display mode: the fields of a Windows mode record that the canvas uses.
struct DisplayMode {
    std::uint32_t size = 0;
    std::uint32_t fields = 0;
    std::uint32_t bitsPerPixel = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t refreshRate = 0; // 0 or 1: the platform does not say
};

inline constexpr std::uint32_t DM_BITSPERPEL = 0x00040000;
inline constexpr std::uint32_t DM_PELSWIDTH = 0x00080000;
inline constexpr std::uint32_t DM_PELSHEIGHT = 0x00100000;
inline constexpr std::uint32_t DM_DISPLAYFREQUENCY = 0x00400000;
inline constexpr std::uint32_t CDS_FULLSCREEN = 4;
inline constexpr int DISP_CHANGE_SUCCESSFUL = 0;
inline constexpr int DISP_CHANGE_FAILED = -1;

// The pixel format a rendering context is asked for.
struct PixelFormatDescriptor {
    std::uint16_t size = 40;
    std::uint16_t version = 0;
    std::uint32_t flags = 0;
    std::uint8_t pixelType = 0;
    std::uint8_t colorBits = 0;
    std::uint8_t redBits = 0, greenBits = 0, blueBits = 0, alphaBits = 0;
    std::uint8_t depthBits = 0;
    std::uint8_t stencilBits = 0;
    std::uint8_t auxBuffers = 0;
    std::uint8_t layerType = 0;
};

inline constexpr std::uint32_t PFD_DOUBLEBUFFER = 0x0001;
inline constexpr std::uint32_t PFD_DRAW_TO_WINDOW = 0x0004;
inline constexpr std::uint32_t PFD_SUPPORT_OPENGL = 0x0020;
inline constexpr std::uint32_t PFD_SWAP_EXCHANGE = 0x0200;
inline constexpr std::uint32_t PFD_GENERIC_ACCELERATED = 0x1000;
inline constexpr std::uint8_t PFD_TYPE_RGBA = 0;
inline constexpr std::uint8_t PFD_MAIN_PLANE = 0;

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// The user's folders as this platform keeps them, each an absolute path without
// a trailing separator: the home folder, the base of per-user settings, and the
// documents folder.
struct UserFolders {
    std::string home;
    std::string settings;
    std::string documents;
};

// Every window-system and operating-system service the toolkit uses. A backend
// translates native events and calls; this base owns the message queue, the
// keyboard snapshot and the window-to-procedure table, so backends stay small.
class Platform {
public:
    static constexpr std::size_t queueCapacity = 1024;

    Platform();
    virtual ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    // Process and time.
    virtual void setNormalPriority() = 0;
    virtual std::uint64_t currentThreadId() = 0;
    [[noreturn]] virtual void exitProcess(int code) = 0;
    virtual std::int64_t counterFrequency() = 0; // ticks per second; 0: no counter
    virtual std::int64_t counterValue() = 0;

    // Notification box: modal, one OK button, no owner. Also copied to standard error.
    virtual void showNotification(const char* caption, const char* text) = 0;

    // Folders.
    virtual std::string executablePath() = 0;
    // Nothing when the platform cannot find the user's home folder.
    virtual std::optional<UserFolders> userFolders() = 0;

    // Message queue. Removes at most one message; the keyboard snapshot follows the
    // key and button messages as they are removed.
    bool peekMessage(Message& out);
    bool postMessage(const Message& message);
    void postQuitMessage(int exitCode);
    void translateMessage(const Message&) {} // no character messages are ever made
    std::intptr_t dispatchMessage(const Message& message);
    std::intptr_t defWindowProc(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) { return 0; }
    std::size_t queuedMessages() const { return count_; }
    void discardMessages();

    // 256 bytes by virtual-key code: bit 7 down, bit 0 toggled by every press.
    const std::array<std::uint8_t, 256>& keyboardState() const { return keys_; }
    virtual ScreenPoint cursorPosition() = 0;

    // Timestamped input, kept apart from the message queue: every key press and
    // release (no repeats) and every press and release of the three mouse buttons,
    // logged when the backend takes it from the window system, stamped as close to
    // the moment the window system received it as the backend can tell.
    static constexpr std::size_t inputLogCapacity = 1024;
    using KeyLog = EventLog<KeyRecord, inputLogCapacity>;
    using ButtonLog = EventLog<ButtonRecord, inputLogCapacity>;
    // Takes every input event waiting in the window system into the logs, leaving
    // the message queue as it is.
    virtual void pumpInputEvents() = 0;
    // Moves what the window system has queued for the program into the logs and,
    // while it has room, the message queue, dropping what the toolkit does not use
    // (pointer moves, system events), so that input that nobody reads costs bounded
    // memory. Handles no message. A flip calls it before its wait.
    virtual void drainEvents() { pumpInputEvents(); }
    KeyLog& keyLog() { return keyLog_; }
    ButtonLog& buttonLog() { return buttonLog_; }

    // Display, window and rendering context.
    virtual DisplayMode currentDisplayMode() = 0;
    virtual int changeDisplayMode(const DisplayMode* mode, std::uint32_t flags) = 0;
    virtual ScreenPoint screenSize() = 0;
    virtual void showCursor(bool show) = 0;
    bool registerClass(const WindowClassRecord& record);
    WindowHandle createWindow(std::uint32_t exStyle, const char* className, const char* title,
                              std::uint32_t style, int x, int y, int width, int height);
    virtual void showWindow(WindowHandle window, int showCommand) = 0;
    // Sends WM_DESTROY to the window's procedure, as Windows does.
    void destroyWindow(WindowHandle window);
    virtual bool setPixelFormat(WindowHandle window, const PixelFormatDescriptor& request) = 0;
    virtual ContextHandle createContext(WindowHandle window) = 0;
    virtual bool makeCurrent(WindowHandle window, ContextHandle context) = 0;
    virtual void deleteContext(ContextHandle context) = 0;
    virtual void swapBuffers(WindowHandle window) = 0;
    // Swaps in step with the display's retrace (1) or not (0), for the window's
    // current context; true when the platform accepted the request, which does not
    // mean that the display has a retrace.
    virtual bool setSwapInterval(WindowHandle window, int interval) = 0;
    // The setting in force: 1 synchronised, 0 not, -1 adaptive.
    virtual int swapInterval(WindowHandle window) = 0;
    // Reports of when frames were shown, where the window system gives them. Right
    // before a swap, on the thread that swaps: ties the reports of that swap to
    // `swap`, asking each of `sources` (PresentationSource bits) that the window
    // offers. Returns the sources that will answer; 0 where none will, also when
    // the swap will not reach the display (a hidden window's).
    virtual unsigned requestPresentationReports(WindowHandle, std::uint64_t /*swap*/, unsigned /*sources*/) {
        return 0;
    }
    // Moves up to `max` reports that have arrived into `out`. Where none has, waits
    // for one until the counter reaches `deadline`, never longer; a deadline not
    // after now never blocks. Answers may come out of order, late, or never.
    virtual std::size_t takePresentationReports(WindowHandle, PresentationReport* /*out*/, std::size_t /*max*/,
                                                std::int64_t /*deadline*/) {
        return 0;
    }
    virtual bool getGammaRamp(WindowHandle window, std::uint16_t* ramp) = 0;       // 3 x 256
    virtual bool setGammaRamp(WindowHandle window, const std::uint16_t* ramp) = 0; // 3 x 256

protected:
    // The part of showNotification every backend shares: writes "<caption>: <text>"
    // to standard error (a null text as empty); false when STIMULARK_NOTIFICATIONS=stderr
    // keeps the notification there alone, true when the box is to be shown as well.
    static bool notifyOnStandardError(const char* caption, const char* text);

    // Translates pending native events into messages with queueMessage while there is room.
    virtual void pollEvents() = 0;
    virtual WindowHandle createNativeWindow(std::uint32_t exStyle, const char* title, std::uint32_t style,
                                            int x, int y, int width, int height) = 0;
    virtual void destroyNativeWindow(WindowHandle window) = 0;

    bool queueMessage(const Message& message);
    bool queueHasRoom() const { return count_ < queueCapacity; }
    // Makes room in a full queue for input that nobody reads: a key or button message
    // at its head leaves the queue into the keyboard snapshot, as if handled (no
    // procedure cares for them); false when the head is anything else, such as a
    // close request, which must stay.
    bool applyOldestInput();
    // For backends and tests that set the snapshot directly.
    void setKeyByte(std::uint8_t virtualKey, std::uint8_t value) { keys_[virtualKey] = value; }

private:
    void applyToSnapshot(const Message& message);
    void setKeyDown(std::uint8_t virtualKey, bool down);

    struct WindowEntry {
        WindowHandle window = 0;
        WindowProcedure procedure = nullptr;
    };
    struct ClassEntry {
        std::string name;
        WindowProcedure procedure = nullptr;
    };

    std::array<Message, queueCapacity> queue_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    Message pendingQuit_{};
    bool quitPending_ = false;
    std::array<std::uint8_t, 256> keys_{};
    std::array<ClassEntry, 8> classes_{};
    std::array<WindowEntry, 8> windows_{};
    KeyLog keyLog_;
    ButtonLog buttonLog_;
};

// The platform in use: the build's native backend unless a test installed another.
Platform& platform();

} // namespace Stimulark
