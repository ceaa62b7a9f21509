#include "stimulark/platform/sdl/SdlPlatform.hpp"

#include "stimulark/platform/sdl/SdlKeyTable.hpp"
#include "stimulark/platform/sdl/SdlState.hpp"
#include "stimulark/platform/sdl/SdlX11Events.hpp"
#include "stimulark/platform/sdl/XdgFolders.hpp"

#include <pwd.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace Stimulark {

namespace {

bool hasText(const char* value) { return value != nullptr && value[0] != '\0'; }

std::optional<std::string> environmentVariable(const char* name) {
    const char* value = name ? std::getenv(name) : nullptr;
    if (!value)
        return std::nullopt;
    return std::string(value);
}

// The home folder of the password entry.
std::optional<std::string> accountHomeFolder() {
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 4096);
    passwd entry{};
    passwd* found = nullptr;
    int error = 0;
    while ((error = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (std::size_t{1} << 20))
        buffer.resize(buffer.size() * 2);
    if (error != 0 || !found || !hasText(found->pw_dir))
        return std::nullopt;
    return std::string(found->pw_dir);
}

// Bits of a key message's lParam, as Windows programs read them.
constexpr std::intptr_t altContextBit = std::intptr_t{1} << 29;
constexpr std::intptr_t wasDownBit = std::intptr_t{1} << 30;
constexpr std::intptr_t releasingBit = std::intptr_t{1} << 31;

std::intptr_t packPoint(int x, int y) {
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(x) & 0xFFFF) |
                                      ((static_cast<std::uint32_t>(y) & 0xFFFF) << 16));
}

int watchInput(void* platform, SDL_Event* event) {
    static_cast<SdlPlatform*>(platform)->logInput(*event);
    return 1;
}

// The virtual key of a press, remembered by scancode, so that its release names the
// same key even when the layout changed in between.
std::uint8_t matchRelease(std::array<std::uint8_t, SDL_NUM_SCANCODES>& heldAs, const SDL_KeyboardEvent& key,
                          std::uint8_t virtualKey) {
    const auto scancode = static_cast<std::size_t>(key.keysym.scancode);
    if (scancode >= heldAs.size())
        return virtualKey;
    std::uint8_t& held = heldAs[scancode];
    const bool down = key.type == SDL_KEYDOWN;
    if (!down && held != 0)
        virtualKey = held;
    held = down ? virtualKey : 0;
    return virtualKey;
}

int buttonIndex(Uint8 button) {
    switch (button) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    default: return -1;
    }
}

} // namespace

SdlPlatform::SdlPlatform() : state_(std::make_unique<SdlPlatformState>()) {}

SdlPlatform::~SdlPlatform() {
    if (state_->video != SdlVideo::up)
        return;
    SDL_DelEventWatch(watchInput, this);
    for (auto& record : state_->windows)
        record.reporter.reset();
    for (auto& record : state_->contexts)
        if (record.context)
            SDL_GL_DeleteContext(record.context);
    for (auto& record : state_->windows)
        if (record.window)
            SDL_DestroyWindow(record.window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool SdlPlatform::displayAvailable() {
    if (state_->video != SdlVideo::untried)
        return state_->video == SdlVideo::up;
    state_->video = SdlVideo::unavailable;
    // Without a display server SDL would try the console's own drivers and could
    // take over the screen; an explicitly chosen driver is still honoured.
    if (!hasText(std::getenv("SDL_VIDEODRIVER")) && !hasText(std::getenv("DISPLAY")) &&
        !hasText(std::getenv("WAYLAND_DISPLAY")))
        return false;
    // Ctrl+C must end the program at once, and a full-screen stimulus window must
    // neither end the program nor iconify when something else takes the focus.
    SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_OVERRIDE);
    SDL_SetHintWithPriority(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0", SDL_HINT_OVERRIDE);
    SDL_SetHintWithPriority(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0", SDL_HINT_OVERRIDE);
    // When the display server cannot be reached SDL would fall back to its offscreen
    // driver, and a stimulus program would run on without anyone seeing it. Only
    // drivers that show a picture are tried, unless SDL_VIDEODRIVER names another.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11,wayland", SDL_HINT_DEFAULT);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    if (SDL_GetNumVideoDisplays() < 1) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    // Keys are read as states: no text input, and the pointer is read as a
    // position, so its moves need not pass through the event queue.
    SDL_StopTextInput();
    // Keeps the GL driver loaded between canvases: reopening stays quick, and the
    // driver is not unloaded while its allocations are still live.
    SDL_GL_LoadLibrary(nullptr);
    SDL_EventState(SDL_MOUSEMOTION, SDL_IGNORE);
    const char* driver = SDL_GetCurrentVideoDriver();
    state_->onX11 = driver && std::strcmp(driver, "x11") == 0;
    // On X11 the native event, which carries the server's time, arrives as a system
    // event right before SDL's own; input is logged as SDL queues it.
    if (state_->onX11)
        SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    SDL_AddEventWatch(watchInput, this);
    state_->video = SdlVideo::up;
    return true;
}

// On X11 a window is raised and focused by asking. On Wayland a window that is mapped
// takes the focus anyway, and raising is an activation request, which sway 1.7 answers
// by crashing once the window is destroyed.
void SdlPlatform::raiseWindow(SDL_Window* window) {
    if (!state_->onX11)
        return;
    SDL_RaiseWindow(window);
    SDL_SetWindowInputFocus(window);
}

void SdlPlatform::setNormalPriority() { setpriority(PRIO_PROCESS, 0, 0); }

std::uint64_t SdlPlatform::currentThreadId() { return static_cast<std::uint64_t>(gettid()); }

void SdlPlatform::exitProcess(int code) {
    std::fflush(nullptr);
    _exit(code);
}

std::int64_t SdlPlatform::counterFrequency() { return 1'000'000'000; }

std::int64_t SdlPlatform::counterValue() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void SdlPlatform::showNotification(const char* caption, const char* text) {
    caption = caption ? caption : "";
    text = text ? text : "";
    if (notifyOnStandardError(caption, text) && displayAvailable())
        showMessageBox(caption, text);
}

void SdlPlatform::showMessageBox(const char* caption, const char* text) {
    // A top-most full-screen window would hide the box and the pointer needed to
    // dismiss it; both come back afterwards.
    std::array<SDL_Window*, 8> hidden{};
    std::size_t hiddenCount = 0;
    for (auto& record : state_->windows)
        if (record.window && (SDL_GetWindowFlags(record.window) & SDL_WINDOW_SHOWN)) {
            SDL_HideWindow(record.window);
            hidden[hiddenCount++] = record.window;
        }
    const int cursor = SDL_ShowCursor(SDL_QUERY);
    SDL_ShowCursor(SDL_ENABLE);
    SDL_ShowSimpleMessageBox(0, caption, text, nullptr);
    SDL_ShowCursor(cursor);
    for (std::size_t i = 0; i < hiddenCount; ++i) {
        SDL_ShowWindow(hidden[i]);
        raiseWindow(hidden[i]);
    }
}

std::string SdlPlatform::executablePath() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::optional<UserFolders> SdlPlatform::userFolders() {
    return Xdg::userFolders(environmentVariable, accountHomeFolder);
}

// One SDL event at a time while our queue has room: what stays in SDL's queue
// keeps its order for the next pump.
void SdlPlatform::pollEvents() {
    if (!displayAvailable())
        return;
    if (state_->onX11)
        for (const auto& record : state_->windows)
            if (record.window) {
                state_->x11Replies.settle(record.window);
                break;
            }
    SDL_PumpEvents();
    translateQueued();
}

// SDL keeps what it takes from the window system until it is read, and on X11 a
// system event with every native one (the watch has read the server's time from
// it by then): only the key, button, window and quit events are kept, as messages.
// The logs took the keys and buttons as SDL queued them; where our queue is full,
// its oldest input goes into the keyboard snapshot to make room, and what still
// finds none (behind a close request, which stays) is dropped.
void SdlPlatform::drainEvents() {
    if (!displayAvailable())
        return;
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_APP_TERMINATING, SDL_WINDOWEVENT - 1);
    SDL_FlushEvents(SDL_SYSWMEVENT, SDL_KEYDOWN - 1);
    SDL_FlushEvents(SDL_TEXTEDITING, SDL_MOUSEMOTION);
    SDL_FlushEvents(SDL_MOUSEWHEEL, SDL_LASTEVENT);
    do
        translateQueued();
    while (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) && applyOldestInput());
    SDL_FlushEvents(SDL_KEYDOWN, SDL_KEYUP);
    SDL_FlushEvents(SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP);
}

void SdlPlatform::translateQueued() {
    SDL_Event event;
    while (queueHasRoom() && SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
        Message message;
        switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            // A repeat would not change the snapshot; queuing it would only delay
            // the keys behind it.
            if (event.key.repeat)
                continue;
            const bool down = event.type == SDL_KEYDOWN;
            KeyTranslation key = translateKey(event.key.keysym.scancode, event.key.keysym.sym);
            key.virtualKey = matchRelease(state_->heldAs, event.key, key.virtualKey);
            if (key.virtualKey == 0)
                continue;
            const Uint16 modifiers = event.key.keysym.mod;
            // Alt with Control is AltGr on many layouts, which makes plain key messages.
            const bool system =
                (key.virtualKey == VK_MENU || (modifiers & KMOD_ALT)) && !(modifiers & KMOD_CTRL);
            message.code = system ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
            message.wParam = key.virtualKey;
            message.sideKey = key.sideKey;
            message.lParam = 1 | ((modifiers & KMOD_ALT) ? altContextBit : 0) |
                             (down ? 0 : wasDownBit | releasingBit);
            message.window = state_->handleOf(event.key.windowID);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const bool down = event.type == SDL_MOUSEBUTTONDOWN;
            switch (event.button.button) {
            case SDL_BUTTON_LEFT: message.code = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
            case SDL_BUTTON_RIGHT: message.code = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
            case SDL_BUTTON_MIDDLE: message.code = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
            default: continue;
            }
            message.lParam = packPoint(event.button.x, event.button.y);
            message.window = state_->handleOf(event.button.windowID);
            break;
        }
        case SDL_WINDOWEVENT:
            if (event.window.event != SDL_WINDOWEVENT_CLOSE)
                continue;
            message.window = state_->handleOf(event.window.windowID);
            if (message.window == 0)
                continue;
            message.code = WM_CLOSE;
            break;
        case SDL_QUIT: message.code = WM_QUIT; break;
        default: continue;
        }
        queueMessage(message);
    }
}

void SdlPlatform::pumpInputEvents() {
    if (displayAvailable())
        SDL_PumpEvents();
}

void SdlPlatform::logInput(const SDL_Event& event) {
    if (event.type == SDL_SYSWMEVENT) {
        state_->serverTimePending = x11InputTime(event.syswm.msg, state_->serverTime);
        return;
    }
    if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP && event.type != SDL_MOUSEBUTTONDOWN &&
        event.type != SDL_MOUSEBUTTONUP)
        return;
    const std::int64_t now = counterValue();
    std::int64_t ticks = now;
    if (state_->serverTimePending) {
        const std::int64_t server = serverTimeToMonotonic(state_->serverTime, now);
        ticks = server >= 0 ? server : now;
        state_->serverTimePending = false;
    }
    if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
        if (event.key.repeat)
            return;
        const bool down = event.type == SDL_KEYDOWN;
        const std::uint8_t virtualKey = matchRelease(
            state_->loggedAs, event.key, translateKey(event.key.keysym.scancode, event.key.keysym.sym).virtualKey);
        if (virtualKey != 0)
            keyLog().push(KeyRecord{virtualKey, down, ticks});
        return;
    }
    const int button = buttonIndex(event.button.button);
    if (button < 0)
        return;
    int x = event.button.x, y = event.button.y;
    if (SDL_Window* window = SDL_GetWindowFromID(event.button.windowID)) {
        int windowX = 0, windowY = 0;
        SDL_GetWindowPosition(window, &windowX, &windowY);
        x += windowX;
        y += windowY;
    }
    buttonLog().push(ButtonRecord{button, event.type == SDL_MOUSEBUTTONDOWN, x, y, ticks});
}

// While one of our windows has the pointer, SDL's record of it is exact and costs
// no trip to the display server; only otherwise is the server asked.
ScreenPoint SdlPlatform::cursorPosition() {
    if (!displayAvailable())
        return {};
    ScreenPoint point;
    if (SDL_Window* focus = SDL_GetMouseFocus()) {
        int windowX = 0, windowY = 0;
        SDL_GetWindowPosition(focus, &windowX, &windowY);
        SDL_GetMouseState(&point.x, &point.y);
        point.x += windowX;
        point.y += windowY;
        return point;
    }
    if (!state_->onX11 || !state_->x11Pointer.query(point.x, point.y))
        SDL_GetGlobalMouseState(&point.x, &point.y);
    return point;
}

DisplayMode SdlPlatform::currentDisplayMode() {
    SDL_DisplayMode current{};
    if (!displayAvailable() || SDL_GetCurrentDisplayMode(0, &current) != 0)
        return {};
    DisplayMode mode;
    mode.size = 156;
    mode.fields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    mode.bitsPerPixel = SDL_BYTESPERPIXEL(current.format) * 8u;
    mode.width = static_cast<std::uint32_t>(current.w);
    mode.height = static_cast<std::uint32_t>(current.h);
    mode.refreshRate = current.refresh_rate > 0 ? static_cast<std::uint32_t>(current.refresh_rate) : 0;
    return mode;
}

// The display is never switched: only its current mode can be had, and asking
// for it changes nothing visible. Going back needs no work either.
int SdlPlatform::changeDisplayMode(const DisplayMode* mode, std::uint32_t) {
    if (mode == nullptr)
        return DISP_CHANGE_SUCCESSFUL;
    const DisplayMode current = currentDisplayMode();
    if (current.width == 0)
        return DISP_CHANGE_FAILED;
    const auto differs = [mode](std::uint32_t field, std::uint32_t wanted, std::uint32_t actual) {
        return (mode->fields & field) && wanted != actual;
    };
    if (differs(DM_PELSWIDTH, mode->width, current.width) || differs(DM_PELSHEIGHT, mode->height, current.height) ||
        differs(DM_BITSPERPEL, mode->bitsPerPixel, current.bitsPerPixel))
        return DISP_CHANGE_FAILED;
    // 0 and 1 ask for the default rate; an unknown current rate accepts any.
    if ((mode->fields & DM_DISPLAYFREQUENCY) && mode->refreshRate > 1 && current.refreshRate != 0 &&
        mode->refreshRate != current.refreshRate)
        return DISP_CHANGE_FAILED;
    return DISP_CHANGE_SUCCESSFUL;
}

ScreenPoint SdlPlatform::screenSize() {
    SDL_Rect bounds{};
    if (!displayAvailable() || SDL_GetDisplayBounds(0, &bounds) != 0)
        return {};
    return {bounds.w, bounds.h};
}

void SdlPlatform::showCursor(bool show) {
    if (displayAvailable())
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

std::uint32_t SdlPlatform::nativeWindowId(WindowHandle window) const {
    SDL_Window* native = state_->sdlWindow(window);
    return native ? SDL_GetWindowID(native) : 0;
}

std::unique_ptr<Platform> createNativePlatform() { return std::make_unique<SdlPlatform>(); }

} // namespace Stimulark
