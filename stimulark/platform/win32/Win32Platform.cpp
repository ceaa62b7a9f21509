#include "stimulark/platform/win32/Win32Platform.hpp"

#include "stimulark/platform/win32/Win32State.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace Stimulark {

namespace {

constexpr std::intptr_t repeatBit = std::intptr_t{1} << 30; // lParam: the key was down already
constexpr std::intptr_t extendedBit = std::intptr_t{1} << 24;

// Paths are handed on with "/", as the portable code writes them; Windows takes both.
std::string withSlashes(std::string path) {
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

std::optional<std::string> environmentText(const char* name) {
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::string value(size, '\0');
    const DWORD written = GetEnvironmentVariableA(name, value.data(), size);
    if (written == 0 || written >= size)
        return std::nullopt;
    value.resize(written);
    return value;
}

// The documents folder is stored with references such as %USERPROFILE% in it.
std::optional<std::string> documentsFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                      0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    std::string stored(1024, '\0');
    DWORD size = static_cast<DWORD>(stored.size() - 1);
    const LONG result = RegQueryValueExA(key, "Personal", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(stored.data()), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return std::string();
    stored.resize(std::strlen(stored.c_str()));
    const DWORD needed = ExpandEnvironmentStringsA(stored.c_str(), nullptr, 0);
    if (needed == 0)
        return stored;
    std::string expanded(needed, '\0');
    if (ExpandEnvironmentStringsA(stored.c_str(), expanded.data(), needed) == 0)
        return stored;
    expanded.resize(std::strlen(expanded.c_str()));
    return expanded;
}

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
        path.pop_back();
    return path;
}

// The left or right key of shift, control and alt, which Windows reports only
// through the scan code or the extended bit.
std::uint8_t sideKeyOf(WPARAM virtualKey, LPARAM lParam) {
    const bool extended = (lParam & extendedBit) != 0;
    switch (virtualKey) {
    case 0x10: {
        const UINT scanCode = (static_cast<UINT>(lParam) >> 16) & 0xFF;
        return MapVirtualKeyA(scanCode, MAPVK_VSC_TO_VK_EX) == 0xA1 ? 0xA1 : 0xA0;
    }
    case 0x11: return extended ? 0xA3 : 0xA2;
    case 0x12: return extended ? 0xA5 : 0xA4;
    default: return 0;
    }
}

// An input message is stamped with the counter as the backend takes it from
// Windows' queue. Windows' own time on the message counts milliseconds of
// GetTickCount, which moves in 10 to 16 ms steps on Windows (1 ms under Wine), so
// it serves only to tell a message that waited in the queue: one older than a
// whole coarse step is put back by its age, which bounds the error by one step
// instead of the whole wait, and a fresh one is never put before its arrival.
constexpr std::int32_t coarseTickMilliseconds = 16;

std::int64_t arrivalTicks(DWORD messageTime, std::int64_t now, std::int64_t frequency) {
    const auto age = static_cast<std::int32_t>(GetTickCount() - messageTime);
    return age > coarseTickMilliseconds ? now - std::int64_t{age} * frequency / 1000 : now;
}

std::size_t keySlot(LPARAM lParam) {
    return ((static_cast<std::size_t>(lParam) >> 16) & 0xFF) | ((lParam & extendedBit) ? 0x100 : 0);
}

// The virtual key of a press, remembered by scan code, which its release then names.
std::uint8_t matchRelease(std::array<std::uint8_t, 512>& heldAs, bool down, LPARAM lParam, WPARAM virtualKey) {
    std::uint8_t key = static_cast<std::uint8_t>(virtualKey);
    std::uint8_t& held = heldAs[keySlot(lParam)];
    if (!down && held != 0)
        key = held;
    held = down ? key : 0;
    return key;
}

bool isKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

int buttonOf(UINT message, bool& pressed) {
    switch (message) {
    case WM_LBUTTONDOWN: pressed = true; return 0;
    case WM_LBUTTONUP: pressed = false; return 0;
    case WM_RBUTTONDOWN: pressed = true; return 1;
    case WM_RBUTTONUP: pressed = false; return 1;
    case WM_MBUTTONDOWN: pressed = true; return 2;
    case WM_MBUTTONUP: pressed = false; return 2;
    default: return -1;
    }
}

// Windows reports the leave once asked to, after each message that starts a stay.
void trackPointer(Win32PlatformState& state, HWND window, POINT point) {
    if (!state.pointerTracked) {
        TRACKMOUSEEVENT leave{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
        state.pointerTracked = TrackMouseEvent(&leave) != FALSE;
    }
    state.pointer = point;
}

} // namespace

Win32Platform::Win32Platform() : state_(std::make_unique<Win32PlatformState>()) {
    QueryPerformanceFrequency(&state_->frequency);
}

Win32Platform::~Win32Platform() {
    for (auto& entry : state_->windows)
        if (entry.window)
            DestroyWindow(entry.window);
    // Refused, harmlessly, while another backend in the process still has windows of the class.
    if (state_->nativeClass)
        UnregisterClassA(MAKEINTATOM(state_->nativeClass), GetModuleHandleA(nullptr));
    if (state_->cursorHidden)
        ShowCursor(TRUE);
}

void Win32Platform::setNormalPriority() { SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS); }

std::uint64_t Win32Platform::currentThreadId() { return GetCurrentThreadId(); }

void Win32Platform::exitProcess(int code) {
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(code));
}

std::int64_t Win32Platform::counterFrequency() { return state_->frequency.QuadPart; }

std::int64_t Win32Platform::counterValue() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void Win32Platform::showNotification(const char* caption, const char* text) {
    caption = caption ? caption : "";
    text = text ? text : "";
    if (!notifyOnStandardError(caption, text))
        return;
    // A top-most full-screen window would hide the box and the pointer needed to
    // dismiss it; both come back afterwards.
    std::array<HWND, 8> hidden{};
    std::size_t hiddenCount = 0;
    for (auto& entry : state_->windows)
        if (entry.window && IsWindowVisible(entry.window)) {
            ShowWindow(entry.window, SW_HIDE);
            hidden[hiddenCount++] = entry.window;
        }
    if (state_->cursorHidden)
        ShowCursor(TRUE);
    MessageBoxA(nullptr, text, caption, MB_OK);
    if (state_->cursorHidden)
        ShowCursor(FALSE);
    for (std::size_t i = 0; i < hiddenCount; ++i) {
        ShowWindow(hidden[i], SW_SHOW);
        SetForegroundWindow(hidden[i]);
    }
}

std::string Win32Platform::executablePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return withSlashes(path);
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

// The profile folder, the roaming application data and the documents folder the
// registry names. Without the registry key or a profile folder the user's folders
// cannot be found; a missing "Personal" value leaves the documents folder empty.
std::optional<UserFolders> Win32Platform::userFolders() {
    const std::optional<std::string> documents = documentsFolder();
    const std::optional<std::string> home = environmentText("USERPROFILE");
    if (!documents || !home || home->empty())
        return std::nullopt;
    UserFolders folders;
    folders.home = withoutTrailingSeparators(withSlashes(*home));
    folders.settings = withoutTrailingSeparators(withSlashes(environmentText("APPDATA").value_or(*home)));
    folders.documents = withoutTrailingSeparators(withSlashes(*documents));
    return folders;
}

ScreenPoint Win32Platform::cursorPosition() {
    if (state_->pointerTracked)
        return {state_->pointer.x, state_->pointer.y};
    POINT point{};
    if (!GetCursorPos(&point))
        return {};
    return {point.x, point.y};
}

DisplayMode Win32Platform::currentDisplayMode() {
    HDC screen = GetDC(nullptr);
    if (!screen)
        return {};
    DisplayMode mode;
    mode.size = 156;
    mode.fields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    mode.width = static_cast<std::uint32_t>(GetDeviceCaps(screen, HORZRES));
    mode.height = static_cast<std::uint32_t>(GetDeviceCaps(screen, VERTRES));
    mode.bitsPerPixel = static_cast<std::uint32_t>(GetDeviceCaps(screen, BITSPIXEL));
    const int refresh = GetDeviceCaps(screen, VREFRESH);
    mode.refreshRate = refresh > 0 ? static_cast<std::uint32_t>(refresh) : 0;
    ReleaseDC(nullptr, screen);
    return mode;
}

int Win32Platform::changeDisplayMode(const DisplayMode* mode, std::uint32_t flags) {
    if (mode == nullptr)
        return ChangeDisplaySettingsA(nullptr, flags);
    DEVMODEA native{};
    native.dmSize = sizeof native;
    native.dmFields = mode->fields;
    native.dmBitsPerPel = mode->bitsPerPixel;
    native.dmPelsWidth = mode->width;
    native.dmPelsHeight = mode->height;
    native.dmDisplayFrequency = mode->refreshRate;
    return ChangeDisplaySettingsA(&native, flags);
}

ScreenPoint Win32Platform::screenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

// Windows counts hides and shows; the toolkit's canvases ask once each way, and
// exactly one hide stands while they do.
void Win32Platform::showCursor(bool show) {
    if (show == !state_->cursorHidden)
        return;
    ShowCursor(show ? TRUE : FALSE);
    state_->cursorHidden = !show;
}

bool Win32Platform::takeNativeMessage() {
    if (state_->pendingCount == state_->pendingCapacity)
        return false;
    MSG native{};
    if (!PeekMessageA(&native, nullptr, 0, 0, PM_REMOVE))
        return false;
    const std::int64_t now = counterValue();
    const auto arrival = [&] { return arrivalTicks(native.time, now, state_->frequency.QuadPart); };
    if (isKeyMessage(native.message)) {
        const bool down = native.message == WM_KEYDOWN || native.message == WM_SYSKEYDOWN;
        if (!(down && (native.lParam & repeatBit))) {
            const std::uint8_t key = matchRelease(state_->loggedAs, down, native.lParam, native.wParam);
            if (key != 0)
                keyLog().push(KeyRecord{key, down, arrival()});
        }
    } else {
        bool pressed = false;
        const int button = buttonOf(native.message, pressed);
        if (button >= 0 || native.message == WM_MOUSEMOVE) {
            POINT point{static_cast<short>(LOWORD(native.lParam)), static_cast<short>(HIWORD(native.lParam))};
            ClientToScreen(native.hwnd, &point);
            // The pointer as these messages place it, in the order they came: asked right
            // after a click, Windows (Wine above all) may still answer where it was before.
            trackPointer(*state_, native.hwnd, point);
            if (button >= 0)
                buttonLog().push(ButtonRecord{button, pressed, point.x, point.y, arrival()});
        }
    }
    state_->pending[(state_->pendingHead + state_->pendingCount) % state_->pendingCapacity] = native;
    ++state_->pendingCount;
    return true;
}

void Win32Platform::pumpInputEvents() {
    while (takeNativeMessage()) {
    }
}

// One native message at a time while our queue has room: what stays in Windows'
// queue, or in the backend's, keeps its order for the next pump.
void Win32Platform::pollEvents() {
    while (queueHasRoom()) {
        if (state_->pendingCount == 0 && !takeNativeMessage())
            return;
        const MSG native = state_->pending[state_->pendingHead];
        state_->pendingHead = (state_->pendingHead + 1) % state_->pendingCapacity;
        --state_->pendingCount;
        if (native.message == WM_QUIT) {
            Message quit;
            quit.code = WM_QUIT;
            quit.wParam = native.wParam;
            queueMessage(quit);
            continue;
        }
        TranslateMessage(&native);
        DispatchMessageA(&native);
    }
}

bool Win32Platform::handleNative(WindowHandle window, std::uint32_t code, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
    Message message;
    message.window = window;
    switch (code) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: {
        const bool down = code == WM_KEYDOWN || code == WM_SYSKEYDOWN;
        // A repeat would not change the snapshot; queuing it would only delay the
        // keys behind it.
        if (down && (lParam & repeatBit))
            return true;
        message.code = code;
        message.wParam = matchRelease(state_->heldAs, down, lParam, wParam);
        message.sideKey = sideKeyOf(wParam, lParam);
        message.lParam = lParam;
        if (message.wParam == 0)
            return true;
        queueMessage(message);
        return true; // no menu loop on Alt, no close on Alt+F4: the toolkit decides
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        message.code = code;
        message.wParam = wParam;
        message.lParam = lParam;
        queueMessage(message);
        return true;
    case WM_MOUSEMOVE: return true; // the pointer followed it as it was taken from the queue
    case WM_MOUSELEAVE: state_->pointerTracked = false; return true;
    case WM_CLOSE:
        message.code = WM_CLOSE;
        queueMessage(message);
        return true;
    case WM_DESTROY: return true; // destroyWindow tells the toolkit's procedure itself
    case WM_ERASEBKGND: return true;
    case WM_SYSCOMMAND:
        // Neither the screen saver nor the monitor's power saving may interrupt a stimulus.
        switch (wParam & 0xFFF0) {
        case SC_SCREENSAVE:
        case SC_MONITORPOWER:
        case SC_KEYMENU: return true;
        default: return false;
        }
    default: return false;
    }
}

std::unique_ptr<Platform> createNativePlatform() { return std::make_unique<Win32Platform>(); }

} // namespace Stimulark
