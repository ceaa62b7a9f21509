#include "support/Injection.hpp"

#include "stimulark/platform/win32/WindowsApi.hpp"

#include <cstring>
#include <stdexcept>
#include <string>

namespace Stimulark::Testing {
namespace {

// The virtual key of an X keysym name, as the tests name keys: letters and digits
// stand for themselves.
WORD virtualKeyOf(const char* keysym) {
    const std::size_t length = std::strlen(keysym);
    if (length == 1) {
        const char c = keysym[0];
        if (c >= 'a' && c <= 'z')
            return static_cast<WORD>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return static_cast<WORD>(c);
    }
    static constexpr struct {
        const char* name;
        WORD key;
    } named[] = {{"Escape", VK_ESCAPE}, {"Return", VK_RETURN}, {"space", VK_SPACE}, {"Tab", VK_TAB},
                 {"BackSpace", VK_BACK}, {"Left", VK_LEFT}, {"Right", VK_RIGHT}, {"Up", VK_UP},
                 {"Down", VK_DOWN}, {"Shift_L", VK_LSHIFT}, {"Shift_R", VK_RSHIFT},
                 {"Control_L", VK_LCONTROL}, {"Control_R", VK_RCONTROL}, {"Alt_L", VK_LMENU},
                 {"Alt_R", VK_RMENU}, {"F1", VK_F1}, {"F4", VK_F4}};
    for (const auto& entry : named)
        if (std::strcmp(entry.name, keysym) == 0)
            return entry.key;
    throw std::runtime_error(std::string("no key for ") + keysym);
}

void send(INPUT& input) {
    if (SendInput(1, &input, sizeof input) != 1)
        throw std::runtime_error("SendInput refused the event");
}

} // namespace

// The scan code goes with the virtual key, as a keyboard's would: the backend
// matches a release to its press by it.
Clock injectKey(const char* keysym, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKeyOf(keysym);
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(input.ki.wVk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    if (input.ki.wVk == VK_LEFT || input.ki.wVk == VK_RIGHT || input.ki.wVk == VK_UP || input.ki.wVk == VK_DOWN ||
        input.ki.wVk == VK_RCONTROL || input.ki.wVk == VK_RMENU)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    const Clock sent;
    send(input);
    return sent;
}

Clock injectButton(int xButton, bool down) {
    static constexpr DWORD flags[][2] = {{MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN},
                                         {MOUSEEVENTF_MIDDLEUP, MOUSEEVENTF_MIDDLEDOWN},
                                         {MOUSEEVENTF_RIGHTUP, MOUSEEVENTF_RIGHTDOWN}};
    if (xButton < 1 || xButton > 3)
        throw std::runtime_error("no such button: " + std::to_string(xButton));
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags[xButton - 1][down ? 1 : 0];
    const Clock sent;
    send(input);
    return sent;
}

void movePointer(int x, int y) {
    if (!SetCursorPos(x, y))
        throw std::runtime_error("the pointer cannot be moved");
}

} // namespace Stimulark::Testing
