#pragma once

#include "stimulark/platform/Clock.hpp"

#include <array>
#include <cstdint>

namespace Stimulark {

enum KeyCode : int {
    KEY_1 = 0, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9,
    KEY_0 = 9,
    KEY_A = 10, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
    KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z,
    KEY_COMMA = 36,
    KEY_PERIOD = 37,
    KEY_SLASH = 38,
    KEY_PAD_0 = 39, KEY_PAD_1, KEY_PAD_2, KEY_PAD_3, KEY_PAD_4, KEY_PAD_5, KEY_PAD_6, KEY_PAD_7,
    KEY_PAD_8, KEY_PAD_9,
    KEY_RETURN = 49,
    KEY_SPACE = 50,
    KEY_ESCAPE = 51,
    KEY_UP = 52,
    KEY_DOWN = 53,
    KEY_LEFT = 54,
    KEY_RIGHT = 55,
    KEY_SHIFT = 56,
    KEY_CONTROL = 57,
    KEY_ALT = 58,
    KEY_MINUS = 59,
    KEY_BACKSLASH = 61,
    KEY_BRACKET_LEFT = 66,
    KEY_BRACKET_RIGHT = 67,
    KEY_PAD_PLUS = 72,
    KEY_PAD_MINUS = 73,
    KEY_PAD_MULTIPLY = 74,
    KEY_PAD_DIVIDE = 75,
};

enum KeyState : int {
    PRESSED = 0,
    PREVIOUSLY_PRESSED = 1,
    PUSHED = 2,
    RELEASED = 3,
};

// A key press or release with the moment it happened. `code` is the first key code
// whose virtual key matches, or -1 for a key outside the table.
struct KeyEvent {
    int code;
    bool pressed;
    Clock time;
};

class Keyboard {
public:
    // Pumps one window message, then answers bit 7 of the key's byte in the row;
    // every row but PRESSED forgets what it answered. Codes and states outside the
    // tables answer false.
    static bool query(int code, int state);

    // The oldest unread press or release, after taking every input event waiting in
    // the window system; false when there is none. Repeats are not recorded. Leaves
    // the window messages that query works through alone.
    static bool nextEvent(KeyEvent& event);
    // Forgets every event stamped before the call, also those still waiting in the
    // window system, and the count of lost events: call it at stimulus onset.
    static void clearEvents();
    // Events pushed out of the full log (the oldest go first) since the last
    // clearEvents.
    static int lostEvents();

    static std::array<std::uint32_t, 256> keyCodes;                 // KeyCode -> virtual key
    static std::array<std::array<std::uint8_t, 256>, 4> keyStates; // KeyState x virtual key
};

void resetKeyboard();
void refreshKeyboard();

enum MouseButton : int { LEFT_BUTTON = 0, RIGHT_BUTTON = 1, MIDDLE_BUTTON = 2 };

// A mouse button press or release, where the pointer stood (canvas pixels, as
// Mouse::x and Mouse::y) and when it happened.
struct ButtonEvent {
    int button;
    bool pressed;
    int x;
    int y;
    Clock time;
};
enum MouseButtonRow : int { HELD = 0, PREVIOUSLY_HELD = 1, BUTTON_PUSHED = 2, BUTTON_RELEASED = 3 };

// One pointer coordinate; reading it refreshes the pointer position first.
class MouseCoordinate {
public:
    constexpr MouseCoordinate() = default;
    operator int() const;
    int value = 0;
};

class Mouse {
public:
    static constinit MouseCoordinate x;
    static constinit MouseCoordinate y;
    static constinit std::array<std::array<std::uint8_t, 3>, 4> buttons; // row x button
    static constinit bool showCursorCross;

    static void buttonDown(int button);
    static void buttonUp(int button);
    // True once per press of the button since the last such query.
    static bool pushed(int button);
    static bool held(int button);

    // As Keyboard's events, for the three buttons.
    static bool nextEvent(ButtonEvent& event);
    static void clearEvents();
    static int lostEvents();
};

void resetMouse();
void refreshMouse();
// Draws a small white cross with a black border at the pointer when switched on.
void drawCursorCross();

} // namespace Stimulark
