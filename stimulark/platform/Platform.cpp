#include "stimulark/platform/Platform.hpp"

#include "stimulark/platform/Backend.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Stimulark {

namespace {

// Lives until the process ends: shutting the window system down from a static
// destructor would unload the GL driver while others still finish with it.
std::unique_ptr<Platform>& installed() {
    static auto* backend = new std::unique_ptr<Platform>;
    return *backend;
}

constexpr std::uint8_t down = 0x80;
constexpr std::uint8_t toggle = 0x01;

} // namespace

Platform::Platform() = default;
Platform::~Platform() = default;

Platform& platform() {
    auto& backend = installed();
    if (!backend)
        backend = createNativePlatform();
    return *backend;
}

std::unique_ptr<Platform> installPlatform(std::unique_ptr<Platform> backend) {
    auto previous = std::move(installed());
    installed() = std::move(backend);
    return previous;
}

bool Platform::notifyOnStandardError(const char* caption, const char* text) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    const char* route = std::getenv("STIMULARK_NOTIFICATIONS");
    return !(route && std::strcmp(route, "stderr") == 0);
}

bool Platform::queueMessage(const Message& message) {
    if (count_ == queueCapacity)
        return false;
    queue_[(head_ + count_) % queueCapacity] = message;
    ++count_;
    return true;
}

bool Platform::postMessage(const Message& message) { return queueMessage(message); }

void Platform::postQuitMessage(int exitCode) {
    Message quit;
    quit.code = WM_QUIT;
    quit.wParam = static_cast<std::uintptr_t>(exitCode);
    // A full queue must not swallow the request to quit: it waits for the first free slot.
    if (!queueMessage(quit)) {
        pendingQuit_ = quit;
        quitPending_ = true;
    }
}

void Platform::discardMessages() {
    pollEvents();
    head_ = 0;
    count_ = 0;
    quitPending_ = false;
}

bool Platform::peekMessage(Message& out) {
    if (quitPending_ && queueMessage(pendingQuit_))
        quitPending_ = false;
    if (queueHasRoom())
        pollEvents();
    if (count_ == 0)
        return false;
    out = queue_[head_];
    head_ = (head_ + 1) % queueCapacity;
    --count_;
    applyToSnapshot(out);
    return true;
}

bool Platform::applyOldestInput() {
    if (count_ == 0)
        return false;
    const Message& oldest = queue_[head_];
    switch (oldest.code) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: break;
    default: return false;
    }
    applyToSnapshot(oldest);
    head_ = (head_ + 1) % queueCapacity;
    --count_;
    return true;
}

void Platform::setKeyDown(std::uint8_t virtualKey, bool isDown) {
    std::uint8_t& key = keys_[virtualKey];
    if (isDown) {
        if (!(key & down))
            key ^= toggle;
        key |= down;
    } else {
        key &= static_cast<std::uint8_t>(~down);
    }
}

// The snapshot changes only here, as messages leave the queue, so a press is seen
// only after every message queued before it has been handled.
void Platform::applyToSnapshot(const Message& message) {
    switch (message.code) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        const bool isDown = message.code == WM_KEYDOWN || message.code == WM_SYSKEYDOWN;
        const auto key = static_cast<std::uint8_t>(message.wParam);
        if (message.sideKey == 0) {
            setKeyDown(key, isDown);
            return;
        }
        setKeyDown(message.sideKey, isDown);
        // The generic shift, control and alt follow either key of their pair.
        const std::uint8_t left = message.sideKey & 0xFE;
        const bool either = ((keys_[left] | keys_[left + 1]) & down) != 0;
        setKeyDown(key, either);
        return;
    }
    case WM_LBUTTONDOWN: setKeyDown(VK_LBUTTON, true); return;
    case WM_LBUTTONUP: setKeyDown(VK_LBUTTON, false); return;
    case WM_RBUTTONDOWN: setKeyDown(VK_RBUTTON, true); return;
    case WM_RBUTTONUP: setKeyDown(VK_RBUTTON, false); return;
    case WM_MBUTTONDOWN: setKeyDown(VK_MBUTTON, true); return;
    case WM_MBUTTONUP: setKeyDown(VK_MBUTTON, false); return;
    default: return;
    }
}

std::intptr_t Platform::dispatchMessage(const Message& message) {
    if (message.window == 0)
        return 0;
    for (const auto& entry : windows_)
        if (entry.window == message.window && entry.procedure)
            return entry.procedure(message.window, message.code, message.wParam, message.lParam);
    return 0;
}

bool Platform::registerClass(const WindowClassRecord& record) {
    if (!record.className || !record.procedure)
        return false;
    for (const auto& entry : classes_)
        if (entry.procedure && entry.name == record.className)
            return false; // already registered: refused, as on Windows
    for (auto& entry : classes_)
        if (!entry.procedure) {
            entry.name = record.className;
            entry.procedure = record.procedure;
            return true;
        }
    return false;
}

WindowHandle Platform::createWindow(std::uint32_t exStyle, const char* className, const char* title,
                                    std::uint32_t style, int x, int y, int width, int height) {
    WindowProcedure procedure = nullptr;
    for (const auto& entry : classes_)
        if (entry.procedure && className && entry.name == className)
            procedure = entry.procedure;
    if (!procedure)
        return 0;
    WindowEntry* slot = nullptr;
    for (auto& entry : windows_)
        if (entry.window == 0) {
            slot = &entry;
            break;
        }
    if (!slot)
        return 0;
    const WindowHandle window = createNativeWindow(exStyle, title, style, x, y, width, height);
    if (window != 0)
        *slot = WindowEntry{window, procedure};
    return window;
}

void Platform::destroyWindow(WindowHandle window) {
    for (auto& entry : windows_) {
        if (entry.window != window || window == 0)
            continue;
        destroyNativeWindow(window);
        const WindowProcedure procedure = entry.procedure;
        entry = WindowEntry{};
        procedure(window, WM_DESTROY, 0, 0);
        return;
    }
}

} // namespace Stimulark
