#include "stimulark/platform/sdl/SdlKeyTable.hpp"

#include "stimulark/platform/Messages.hpp"

#include <SDL.h>

#include <array>

namespace Stimulark {

namespace {

using Table = std::array<KeyTranslation, SDL_NUM_SCANCODES>;

constexpr Table buildTable() {
    Table t{};
    auto set = [&t](SDL_Scancode scancode, unsigned virtualKey, unsigned sideKey = 0) {
        t[scancode] = {static_cast<std::uint8_t>(virtualKey), static_cast<std::uint8_t>(sideKey)};
    };
    for (int i = 0; i < 26; ++i)
        set(static_cast<SDL_Scancode>(SDL_SCANCODE_A + i), 0x41 + i);
    for (int i = 0; i < 9; ++i)
        set(static_cast<SDL_Scancode>(SDL_SCANCODE_1 + i), 0x31 + i);
    set(SDL_SCANCODE_0, 0x30);
    for (int i = 0; i < 12; ++i)
        set(static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + i), 0x70 + i);
    for (int i = 0; i < 12; ++i)
        set(static_cast<SDL_Scancode>(SDL_SCANCODE_F13 + i), 0x7C + i);
    for (int i = 0; i < 9; ++i)
        set(static_cast<SDL_Scancode>(SDL_SCANCODE_KP_1 + i), 0x61 + i);
    set(SDL_SCANCODE_KP_0, 0x60);

    set(SDL_SCANCODE_RETURN, VK_RETURN);
    set(SDL_SCANCODE_KP_ENTER, VK_RETURN);
    set(SDL_SCANCODE_RETURN2, VK_RETURN);
    set(SDL_SCANCODE_ESCAPE, VK_ESCAPE);
    set(SDL_SCANCODE_BACKSPACE, VK_BACK);
    set(SDL_SCANCODE_TAB, VK_TAB);
    set(SDL_SCANCODE_SPACE, VK_SPACE);

    set(SDL_SCANCODE_SEMICOLON, 0xBA);
    set(SDL_SCANCODE_EQUALS, 0xBB);
    set(SDL_SCANCODE_COMMA, 0xBC);
    set(SDL_SCANCODE_MINUS, 0xBD);
    set(SDL_SCANCODE_PERIOD, 0xBE);
    set(SDL_SCANCODE_SLASH, 0xBF);
    set(SDL_SCANCODE_GRAVE, 0xC0);
    set(SDL_SCANCODE_LEFTBRACKET, 0xDB);
    set(SDL_SCANCODE_BACKSLASH, 0xDC);
    set(SDL_SCANCODE_NONUSHASH, 0xDC); // the same key position on ISO keyboards
    set(SDL_SCANCODE_RIGHTBRACKET, 0xDD);
    set(SDL_SCANCODE_APOSTROPHE, 0xDE);
    set(SDL_SCANCODE_NONUSBACKSLASH, 0xE2);

    set(SDL_SCANCODE_CAPSLOCK, 0x14);
    set(SDL_SCANCODE_NUMLOCKCLEAR, 0x90);
    set(SDL_SCANCODE_SCROLLLOCK, 0x91);
    set(SDL_SCANCODE_PAUSE, 0x13);
    set(SDL_SCANCODE_PRINTSCREEN, 0x2C);
    set(SDL_SCANCODE_SYSREQ, 0x2C);
    set(SDL_SCANCODE_INSERT, 0x2D);
    set(SDL_SCANCODE_DELETE, 0x2E);
    set(SDL_SCANCODE_HOME, 0x24);
    set(SDL_SCANCODE_END, 0x23);
    set(SDL_SCANCODE_PAGEUP, 0x21);
    set(SDL_SCANCODE_PAGEDOWN, 0x22);
    set(SDL_SCANCODE_LEFT, VK_LEFT);
    set(SDL_SCANCODE_UP, VK_UP);
    set(SDL_SCANCODE_RIGHT, VK_RIGHT);
    set(SDL_SCANCODE_DOWN, VK_DOWN);

    set(SDL_SCANCODE_KP_MULTIPLY, 0x6A);
    set(SDL_SCANCODE_KP_PLUS, 0x6B);
    set(SDL_SCANCODE_KP_COMMA, 0x6C);
    set(SDL_SCANCODE_KP_MINUS, 0x6D);
    set(SDL_SCANCODE_KP_PERIOD, 0x6E);
    set(SDL_SCANCODE_KP_DECIMAL, 0x6E);
    set(SDL_SCANCODE_KP_DIVIDE, 0x6F);

    set(SDL_SCANCODE_LSHIFT, VK_SHIFT, VK_LSHIFT);
    set(SDL_SCANCODE_RSHIFT, VK_SHIFT, VK_RSHIFT);
    set(SDL_SCANCODE_LCTRL, VK_CONTROL, VK_LCONTROL);
    set(SDL_SCANCODE_RCTRL, VK_CONTROL, VK_RCONTROL);
    set(SDL_SCANCODE_LALT, VK_MENU, VK_LMENU);
    set(SDL_SCANCODE_RALT, VK_MENU, VK_RMENU);
    set(SDL_SCANCODE_LGUI, 0x5B);
    set(SDL_SCANCODE_RGUI, 0x5C);
    set(SDL_SCANCODE_APPLICATION, 0x5D);
    set(SDL_SCANCODE_MENU, 0x5D);
    set(SDL_SCANCODE_SLEEP, 0x5F);

    set(SDL_SCANCODE_SELECT, 0x29);
    set(SDL_SCANCODE_EXECUTE, 0x2B);
    set(SDL_SCANCODE_HELP, 0x2F);
    set(SDL_SCANCODE_CLEAR, 0x0C);
    set(SDL_SCANCODE_CANCEL, 0x03);
    set(SDL_SCANCODE_MUTE, 0xAD);
    set(SDL_SCANCODE_AUDIOMUTE, 0xAD);
    set(SDL_SCANCODE_VOLUMEDOWN, 0xAE);
    set(SDL_SCANCODE_VOLUMEUP, 0xAF);
    set(SDL_SCANCODE_AUDIONEXT, 0xB0);
    set(SDL_SCANCODE_AUDIOPREV, 0xB1);
    set(SDL_SCANCODE_AUDIOSTOP, 0xB2);
    set(SDL_SCANCODE_AUDIOPLAY, 0xB3);
    set(SDL_SCANCODE_MAIL, 0xB4);
    set(SDL_SCANCODE_MEDIASELECT, 0xB5);
    set(SDL_SCANCODE_COMPUTER, 0xB6);
    set(SDL_SCANCODE_CALCULATOR, 0xB7);
    set(SDL_SCANCODE_AC_BACK, 0xA6);
    set(SDL_SCANCODE_AC_FORWARD, 0xA7);
    set(SDL_SCANCODE_AC_REFRESH, 0xA8);
    set(SDL_SCANCODE_AC_STOP, 0xA9);
    set(SDL_SCANCODE_AC_SEARCH, 0xAA);
    set(SDL_SCANCODE_AC_BOOKMARKS, 0xAB);
    set(SDL_SCANCODE_AC_HOME, 0xAC);
    return t;
}

constexpr Table table = buildTable();

} // namespace

KeyTranslation translateScancode(int scancode) {
    if (scancode < 0 || scancode >= static_cast<int>(table.size()))
        return {};
    return table[static_cast<std::size_t>(scancode)];
}

KeyTranslation translateKey(int scancode, std::int32_t symbol) {
    if (symbol >= SDLK_a && symbol <= SDLK_z)
        return {static_cast<std::uint8_t>('A' + (symbol - SDLK_a)), 0};
    return translateScancode(scancode);
}

} // namespace Stimulark
