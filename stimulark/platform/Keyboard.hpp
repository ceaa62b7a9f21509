#pragma once

/// \file
/// Keyboard and mouse: states, pointer position and timestamped events.

#include "stimulark/platform/Clock.hpp"

#include <array>
#include <cstdint>

namespace Stimulark {

/// The keys Keyboard::query and KeyEvent::code know. KEY_A to KEY_Z follow the
/// letters of the active keyboard layout; every other key, digits included, is known
/// by its position, so KEY_1 is the key left of KEY_2 on any layout. KEY_SHIFT,
/// KEY_CONTROL and KEY_ALT are down while either key of their pair is; KEY_PAD_
/// names the numeric keypad.
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

/// The rows of key states Keyboard::query answers from.
enum KeyState : int {
    PRESSED = 0,            ///< down now
    PREVIOUSLY_PRESSED = 1, ///< down at the query before
    PUSHED = 2,             ///< pressed since this row was last asked about the key
    RELEASED = 3,           ///< released since this row was last asked about the key
};

/// A key press or release with the moment it happened. `code` is the first key code
/// whose virtual key matches, or -1 for a key outside the table.
struct KeyEvent {
    int code;     ///< a KeyCode, or -1
    bool pressed; ///< true for a press, false for a release
    /// When the key went down or up: on X11 the X server's own event time; on
    /// Wayland, and for events stamped in the future or over ten minutes ago, the
    /// moment the program took the event from the window system.
    Clock time;
};

/// The keyboard, read as states (query) or as timestamped events (nextEvent).
class Keyboard {
public:
    /// Whether the key `code` is in `state`.
    ///
    /// Pumps one window message, then answers bit 7 of the key's byte in the row;
    /// every row but PRESSED forgets what it answered. Codes and states outside the
    /// tables answer false.
    ///
    /// `code` is a KeyCode, `state` a KeyState. Query every frame: the states follow
    /// the messages handled, one per query. Handling the window system's close
    /// request, or Alt+F4, ends the process with exit code 1.
    static bool query(int code, int state);

    /// The oldest unread press or release, after taking every input event waiting in
    /// the window system; false when there is none. Repeats are not recorded. Leaves
    /// the window messages that query works through alone.
    static bool nextEvent(KeyEvent& event);
    /// Forgets every event stamped before the call, also those still waiting in the
    /// window system, and the count of lost events: call it at stimulus onset.
    static void clearEvents();
    /// Events pushed out of the full log (the oldest go first) since the last
    /// clearEvents. The log holds 1024 events.
    static int lostEvents();

    static std::array<std::uint32_t, 256> keyCodes;                 ///< KeyCode -> virtual key; 0: no key
    static std::array<std::array<std::uint8_t, 256>, 4> keyStates; ///< KeyState x virtual key; bit 7: yes
};

/// Clears the key states and fills keyCodes; initializeToolkit calls it.
void resetKeyboard();
/// Takes the platform's key snapshot into the rows, adding presses to PUSHED and
/// releases to RELEASED; the message pump calls it after every message.
void refreshKeyboard();

/// The three buttons, as Mouse and ButtonEvent number them.
enum MouseButton : int { LEFT_BUTTON = 0, RIGHT_BUTTON = 1, MIDDLE_BUTTON = 2 };

/// A mouse button press or release, where the pointer stood (canvas pixels, as
/// Mouse::x and Mouse::y) and when it happened.
struct ButtonEvent {
    int button;   ///< a MouseButton
    bool pressed; ///< true for a press, false for a release
    /** @{ */
    /// The pointer's position at the press or release.
    int x;
    int y;
    /** @} */
    Clock time;   ///< stamped as KeyEvent::time is
};
/// The rows of Mouse::buttons: HELD is down now, BUTTON_PUSHED and BUTTON_RELEASED
/// are set by a press or release until cleared (pushed() clears BUTTON_PUSHED; the
/// program clears BUTTON_RELEASED), and PREVIOUSLY_HELD is not kept.
enum MouseButtonRow : int { HELD = 0, PREVIOUSLY_HELD = 1, BUTTON_PUSHED = 2, BUTTON_RELEASED = 3 };

/// One pointer coordinate; reading it refreshes the pointer position first.
class MouseCoordinate {
public:
    /// 0 until the pointer is first read.
    constexpr MouseCoordinate() = default;
    /// Asks the window system for the pointer position, then answers this coordinate.
    operator int() const;
    /// The coordinate as last read, without asking again.
    int value = 0;
};

/// The mouse: the pointer position, and the buttons as states or as timestamped
/// events. The button states change only as Keyboard::query handles window messages.
class Mouse {
public:
    /** @{ */
    /// The pointer position in screen pixels, which are canvas pixels: the canvas
    /// covers the screen from its top-left corner.
    static constinit MouseCoordinate x;
    static constinit MouseCoordinate y;
    /** @} */
    static constinit std::array<std::array<std::uint8_t, 3>, 4> buttons; ///< MouseButtonRow x MouseButton; 1: yes
    /// Makes flip draw a cross at the pointer (drawCursorCross), since the canvas
    /// hides the cursor; off after start-up.
    static constinit bool showCursorCross;

    /** @{ */
    /// Record a press or a release in buttons; the message pump calls them. Numbers
    /// outside MouseButton are ignored.
    static void buttonDown(int button);
    static void buttonUp(int button);
    /** @} */
    /// True once per press of the button since the last such query.
    static bool pushed(int button);
    /// Whether the button is down, as of the last handled message.
    static bool held(int button);

    /// The oldest unread button press or release, as Keyboard::nextEvent for keys;
    /// false when there is none. ButtonEvent adds the pointer's position.
    static bool nextEvent(ButtonEvent& event);
    /// Forgets the button events stamped before the call, as Keyboard::clearEvents.
    static void clearEvents();
    /// Button events pushed out of the full log since the last clearEvents, as
    /// Keyboard::lostEvents.
    static int lostEvents();
};

/// Clears the button states and switches the cursor cross off; initializeToolkit
/// calls it.
void resetMouse();
/// Asks the window system for the pointer position into Mouse::x and Mouse::y; the
/// message pump calls it after every message.
void refreshMouse();
/// Draws a small white cross with a black border at the pointer when switched on.
void drawCursorCross();

} // namespace Stimulark
