// The Win32 backend on the test's display (Wine on Xvfb when there is none), fed input through SendInput.

#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/win32/Win32Platform.hpp"
#include "support/Injection.hpp"
#include "support/Scripted.hpp"

#include <gtest/gtest.h>
#include "stimulark/platform/win32/WindowsApi.hpp"

#include <array>
#include <cstdlib>
#include <tuple>
#include <vector>

namespace Stimulark::Testing {
namespace {

// A fresh Win32 backend as platform(), with a window of its own made as the canvas makes one.
class Win32 : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = installPlatform(std::make_unique<Win32Platform>());
        Clock::initializeFrequency();
        resetKeyboard();
        resetMouse();
    }
    void TearDown() override {
        if (window != 0)
            backend().destroyWindow(window);
        backend().discardMessages();
        installPlatform(std::move(previous_));
        resetKeyboard();
        resetMouse();
    }
    static Win32Platform& backend() { return static_cast<Win32Platform&>(platform()); }

    // A shown window at the screen's top left with a current rendering context, in a format with 4 aux
    // buffers and 32 depth bits, which the display may not have; 0 on failure.
    WindowHandle openWindow(int width, int height, std::uint8_t bits = 8) {
        backend().registerClass({.procedure = windowProcedure, .className = applicationProperties.windowClassName});
        window = backend().createWindow(WS_EX_TOPMOST | WS_EX_APPWINDOW, applicationProperties.windowClassName,
                                        "Stimulark Window", WS_POPUP, 0, 0, width, height);
        if (window == 0 || !backend().setPixelFormat(window, {.redBits = bits, .greenBits = bits, .blueBits = bits,
                                                              .alphaBits = 8, .depthBits = 32, .stencilBits = 1,
                                                              .auxBuffers = 4}))
            return 0;
        context = backend().createContext(window);
        if (context == 0 || !backend().makeCurrent(window, context))
            return 0;
        backend().showWindow(window, SW_SHOW);
        return window;
    }
    // Every message the backend queues until Windows' queue has been quiet for a while.
    std::vector<Message> messages() {
        std::vector<Message> taken;
        for (int quiet = 0; quiet < 50; ++quiet, Sleep(2))
            for (Message message; backend().peekMessage(message); quiet = 0)
                taken.push_back(message);
        return taken;
    }
    // Pending messages of the show, focus and pointer go before a test's own input.
    void settle() {
        movePointer(12, 34);
        messages();
        backend().discardMessages();
        resetKeyboard();
    }

    WindowHandle window = 0;
    ContextHandle context = 0;
    std::unique_ptr<Platform> previous_;
};

using Codes = std::vector<std::pair<std::uint32_t, std::uintptr_t>>;
Codes keyCodes(const std::vector<Message>& messages) {
    Codes codes;
    for (const Message& message : messages)
        codes.emplace_back(message.code, message.wParam);
    return codes;
}

// Keys come as Windows names them, Alt making system keys, with no close on Alt+F4 (the toolkit decides);
// repeats are not queued; buttons carry the pointer in the window; a close request and a quit are queued last.
TEST_F(Win32, InputBecomesMessagesAltMakesSystemKeysAndRepeatsAreNotQueued) {
    ASSERT_NE(openWindow(64, 48), 0u);
    settle();
    for (const auto& [key, down] : std::initializer_list<std::pair<const char*, bool>>{
             {"Escape", true}, {"Escape", false}, {"Alt_L", true}, {"F4", true}, {"F4", false}, {"Alt_L", false},
             {"x", true}, {"x", true}, {"x", false}})
        injectKey(key, down);
    for (const int button : {1, 3, 2})
        for (const bool down : {true, false})
            injectButton(button, down);
    const std::vector<Message> input = messages();
    Codes codes = keyCodes(input);
    ASSERT_GE(codes.size(), 14u);
    EXPECT_EQ(codes[5].second, std::uintptr_t{VK_MENU}) << "the release of Alt, whichever message Windows makes";
    codes[5].first = WM_KEYUP;
    EXPECT_EQ(codes, (Codes{{WM_KEYDOWN, VK_ESCAPE}, {WM_KEYUP, VK_ESCAPE}, {WM_SYSKEYDOWN, VK_MENU},
                            {WM_SYSKEYDOWN, VK_F4}, {WM_SYSKEYUP, VK_F4}, {WM_KEYUP, VK_MENU}, {WM_KEYDOWN, 'X'},
                            {WM_KEYUP, 'X'}, {WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0},
                            {WM_RBUTTONDOWN, MK_RBUTTON}, {WM_RBUTTONUP, 0}, {WM_MBUTTONDOWN, MK_MBUTTON},
                            {WM_MBUTTONUP, 0}}))
        << "one press of x, its repeat left out";
    EXPECT_NE(input[1].lParam & (std::intptr_t{1} << 31), 0) << "the release bit";
    EXPECT_EQ((std::tuple{input[2].sideKey, input[8].lParam, input[8].window}),
              (std::tuple{std::uint8_t{VK_LMENU}, std::intptr_t{12 | (34 << 16)}, window}));

    PostMessageA(reinterpret_cast<HWND>(window), WM_CLOSE, 0, 0);
    PostQuitMessage(3);
    const std::vector<Message> ending = messages();
    ASSERT_EQ(keyCodes(ending), (Codes{{WM_CLOSE, 0}, {WM_QUIT, 3}}));
    EXPECT_EQ(ending[0].window, window);
}

// Keys and buttons go to the logs as the backend takes them from Windows' queue, before and apart from the
// messages; one that waited in Windows' queue longer than a coarse tick is put back by its age, so a program
// spinning meanwhile gets no later stamps.
TEST_F(Win32, InputIsLoggedAsTakenAndPutBackByItsAgeAfterALongWait) {
    ASSERT_NE(openWindow(64, 48), 0u);
    settle();
    Keyboard::clearEvents();
    Mouse::clearEvents();
    const Clock pressed = injectKey("f", true);
    injectKey("f", true);
    const Clock released = injectKey("f", false);
    const Clock clicked = injectButton(3, true);
    for (const Clock start; (Clock() - start).milliseconds() < 40;) { // spins as a flip does: nothing pumps meanwhile
    }
    backend().pumpInputEvents();
    EXPECT_EQ(backend().queuedMessages(), 0u) << "nothing taken into the message queue";
    KeyRecord press, release, none;
    ASSERT_TRUE(backend().keyLog().pop(press) && backend().keyLog().pop(release));
    EXPECT_FALSE(backend().keyLog().pop(none)) << "the repeat is not logged";
    EXPECT_EQ((std::array{int{press.virtualKey}, int{press.pressed}, int{release.virtualKey}, int{release.pressed}}),
              (std::array{0x46, 1, 0x46, 0}));
    ButtonRecord button;
    ASSERT_TRUE(backend().buttonLog().pop(button));
    EXPECT_EQ((std::array{button.button, int{button.pressed}, button.x, button.y}), (std::array{1, 1, 12, 34}));
    const std::tuple<const char*, std::int64_t, Clock> stamps[] = {
        {"press", press.ticks, pressed}, {"release", release.ticks, released}, {"button", button.ticks, clicked}};
    for (const auto& [what, ticks, sent] : stamps) {
        const double late = (Clock(ticks) - sent).milliseconds();
        EXPECT_TRUE(late > -1.0 && late < 20.0) << what << " stamped " << late << " ms after it was sent";
    }
    injectButton(3, false);
    EXPECT_EQ(keyCodes(messages()).size(), 4u) << "the messages are all still there, the repeat left out";

    // A click moves the pointer to where it was made, once taken from Windows' queue, whether or not Windows'
    // own pointer has caught up (under Wine it may not have).
    Mouse::clearEvents();
    PostMessageA(reinterpret_cast<HWND>(window), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 20));
    ButtonEvent click{};
    ASSERT_TRUE(Mouse::nextEvent(click));
    EXPECT_EQ((std::array{click.x, click.y, int{Mouse::x}, int{Mouse::y}}), (std::array{40, 20, 40, 20}));
}

// Run in a fresh copy of this program, so that the environment may change: notifies once and exits.
[[noreturn]] void notifyToStandardError() {
    _putenv_s("STIMULARK_NOTIFICATIONS", "stderr");
    Win32Platform backend;
    backend.showNotification("Stimulark Notification", "Stimulark::Canvas [API] Failed.");
    std::exit(0);
}

// Routed to standard error only, a notification is one line there and no box that waits for OK.
TEST(Win32NotificationDeathTest, RoutedToStandardErrorWritesOneLineAndShowsNoBox) {
    EXPECT_EXIT(notifyToStandardError(), testing::ExitedWithCode(0),
                "^Stimulark Notification: Stimulark::Canvas \\[API\\] Failed\\.\n$");
}

// The pixel format falls back to the closest the display has (Wine's have no aux buffers); a deleted context
// is refused; the pointer is found without a window of ours.
TEST_F(Win32, FormatsFallBackDeletedContextsAreRefusedAndThePointerIsFoundWithoutAWindow) {
    ASSERT_NE(openWindow(64, 48), 0u);
    EXPECT_TRUE(backend().makeCurrent(0, 0));
    backend().deleteContext(context);
    EXPECT_FALSE(backend().makeCurrent(window, context)) << "a deleted context is refused";
    EXPECT_FALSE(backend().setSwapInterval(window, 0)) << "no swap control without a current context";
    backend().destroyWindow(std::exchange(window, 0));
    movePointer(11, 22);
    EXPECT_EQ((std::pair{backend().cursorPosition().x, backend().cursorPosition().y}), (std::pair{11, 22}));
    EXPECT_NE(openWindow(64, 48, 5), 0u) << "unavailable colour sizes fall back";
}

// Wine on Xvfb cannot read the display's gamma ramp (GetDeviceGammaRamp fails there): the backend says so, and
// a canvas reports it as it reports a refused ramp anywhere, writing nothing. Where the ramp can be read, a
// written ramp is read back and the old one is put back at close.
TEST_F(Win32, TheGammaRampIsReadAndWrittenWhereWindowsCanAndOtherwiseTheCanvasReportsTheFailure) {
    std::array<std::uint16_t, 768> before{}, dim{}, after{};
    for (std::size_t i = 0; i < dim.size(); ++i)
        dim[i] = static_cast<std::uint16_t>((i % 256) * 128);
    const auto windowsRamp = [](WindowHandle of, std::array<std::uint16_t, 768>& ramp) {
        HDC device = GetDC(reinterpret_cast<HWND>(of));
        const bool read = GetDeviceGammaRamp(device, ramp.data()) != FALSE;
        ReleaseDC(reinterpret_cast<HWND>(of), device);
        return read;
    };
    bool windowsReads = false;
    {
        Canvas canvas(0);
        APICanvasProperties& api = *canvas.platformPart();
        windowsReads = windowsRamp(api.window, before);
        EXPECT_EQ(platform().getGammaRamp(api.window, after.data()), windowsReads);
        if (!windowsReads) {
            EXPECT_EQ(failureMessage([&] { api.setGammaRamp(dim.data()); }),
                      "Stimulark::APICanvasProperties [API ERROR] Failed to set color calibration table for the "
                      "video renderer.");
            EXPECT_EQ(std::pair(api.lastGammaResult, api.gammaRampSaved), std::pair(0, false));
        } else {
            api.gammaRampState = 1;
            EXPECT_EQ(failureMessage([&] { api.setGammaRamp(dim.data()); }), "no failure");
            ASSERT_TRUE(platform().getGammaRamp(api.window, after.data()));
            EXPECT_EQ(after, dim);
        }
    }
    if (windowsReads) {
        EXPECT_TRUE(windowsRamp(0, after));
        EXPECT_EQ(after, before) << "the ramp from before is back";
    }
}

} // namespace
} // namespace Stimulark::Testing
