#include "sdl_fixture.hpp"

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace Stimulark::Testing {
namespace {

// Each death test runs in a freshly started copy of this program, so that no
// display connection is shared with the parent.
class FreshChildStyle {
public:
    FreshChildStyle() : saved_(GTEST_FLAG_GET(death_test_style)) { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    ~FreshChildStyle() { GTEST_FLAG_SET(death_test_style, saved_); }

private:
    std::string saved_;
};

class SdlExit : public SdlBackendTest {
    FreshChildStyle style_;
};

class SdlHeadless : public ::testing::Test {
    FreshChildStyle style_;
};

TEST_F(SdlExit, CloseRequestEndsTheProcessWithCode1) {
    EXPECT_EXIT(
        {
            const WindowHandle window = openWindow(0, 0, 64, 48);
            if (window == 0)
                _exit(2);
            pushCloseRequest(sdl().nativeWindowId(window));
            for (int i = 0; i < 100; ++i)
                pumpMessage();
            _exit(3);
        },
        ::testing::ExitedWithCode(1), "");
}

TEST_F(SdlExit, AltF4EndsTheProcessOnThePumpAfterTheKey) {
    EXPECT_EXIT(
        {
            pushKey(SDL_SCANCODE_LALT, true, KMOD_LALT);
            pushKey(SDL_SCANCODE_F4, true, KMOD_LALT);
            pumpMessage(); // Alt
            pumpMessage(); // F4: asks to quit
            if (sdl().queuedMessages() != 1)
                _exit(2);
            pumpMessage();
            _exit(3);
        },
        ::testing::ExitedWithCode(1), "");
}

// Without a display the toolkit starts, keeps time, reports on standard error
// and ends normally instead of waiting for a box nobody can see.
TEST_F(SdlHeadless, RunsWithoutADisplay) {
    EXPECT_EXIT(
        {
            alarm(30); // a hang ends the child by a signal, failing the test
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("SDL_VIDEODRIVER");
            unsetenv("STIMULARK_NOTIFICATIONS");
            auto backend = std::make_unique<BoxCountingPlatform>();
            BoxCountingPlatform& headless = *backend;
            auto previous = installPlatform(std::move(backend));
            const std::int64_t first = headless.counterValue();
            const bool counts = headless.counterFrequency() == 1'000'000'000 && headless.counterValue() >= first;
            Message message;
            const bool quiet = !headless.peekMessage(message) && headless.cursorPosition().x == 0 &&
                               headless.screenSize().x == 0;
            DisplayMode mode;
            mode.fields = DM_PELSWIDTH | DM_PELSHEIGHT;
            mode.width = 1024;
            mode.height = 768;
            const bool refused = headless.changeDisplayMode(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL &&
                                 headless.createNativeWindow(0, "w", 0, 0, 0, 64, 48) == 0;
            pumpMessage();
            headless.showNotification("Stimulark Notification", "Stimulark::Clock [HEADLESS] No display.");
            if (!counts || !quiet || !refused || headless.boxes != 0)
                _exit(2);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "Stimulark Notification: Stimulark::Clock \\[HEADLESS\\] No display\\.");
}

} // namespace
} // namespace Stimulark::Testing
