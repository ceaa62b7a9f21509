#include "support/Injection.hpp"

#include "stimulark/platform/win32/WindowsApi.hpp"

#include <cctype>
#include <stdexcept>
#include <string>
#include <utility>

namespace Stimulark::Testing {
namespace {

// The virtual key of an X keysym name, as the tests name keys: letters and digits
// stand for themselves; of the others, those the tests press.
WORD virtualKeyOf(const std::string& keysym) {
    if (keysym.size() == 1 && std::isalnum(static_cast<unsigned char>(keysym[0])))
        return static_cast<WORD>(std::toupper(static_cast<unsigned char>(keysym[0])));
    const std::pair<const char*, WORD> named[] = {{"Escape", VK_ESCAPE}, {"Alt_L", VK_LMENU}, {"F4", VK_F4}};
    for (const auto& [name, key] : named)
        if (keysym == name)
            return key;
    throw std::runtime_error("no key for " + keysym);
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
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP; // none of these keys is an extended one
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

void injectMoves(int count) {
    for (int i = 0; i < count; ++i)
        movePointer(100 + i % 200, 100 + (i / 200) % 200);
}

void injectClicks(int count) {
    for (int i = 0; i < count; ++i)
        injectButton(1, i % 2 == 0);
}

void movePointer(int x, int y) {
    if (!SetCursorPos(x, y))
        throw std::runtime_error("the pointer cannot be moved");
}

} // namespace Stimulark::Testing
