#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/sdl/SdlPlatform.hpp"

#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

namespace Stimulark {
namespace {

// Counts the boxes a notification would show instead of showing them.
struct BoxCountingPlatform : SdlPlatform {
    void showMessageBox(const char*, const char*) override { ++boxes; }
    int boxes = 0;
};

// A fresh SDL backend as platform(), on the test's display, fed events through SDL's own queue.
class Sdl : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = installPlatform(std::make_unique<BoxCountingPlatform>());
        ASSERT_TRUE(sdl().displayAvailable()) << "needs a display: run under xvfb-run";
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override { installPlatform(std::move(previous_)); }
    static BoxCountingPlatform& sdl() { return static_cast<BoxCountingPlatform&>(platform()); }

    static void push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1); }
    static void pushKey(SDL_Scancode key, bool down, Uint16 modifiers = KMOD_NONE, Uint8 repeat = 0,
                        SDL_Keycode symbol = 0) {
        push({.key = {Uint32(down ? SDL_KEYDOWN : SDL_KEYUP), 0, 0, 0, repeat, 0, 0, {key, symbol, modifiers, 0}}});
    }
    static std::vector<std::uintptr_t> keysOfMessages() {
        std::vector<std::uintptr_t> keys;
        for (Message message; sdl().peekMessage(message);)
            keys.push_back(message.wParam);
        return keys;
    }
    static void pushClose(Uint32 id) { push({.window = {SDL_WINDOWEVENT, 0, id, SDL_WINDOWEVENT_CLOSE, 0, 0, 0, 0, 0}}); }

    // A window with a current rendering context, made as the canvas makes it in a 32-bit mode; 0 on failure.
    WindowHandle openWindow(int width, int height, std::uint8_t bits = 8) {
        sdl().registerClass({.procedure = windowProcedure, .className = applicationProperties.windowClassName});
        const WindowHandle window = sdl().createWindow(0x40008, applicationProperties.windowClassName,
                                                       "Stimulark Window", 0x80000000, 0, 0, width, height);
        if (window == 0 || !sdl().setPixelFormat(window, {.redBits = bits, .greenBits = bits, .blueBits = bits,
                               .alphaBits = 8, .depthBits = 32, .stencilBits = 1, .auxBuffers = 4}))
            return 0;
        context = sdl().createContext(window);
        return context != 0 && sdl().makeCurrent(window, context) ? window : 0;
    }
    ContextHandle context = 0;
    std::unique_ptr<Platform> previous_;
};

// Alt makes system keys, even when SDL reports the modifier already gone at its release; AltGr (Ctrl + right Alt)
// makes plain key messages; repeats, motion and the other buttons are not queued; only our windows close.
TEST_F(Sdl, EventsBecomeMessagesAltMakesSystemKeysAndRepeatsMotionOrOtherButtonsAreNotQueued) {
    const WindowHandle window = openWindow(64, 48);
    pushKey(SDL_SCANCODE_ESCAPE, true), pushKey(SDL_SCANCODE_ESCAPE, false), pushKey(SDL_SCANCODE_LALT, true, KMOD_LALT);
    pushKey(SDL_SCANCODE_X, true, KMOD_LALT), pushKey(SDL_SCANCODE_LALT, false);
    pushKey(SDL_SCANCODE_X, true, KMOD_LCTRL | KMOD_RALT), pushKey(SDL_SCANCODE_X, true, KMOD_NONE, 1);
    push({.type = SDL_MOUSEMOTION});
    pushKey(SDL_SCANCODE_KP_DIVIDE, true);
    for (const Uint8 button : {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1})
        for (const Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP})
            push({.button = {type, 0, 0, 0, button, 0, 0, 0, 12, 34}});
    pushClose(sdl().nativeWindowId(window));
    pushClose(9999);
    push({.type = SDL_QUIT});
    std::vector<Message> messages;
    std::vector<std::pair<std::uint32_t, std::uintptr_t>> codes;
    for (Message message; sdl().peekMessage(message); codes.emplace_back(message.code, message.wParam))
        messages.push_back(message);
    ASSERT_EQ(codes, (decltype(codes){{WM_KEYDOWN, VK_ESCAPE}, {WM_KEYUP, VK_ESCAPE}, {WM_SYSKEYDOWN, VK_MENU},
                                      {WM_SYSKEYDOWN, 'X'}, {WM_SYSKEYUP, VK_MENU}, {WM_KEYDOWN, 'X'},
                                      {WM_KEYDOWN, 0x6F}, {WM_LBUTTONDOWN, 0}, {WM_LBUTTONUP, 0}, {WM_RBUTTONDOWN, 0},
                                      {WM_RBUTTONUP, 0}, {WM_MBUTTONDOWN, 0}, {WM_MBUTTONUP, 0}, {WM_CLOSE, 0},
                                      {WM_QUIT, 0}}));
    EXPECT_NE(messages[1].lParam & (std::intptr_t{1} << 31), 0) << "the release bit";
    EXPECT_EQ((std::tuple{messages[2].sideKey, messages[7].lParam, messages[13].window}),
              (std::tuple{VK_LMENU, std::intptr_t{12 | (34 << 16)}, window}));
}

TEST_F(Sdl, EitherShiftDrivesTheGenericShiftAsMessagesAreRemoved) {
    pushKey(SDL_SCANCODE_LSHIFT, true, KMOD_LSHIFT), pushKey(SDL_SCANCODE_RSHIFT, true, KMOD_SHIFT);
    pushKey(SDL_SCANCODE_LSHIFT, false, KMOD_RSHIFT), pushKey(SDL_SCANCODE_RSHIFT, false);
    sdl().pollEvents();
    // Generic shift in bit 7, left in bit 6: none before the first removal, the right one still down at the third.
    std::vector<int> downs{sdl().keyboardState()[VK_SHIFT] & 0x80};
    for (Message message; sdl().peekMessage(message) && message.wParam == VK_SHIFT;)
        downs.push_back((sdl().keyboardState()[VK_SHIFT] & 0x80) | (sdl().keyboardState()[VK_LSHIFT] & 0x80) >> 1);
    EXPECT_EQ(downs, (std::vector{0, 0xC0, 0xC0, 0x80, 0}));
}

// Letters follow the layout's symbol (German Z/Y, French A/Q and M), the rest the position: AZERTY's digit row
// still gives digits, and a Cyrillic layout's letters their Latin positions. A release matches its press.
TEST_F(Sdl, LettersFollowTheLayoutAndEverythingElseThePosition) {
    const std::tuple<SDL_Scancode, SDL_Keycode, std::uintptr_t> keys[] = {
        {SDL_SCANCODE_Z, SDLK_y, 'Y'}, {SDL_SCANCODE_Y, SDLK_z, 'Z'}, {SDL_SCANCODE_Q, SDLK_a, 'A'},
        {SDL_SCANCODE_SEMICOLON, SDLK_m, 'M'}, {SDL_SCANCODE_1, SDLK_AMPERSAND, '1'},
        {SDL_SCANCODE_A, 0x444, 'A'}, {SDL_SCANCODE_KP_5, SDLK_KP_5, 0x65}};
    std::vector<std::uintptr_t> expected;
    for (const auto& [scancode, symbol, virtualKey] : keys) {
        pushKey(scancode, true, KMOD_NONE, 0, symbol);
        pushKey(scancode, false, KMOD_NONE, 0, symbol == SDLK_y ? SDLK_z : symbol); // the layout changed meanwhile
        expected.insert(expected.end(), {virtualKey, virtualKey});
    }
    EXPECT_EQ(keysOfMessages(), expected);
}

// Each keypad digit answers as its own key code, and as no digit of the main row.
TEST_F(Sdl, KeypadDigitsReachTheirKeyCodes) {
    for (int i = 0; i < 10; ++i)
        pushKey(i == 0 ? SDL_SCANCODE_KP_0 : static_cast<SDL_Scancode>(SDL_SCANCODE_KP_1 + i - 1), true);
    resetKeyboard();
    sdl().pollEvents();
    while (sdl().queuedMessages() > 0)
        pumpMessage();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ((std::pair{Keyboard::query(KEY_PAD_0 + i, PUSHED), Keyboard::query(KEY_1 + i, PUSHED)}),
                  (std::pair{true, false})) << "keypad " << i;
}

using SdlDeathTest = Sdl; // each run in a fresh copy of this program, so that no display connection is shared

TEST_F(SdlDeathTest, CloseRequestAndAltF4EndTheProcessWithCode1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto pumpThrice = [] { pumpMessage(), pumpMessage(), pumpMessage(), _exit(3); }; // Alt, F4 posting a quit, quit
    EXPECT_EXIT((pushClose(sdl().nativeWindowId(openWindow(64, 48))), pumpThrice()), testing::ExitedWithCode(1), "");
    EXPECT_EXIT((pushKey(SDL_SCANCODE_LALT, true, KMOD_LALT), pushKey(SDL_SCANCODE_F4, true, KMOD_LALT), pumpThrice()),
                testing::ExitedWithCode(1), "");
}

// Without a display the backend keeps time and reports on standard error instead of waiting on an unseen box.
[[noreturn]] void runHeadless() {
    alarm(30); // a hang ends the child by a signal, failing the test
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "STIMULARK_NOTIFICATIONS"})
        unsetenv(name);
    BoxCountingPlatform headless;
    const std::int64_t first = headless.counterValue();
    Message message;
    headless.showNotification("Stimulark Notification", "No display.");
    std::exit(headless.counterFrequency() == 1'000'000'000 && headless.counterValue() >= first && !headless.peekMessage(
        message) && !headless.createNativeWindow(0, "w", 0, 0, 0, 64, 48) && !headless.cursorPosition().x && !headless.boxes ? 0 : 2);
}

TEST(SdlHeadlessDeathTest, RunsWithoutADisplay) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(runHeadless(), testing::ExitedWithCode(0), "Stimulark Notification: No display\\.");
}

TEST_F(Sdl, StandardErrorRouteForNotificationsWritesOneLineAndShowsNoBox) {
    const char* const saved = std::getenv("STIMULARK_NOTIFICATIONS");
    const std::string previous = saved ? saved : "";
    for (const bool stderrOnly : {true, false}) {
        stderrOnly ? setenv("STIMULARK_NOTIFICATIONS", "stderr", 1) : unsetenv("STIMULARK_NOTIFICATIONS");
        testing::internal::CaptureStderr();
        sdl().showNotification("Stimulark Notification", "Stimulark::Canvas [API] Failed.");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Stimulark Notification: Stimulark::Canvas [API] Failed.\n");
        EXPECT_EQ(sdl().boxes, stderrOnly ? 0 : 1);
    }
    saved ? setenv("STIMULARK_NOTIFICATIONS", previous.c_str(), 1) : 0;
}

// This display has no 32 depth bits: the closest format is taken. xdotool moves the pointer as a person would.
TEST_F(Sdl, FullScreenWindowGetsTheClosestFormatAContextAndThePointer) {
    const auto pointerAfterMove = [](int x, int y) {
        EXPECT_EQ(std::system(("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y)).c_str()), 0);
        sdl().pollEvents();
        return std::pair{sdl().cursorPosition().x, sdl().cursorPosition().y};
    };
    const WindowHandle window = openWindow(sdl().screenSize().x, sdl().screenSize().y);
    GLint depth = 0;
    GLubyte pixel[4] = {};
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_TRUE(depth >= 16 && pixel[0] == 255 && pixel[1] == 0 && pixel[2] == 0) << depth << " depth bits";
    sdl().showWindow(window, 1);
    EXPECT_EQ(pointerAfterMove(321, 234), (std::pair{321, 234}));
    EXPECT_EQ(pointerAfterMove(700, 20), (std::pair{700, 20}));
    EXPECT_TRUE(sdl().makeCurrent(0, 0));
    sdl().deleteContext(context);
    EXPECT_FALSE(sdl().makeCurrent(window, context)) << "a deleted context is refused";
    sdl().destroyWindow(window);
    EXPECT_EQ(pointerAfterMove(11, 22), (std::pair{11, 22})); // no window of ours: asked of the server
    EXPECT_NE(openWindow(64, 48, 16), 0u) << "unavailable colour sizes fall back";
}

} // namespace
} // namespace Stimulark
