#include "stimulark/platform/Keyboard.hpp"

#include "stimulark/color/Color.hpp"
#include "stimulark/geometry/Rectangle.hpp"
#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Platform.hpp"

namespace Stimulark {

std::array<std::uint32_t, 256> Keyboard::keyCodes{};
std::array<std::array<std::uint8_t, 256>, 4> Keyboard::keyStates{};

constinit MouseCoordinate Mouse::x;
constinit MouseCoordinate Mouse::y;
constinit std::array<std::array<std::uint8_t, 3>, 4> Mouse::buttons{};
constinit bool Mouse::showCursorCross = false;

namespace {

constexpr std::uint8_t downBit = 0x80;

void fillKeyCodes(std::array<std::uint32_t, 256>& codes) {
    for (int i = 0; i < 9; ++i)
        codes[KEY_1 + i] = 0x31 + i;
    codes[KEY_0] = 0x30;
    for (int i = 0; i < 26; ++i)
        codes[KEY_A + i] = 0x41 + i;
    codes[KEY_COMMA] = 0xBC;
    codes[KEY_PERIOD] = 0xBE;
    codes[KEY_SLASH] = 0xBF;
    for (int i = 0; i < 10; ++i)
        codes[KEY_PAD_0 + i] = 0x60 + i;
    codes[KEY_RETURN] = 0x0D;
    codes[KEY_SPACE] = 0x20;
    codes[KEY_ESCAPE] = 0x1B;
    codes[KEY_UP] = 0x26;
    codes[KEY_DOWN] = 0x28;
    codes[KEY_LEFT] = 0x25;
    codes[KEY_RIGHT] = 0x27;
    codes[KEY_SHIFT] = 0x10;
    codes[KEY_CONTROL] = 0x11;
    codes[KEY_ALT] = 0x12;
    codes[KEY_MINUS] = 0xBD;
    codes[KEY_BACKSLASH] = 0xDC;
    codes[62] = 0x01; // the left mouse button as the snapshot records it
    codes[63] = 0x40; // a code no key is assigned to
    codes[64] = 0xBA;
    codes[65] = 0xBA;
    codes[KEY_BRACKET_LEFT] = 0xDB;
    codes[KEY_BRACKET_RIGHT] = 0xDD;
    // Code 68 has no usable key; it keeps 0 and answers false.
    codes[KEY_PAD_PLUS] = 0x6B;
    codes[KEY_PAD_MINUS] = 0x6D;
    codes[KEY_PAD_MULTIPLY] = 0x6A;
    codes[KEY_PAD_DIVIDE] = 0x6F;
}

} // namespace

void resetKeyboard() {
    for (auto& row : Keyboard::keyStates)
        row.fill(0);
    Keyboard::keyCodes.fill(0);
    fillKeyCodes(Keyboard::keyCodes);
}

void refreshKeyboard() {
    auto& rows = Keyboard::keyStates;
    rows[PREVIOUSLY_PRESSED] = rows[PRESSED];
    rows[PRESSED] = platform().keyboardState();
    for (int v = 0; v < 256; ++v) {
        const std::uint8_t changed = rows[PRESSED][v] ^ rows[PREVIOUSLY_PRESSED][v];
        rows[PUSHED][v] |= rows[PRESSED][v] & changed;
        rows[RELEASED][v] |= rows[PREVIOUSLY_PRESSED][v] & changed;
    }
}

bool Keyboard::query(int code, int state) {
    pumpMessage();
    if (code < 0 || code > 255 || state < PRESSED || state > RELEASED)
        return false;
    const std::uint32_t key = keyCodes[code];
    if (key == 0 || key > 255)
        return false;
    std::uint8_t& byte = keyStates[state][key];
    const bool answer = (byte & downBit) != 0;
    if (state != PRESSED)
        byte = 0;
    return answer;
}

namespace {

// One of the platform's logs, after every input event waiting in the window system
// has been taken into them.
template <typename Log>
Log& pumpedLog(Log& (Platform::*log)()) {
    Platform& host = platform();
    host.pumpInputEvents();
    return (host.*log)();
}

} // namespace

bool Keyboard::nextEvent(KeyEvent& event) {
    KeyRecord record;
    if (!pumpedLog(&Platform::keyLog).pop(record))
        return false;
    int code = -1;
    for (std::size_t c = 0; c < keyCodes.size() && code < 0; ++c)
        if (keyCodes[c] == record.virtualKey)
            code = static_cast<int>(c);
    event = KeyEvent{code, record.pressed, Clock(record.ticks)};
    return true;
}

// The moment is taken before the window system is asked, so that what was waiting
// there is forgotten too, while anything stamped later stays.
// The clock is read after the pump: where the window system gives no event time
// (Wayland), what was waiting is stamped as it is taken, and must go too.
void Keyboard::clearEvents() {
    Platform::KeyLog& log = pumpedLog(&Platform::keyLog);
    log.forgetBefore(Clock().ticks);
}

int Keyboard::lostEvents() { return platform().keyLog().lost(); }

MouseCoordinate::operator int() const {
    refreshMouse();
    return value;
}

namespace {
bool isButton(int button) { return button >= LEFT_BUTTON && button <= MIDDLE_BUTTON; }
} // namespace

void Mouse::buttonDown(int button) {
    if (!isButton(button))
        return;
    buttons[BUTTON_PUSHED][button] = 1;
    buttons[HELD][button] = 1;
}

void Mouse::buttonUp(int button) {
    if (!isButton(button))
        return;
    buttons[BUTTON_RELEASED][button] = 1;
    buttons[HELD][button] = 0;
}

bool Mouse::pushed(int button) {
    if (!isButton(button))
        return false;
    const bool answer = buttons[BUTTON_PUSHED][button] != 0;
    buttons[BUTTON_PUSHED][button] = 0;
    return answer;
}

bool Mouse::held(int button) {
    return isButton(button) && buttons[HELD][button] != 0;
}

bool Mouse::nextEvent(ButtonEvent& event) {
    ButtonRecord record;
    if (!pumpedLog(&Platform::buttonLog).pop(record))
        return false;
    event = ButtonEvent{record.button, record.pressed, record.x, record.y, Clock(record.ticks)};
    return true;
}

void Mouse::clearEvents() {
    Platform::ButtonLog& log = pumpedLog(&Platform::buttonLog);
    log.forgetBefore(Clock().ticks);
}

int Mouse::lostEvents() { return platform().buttonLog().lost(); }

void resetMouse() {
    for (auto& row : Mouse::buttons)
        row.fill(0);
    Mouse::showCursorCross = false;
}

void refreshMouse() {
    const ScreenPoint point = platform().cursorPosition();
    Mouse::x.value = point.x;
    Mouse::y.value = point.y;
}

void drawCursorCross() {
    if (!Mouse::showCursorCross)
        return;
    struct Bar {
        double width, height;
        const Color& color;
    };
    const Bar bars[] = {{11, 3, Color::black}, {3, 11, Color::black}, {9, 1, Color::white}, {1, 9, Color::white}};
    const double x = static_cast<int>(Mouse::x);
    const double y = static_cast<int>(Mouse::y);
    for (const Bar& bar : bars)
        Rectangle(bar.width, bar.height).centerAt(x, y).draw(bar.color);
}

} // namespace Stimulark
