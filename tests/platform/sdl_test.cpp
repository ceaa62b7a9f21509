#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/sdl/SdlPlatform.hpp"
#include "stimulark/platform/sdl/SdlPresentation.hpp"
#include "stimulark/platform/sdl/SdlX11Events.hpp"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>
// After GoogleTest, whose names X11's macros (None, Bool) would break.
#include <SDL2/SDL_syswm.h>
#include <unistd.h>

#include <cstdlib>

namespace Stimulark {
namespace {

// Counts the boxes a notification would show instead of showing them.
struct BoxCountingPlatform : SdlPlatform {
    void showMessageBox(const char*, const char*) override { ++boxes; }
    int boxes = 0;
};

SDL_Event key(SDL_Scancode scancode, bool down, Uint16 modifiers = KMOD_NONE, Uint8 repeat = 0,
              SDL_Keycode symbol = 0) {
    return {.key = {Uint32(down ? SDL_KEYDOWN : SDL_KEYUP), 0, 0, 0, repeat, 0, 0, {scancode, symbol, modifiers, 0}}};
}
SDL_Event button(Uint32 type, Uint8 which) { return {.button = {type, 0, 0, 0, which, 0, 0, 0, 12, 34}}; }
SDL_Event closeRequest(Uint32 id) { return {.window = {SDL_WINDOWEVENT, 0, id, SDL_WINDOWEVENT_CLOSE, 0, 0, 0, 0, 0}}; }

// A fresh SDL backend as platform(), on the test's display, fed events through SDL's own queue.
class Sdl : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = installPlatform(std::make_unique<BoxCountingPlatform>());
        resetKeyboard();
        ASSERT_TRUE(sdl().displayAvailable()) << "needs a display: run under xvfb-run";
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override { installPlatform(std::move(previous_)); }
    static BoxCountingPlatform& sdl() { return static_cast<BoxCountingPlatform&>(platform()); }

    static void push(std::initializer_list<SDL_Event> events) {
        for (SDL_Event event : events)
            ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

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

// Alt makes system keys (Alt+F4 asks to quit), even when SDL reports the modifier already gone at its release;
// AltGr (Ctrl + right Alt) makes plain key messages; repeats, motion and the other buttons are not queued; only
// our windows close. A message that ends the process is checked with the scripted backend.
TEST_F(Sdl, EventsBecomeMessagesAltMakesSystemKeysAndRepeatsMotionOrOtherButtonsAreNotQueued) {
    const WindowHandle window = openWindow(64, 48);
    push({key(SDL_SCANCODE_ESCAPE, true), key(SDL_SCANCODE_ESCAPE, false), key(SDL_SCANCODE_LALT, true, KMOD_LALT),
          key(SDL_SCANCODE_F4, true, KMOD_LALT), key(SDL_SCANCODE_LALT, false),
          key(SDL_SCANCODE_X, true, KMOD_LCTRL | KMOD_RALT), key(SDL_SCANCODE_X, true, KMOD_NONE, 1),
          {.type = SDL_MOUSEMOTION}, key(SDL_SCANCODE_KP_DIVIDE, true)});
    for (const Uint8 which : {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1})
        push({button(SDL_MOUSEBUTTONDOWN, which), button(SDL_MOUSEBUTTONUP, which)});
    push({closeRequest(sdl().nativeWindowId(window)), closeRequest(9999), {.type = SDL_QUIT}});
    std::vector<Message> taken;
    std::vector<std::pair<std::uint32_t, std::uintptr_t>> codes;
    for (Message message; sdl().peekMessage(message);) {
        taken.push_back(message);
        codes.emplace_back(message.code, message.wParam);
    }
    ASSERT_EQ(codes, (decltype(codes){{WM_KEYDOWN, VK_ESCAPE}, {WM_KEYUP, VK_ESCAPE}, {WM_SYSKEYDOWN, VK_MENU},
                                      {WM_SYSKEYDOWN, VK_F4}, {WM_SYSKEYUP, VK_MENU}, {WM_KEYDOWN, 'X'},
                                      {WM_KEYDOWN, 0x6F}, {WM_LBUTTONDOWN, 0}, {WM_LBUTTONUP, 0}, {WM_RBUTTONDOWN, 0},
                                      {WM_RBUTTONUP, 0}, {WM_MBUTTONDOWN, 0}, {WM_MBUTTONUP, 0}, {WM_CLOSE, 0},
                                      {WM_QUIT, 0}}));
    EXPECT_NE(taken[1].lParam & (std::intptr_t{1} << 31), 0) << "the release bit";
    EXPECT_EQ((std::tuple{taken[2].sideKey, taken[7].lParam, taken[13].window}),
              (std::tuple{VK_LMENU, std::intptr_t{12 | (34 << 16)}, window}));
}

TEST_F(Sdl, EitherShiftDrivesTheGenericShiftAsMessagesAreRemoved) {
    push({key(SDL_SCANCODE_LSHIFT, true, KMOD_LSHIFT), key(SDL_SCANCODE_RSHIFT, true, KMOD_SHIFT),
          key(SDL_SCANCODE_LSHIFT, false, KMOD_RSHIFT), key(SDL_SCANCODE_RSHIFT, false)});
    sdl().pollEvents();
    // Generic shift in bit 7, left in bit 6: none before the first removal, the right one still down at the third.
    std::vector<int> downs{sdl().keyboardState()[VK_SHIFT] & 0x80};
    for (Message message; sdl().peekMessage(message) && message.wParam == VK_SHIFT;)
        downs.push_back((sdl().keyboardState()[VK_SHIFT] & 0x80) | (sdl().keyboardState()[VK_LSHIFT] & 0x80) >> 1);
    EXPECT_EQ(downs, (std::vector{0, 0xC0, 0xC0, 0x80, 0}));
}

// Letters follow the layout's symbol (German Z/Y, French A/Q and M), the rest the position: AZERTY's digit row
// still gives digits, a Cyrillic layout's letters their Latin positions, and each keypad digit its own key code.
// A release matches its press, though the layout changed meanwhile.
TEST_F(Sdl, LettersFollowTheLayoutEverythingElseThePositionAndReleasesTheirPress) {
    std::vector<std::tuple<SDL_Scancode, SDL_Keycode, int>> keys = {
        {SDL_SCANCODE_Z, SDLK_y, KEY_Y}, {SDL_SCANCODE_Y, SDLK_z, KEY_Z}, {SDL_SCANCODE_Q, SDLK_a, KEY_A},
        {SDL_SCANCODE_SEMICOLON, SDLK_m, KEY_M}, {SDL_SCANCODE_1, SDLK_AMPERSAND, KEY_1},
        {SDL_SCANCODE_A, 0x444, KEY_A}};
    for (int i = 0; i < 10; ++i) {
        const auto pad = i == 0 ? SDL_SCANCODE_KP_0 : static_cast<SDL_Scancode>(SDL_SCANCODE_KP_1 + i - 1);
        keys.emplace_back(pad, SDL_SCANCODE_TO_KEYCODE(pad), KEY_PAD_0 + i);
    }
    for (const auto& [scancode, symbol, code] : keys) {
        push({key(scancode, true, KMOD_NONE, 0, symbol)});
        EXPECT_TRUE(Keyboard::query(code, PUSHED)) << code;
        push({key(scancode, false, KMOD_NONE, 0, symbol == SDLK_y ? SDLK_z : symbol)});
        EXPECT_TRUE(Keyboard::query(code, RELEASED)) << code;
    }
}

// Run in a fresh copy of this program, so that the environment may change: notifies once and exits with the
// number of boxes shown. Without a display the clock still runs, but nothing may reach for SDL: no message,
// pointer or window.
[[noreturn]] void notifyAndExitWithTheBoxes(const char* route, bool display) {
    alarm(30); // a hang ends the child by a signal, failing the test
    setenv("STIMULARK_NOTIFICATIONS", route, 1);
    if (!display)
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"})
            unsetenv(name);
    BoxCountingPlatform backend;
    Message message;
    if (!display && (backend.counterValue() <= 0 || backend.peekMessage(message) || backend.cursorPosition().x != 0 ||
                     backend.createNativeWindow(0, "w", 0, 0, 0, 64, 48) != 0))
        std::exit(9);
    backend.showNotification("Stimulark Notification", "Stimulark::Canvas [API] Failed.");
    std::exit(backend.boxes);
}

// One line on standard error always; the box that waits for OK only where it can be seen, unless the route
// is standard error only.
TEST(SdlNotificationDeathTest, WriteOneLineAndShowABoxOnlyWhereItCanBeSeenAndIsWanted) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::tuple<const char*, bool, int> cases[] = {{"stderr", true, 0}, {"", true, 1}, {"", false, 0}};
    for (const auto& [route, display, boxes] : cases)
        EXPECT_EXIT(notifyAndExitWithTheBoxes(route, display), testing::ExitedWithCode(boxes),
                    "^Stimulark Notification: Stimulark::Canvas \\[API\\] Failed\\.\n$")
            << "route '" << route << "', display " << display;
}

// Key and button events are logged as SDL queues them, before and apart from the messages: no repeats, no other
// buttons. A key whose X event came first carries the server's time; one without it, the time it was pumped.
TEST_F(Sdl, InputIsLoggedAsQueuedWithTheServersTimeWhereItCameFirst) {
    Clock::initializeFrequency();
    openWindow(64, 48);
    const Clock before;
    SDL_SysWMmsg native{};
    native.subsystem = SDL_SYSWM_X11;
    native.msg.x11.event.type = KeyPress;
    native.msg.x11.event.xkey.time = static_cast<Time>(before.ticks / 1'000'000 - 20); // 20 ms ago
    SDL_Event system{};
    system.syswm = {SDL_SYSWMEVENT, 0, &native};
    push({system, key(SDL_SCANCODE_F, true, KMOD_NONE, 0, SDLK_f), key(SDL_SCANCODE_F, true, KMOD_NONE, 1, SDLK_f),
          key(SDL_SCANCODE_F, false, KMOD_NONE, 0, SDLK_f), button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1),
          button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE)});
    const Clock after;
    EXPECT_EQ(sdl().queuedMessages(), 0u) << "nothing taken into the message queue";
    KeyRecord press, release, none;
    ASSERT_TRUE(sdl().keyLog().pop(press) && sdl().keyLog().pop(release));
    EXPECT_FALSE(sdl().keyLog().pop(none)) << "the repeat is not logged";
    EXPECT_EQ((std::array{int{press.virtualKey}, int{press.pressed}, int{release.virtualKey}, int{release.pressed}}),
              (std::array{0x46, 1, 0x46, 0}));
    EXPECT_NEAR((before - Clock(press.ticks)).milliseconds(), 20.0, 1.0) << "the server's time";
    EXPECT_TRUE(release.ticks >= before.ticks && release.ticks <= after.ticks) << "pumped now";
    ButtonRecord button;
    ASSERT_TRUE(sdl().buttonLog().pop(button));
    EXPECT_EQ((std::array{button.button, int{button.pressed}, button.x, button.y}), (std::array{2, 1, 12, 34}));
    EXPECT_FALSE(sdl().buttonLog().pop(button)) << "X1 is no button of the toolkit";
}

// The server's 32-bit milliseconds are placed on the monotonic clock across a wrap; stamps from the future or
// more than ten minutes old are not the same clock.
TEST(ServerTime, LandsInTheMiddleOfItsMillisecondNeverAfterNowAndRefusesOtherClocks) {
    constexpr std::int64_t ms = 1'000'000, wrapped = (std::int64_t{1} << 32) + 10;
    const std::tuple<std::uint32_t, std::int64_t, std::int64_t> cases[] = { // server ms, now, monotonic (-1: refused)
        {4990, 5000 * ms + ms / 5, 4990 * ms + ms / 2}, {5000, 5000 * ms + ms / 5, 5000 * ms + ms / 5},
        {0xFFFFFFFBu, wrapped * ms, (wrapped - 15) * ms + ms / 2}, {5001, 5000 * ms, -1}, {0, 600'001 * ms, -1},
        {4'294'967'000u, 100 * ms, -1}};
    for (const auto& [server, now, monotonic] : cases)
        EXPECT_EQ(serverTimeToMonotonic(server, now), monotonic) << server << " at " << now / ms << " ms";
}

// A frame callback's 32-bit milliseconds land in the middle of their millisecond, before or after now, across the
// wrap. Reports wait in order, and a full ring gives up the oldest.
TEST(PresentationReports, RepaintStampsUnwrapAroundNowAndAFullRingDropsTheOldest) {
    constexpr std::int64_t ms = 1'000'000, wrap = std::int64_t{1} << 32;
    const std::tuple<std::uint32_t, std::int64_t, std::int64_t> cases[] = { // stamp ms, now, ticks
        {4990, 5000 * ms + ms / 5, 4990 * ms + ms / 2}, {5003, 5000 * ms, 5003 * ms + ms / 2},
        {0xFFFFFFFBu, (wrap + 10) * ms, (wrap - 5) * ms + ms / 2}, {12, (wrap - 10) * ms, (wrap + 12) * ms + ms / 2}};
    for (const auto& [stamp, now, ticks] : cases)
        EXPECT_EQ(repaintMillisecondsToTicks(stamp, now), ticks) << stamp << " at " << now / ms << " ms";

    ReportRing ring;
    for (std::uint64_t swap = 0; swap < ReportRing::capacity + 2; ++swap)
        ring.push({.swap = swap});
    std::array<PresentationReport, ReportRing::capacity + 1> out;
    ASSERT_EQ(ring.take(out.data(), 1), 1u);
    ASSERT_EQ(ring.take(out.data() + 1, out.size()), ReportRing::capacity - 1);
    EXPECT_EQ((std::array{out[0].swap, out[1].swap, out[ReportRing::capacity - 1].swap}),
              (std::array<std::uint64_t, 3>{2, 3, ReportRing::capacity + 1}));
    EXPECT_TRUE(ring.empty());
}

// Xvfb's GL has no OML sync control, the one source on X11: nothing is asked, and taking returns at once.
TEST_F(Sdl, OnXvfbNoReportIsAskedAndTakingReturnsAtOnce) {
    const WindowHandle window = openWindow(64, 48);
    ASSERT_NE(window, 0u);
    sdl().showWindow(window, 1);
    EXPECT_EQ(sdl().requestPresentationReports(window, 1, presentationFeedback | compositorRepaint), 0u);
    sdl().swapBuffers(window);
    PresentationReport report;
    const std::int64_t before = sdl().counterValue();
    EXPECT_EQ(sdl().takePresentationReports(window, &report, 1, before + 500'000'000), 0u);
    EXPECT_LT(sdl().counterValue() - before, 50'000'000);
    sdl().destroyWindow(window);
}

// Drawing in the closest format this display has (no 32 depth bits) and the pointer over a window of ours are
// checked with the canvas. xdotool moves the pointer as a person would.
TEST_F(Sdl, DeletedContextsAreRefusedThePointerIsFoundWithoutAWindowAndColourSizesFallBack) {
    const WindowHandle window = openWindow(64, 48);
    EXPECT_TRUE(sdl().makeCurrent(0, 0));
    sdl().deleteContext(context);
    EXPECT_FALSE(sdl().makeCurrent(window, context)) << "a deleted context is refused";
    sdl().destroyWindow(window);
    ASSERT_EQ(std::system("xdotool mousemove 11 22"), 0);
    sdl().pollEvents();
    EXPECT_EQ((std::pair{sdl().cursorPosition().x, sdl().cursorPosition().y}), (std::pair{11, 22}));
    EXPECT_NE(openWindow(64, 48, 16), 0u) << "unavailable colour sizes fall back";
}

// A program that only polls, for long enough that the backend tidies up after Xlib on SDL's connection,
// finds nothing queued by that and still gets a key pressed afterwards. xdotool presses it as a person would.
TEST_F(Sdl, PollingWithoutDrawingQueuesNothingAndKeysStillArrive) {
    const WindowHandle window = openWindow(64, 48);
    ASSERT_NE(window, 0u);
    sdl().showWindow(window, 1);
    sdl().discardMessages();
    Message message;
    for (int look = 0; look < 100; ++look)
        ASSERT_FALSE(sdl().peekMessage(message)) << "look " << look;
    ASSERT_EQ(std::system("xdotool key Escape"), 0);
    bool pushed = false;
    for (int look = 0; look < 2000 && !pushed; ++look) {
        pushed = Keyboard::query(KEY_ESCAPE, PUSHED);
        if (!pushed)
            usleep(1000);
    }
    EXPECT_TRUE(pushed);
    sdl().destroyWindow(window);
}

} // namespace
} // namespace Stimulark
