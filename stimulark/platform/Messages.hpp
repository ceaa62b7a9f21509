#pragma once

#include <cstdint>

namespace Stimulark {

using WindowHandle = std::uintptr_t;  // 0: no window
using ContextHandle = std::uintptr_t; // 0: no rendering context

// Window messages keep the codes that programs and tests know them by.
enum MessageCode : std::uint32_t {
    WM_DESTROY = 0x0002,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
};

// Virtual-key codes used by the toolkit itself; the rest follow the same table.
enum VirtualKey : std::uint8_t {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_MBUTTON = 0x04,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_F4 = 0x73,
    VK_LSHIFT = 0xA0,
    VK_RSHIFT = 0xA1,
    VK_LCONTROL = 0xA2,
    VK_RCONTROL = 0xA3,
    VK_LMENU = 0xA4,
    VK_RMENU = 0xA5,
};

struct Message {
    WindowHandle window = 0;
    std::uint32_t code = 0;
    std::uintptr_t wParam = 0; // key messages: the virtual-key code (VK_SHIFT for either shift)
    std::intptr_t lParam = 0;
    // Key messages of shift, control and alt: which of the pair (VK_LSHIFT ...), 0 if unknown.
    std::uint8_t sideKey = 0;
};

using WindowProcedure = std::intptr_t (*)(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t);

} // namespace Stimulark
