#include "sdl_fixture.hpp"

#include <GL/gl.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace Stimulark::Testing {
namespace {

TEST(SdlNotifications, StandardErrorRouteWritesOneLineAndShowsNoBox) {
    BoxCountingPlatform backend;
    const char* saved = std::getenv("STIMULARK_NOTIFICATIONS");
    const std::string previous = saved ? saved : "";

    setenv("STIMULARK_NOTIFICATIONS", "stderr", 1);
    ::testing::internal::CaptureStderr();
    backend.showNotification("Stimulark Notification", "Stimulark::Canvas [API ERROR] Failed.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Stimulark Notification: Stimulark::Canvas [API ERROR] Failed.\n");
    EXPECT_EQ(backend.boxes, 0);

    unsetenv("STIMULARK_NOTIFICATIONS");
    ::testing::internal::CaptureStderr();
    backend.showNotification("Caption", "text");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Caption: text\n");
    EXPECT_EQ(backend.boxes, backend.displayAvailable() ? 1 : 0);

    if (saved)
        setenv("STIMULARK_NOTIFICATIONS", previous.c_str(), 1);
}

TEST(SdlProcess, CounterExecutableAndHome) {
    SdlPlatform backend;
    EXPECT_EQ(backend.counterFrequency(), 1'000'000'000);
    const std::int64_t before = backend.counterValue();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const std::int64_t elapsed = backend.counterValue() - before;
    EXPECT_GE(elapsed, 2'000'000);
    EXPECT_LT(elapsed, 2'000'000'000);
    EXPECT_EQ(std::filesystem::path(backend.executablePath()).filename(), "test_platform");
    const auto home = backend.accountHomeFolder();
    ASSERT_TRUE(home.has_value());
    EXPECT_TRUE(std::filesystem::is_directory(*home)) << *home;
}

using SdlDisplay = SdlBackendTest;

TEST_F(SdlDisplay, OnlyTheCurrentModeCanBeHad) {
    const DisplayMode current = sdl().currentDisplayMode();
    const ScreenPoint screen = sdl().screenSize();
    EXPECT_EQ(current.width, static_cast<std::uint32_t>(screen.x));
    EXPECT_EQ(current.height, static_cast<std::uint32_t>(screen.y));
    EXPECT_EQ(current.bitsPerPixel, 32u) << "24-bit depth is stored in 32-bit pixels";
    EXPECT_EQ(sdl().changeDisplayMode(&current, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);

    DisplayMode smaller = current;
    smaller.width /= 2;
    EXPECT_NE(sdl().changeDisplayMode(&smaller, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    DisplayMode shallower = current;
    shallower.bitsPerPixel = 16;
    EXPECT_NE(sdl().changeDisplayMode(&shallower, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(sdl().changeDisplayMode(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
}

TEST_F(SdlDisplay, FullScreenWindowGetsTheClosestFormatAndACompatibilityContext) {
    const WindowHandle window = openFullScreenWindow(); // 32 depth bits: none on this display
    ASSERT_NE(window, 0u);
    EXPECT_FALSE(sdl().setPixelFormat(window, canvasFormat())) << "a window's format is fixed once set";
    ASSERT_NE(glGetString(GL_VERSION), nullptr);
    GLint depth = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    EXPECT_GE(depth, 16);
    const GLuint list = glGenLists(1); // display lists: gone from core profiles
    EXPECT_NE(list, 0u);
    glDeleteLists(list, 1);

    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    GLubyte pixel[4] = {};
    glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    sdl().swapBuffers(window);

    EXPECT_TRUE(sdl().makeCurrent(0, 0));
    sdl().deleteContext(context_);
    EXPECT_FALSE(sdl().makeCurrent(window, context_)) << "a deleted context is refused";
    sdl().destroyWindow(window);
}

TEST_F(SdlDisplay, UnavailableColourSizesFallBack) {
    PixelFormatDescriptor deep = canvasFormat();
    deep.redBits = deep.greenBits = deep.blueBits = 16;
    const WindowHandle window = openWindow(10, 10, 64, 48, deep);
    ASSERT_NE(window, 0u);
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
}

// The pointer and the keys that another program sends reach the backend through
// the display server, as a person's would.
TEST_F(SdlDisplay, PointerAndKeysFromTheDisplayServer) {
    if (std::system("command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "xdotool is not installed";
    Message message;
    const auto moveAndCheck = [&](int x, int y) {
        ASSERT_EQ(std::system(("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y)).c_str()), 0);
        sdl().peekMessage(message);
        const ScreenPoint point = sdl().cursorPosition();
        EXPECT_EQ(point.x, x);
        EXPECT_EQ(point.y, y);
    };
    moveAndCheck(11, 22); // no window of ours: asked of the server
    moveAndCheck(33, 44);

    const WindowHandle window = openFullScreenWindow();
    ASSERT_NE(window, 0u);
    sdl().showWindow(window, 1);
    drain();
    moveAndCheck(321, 234);
    moveAndCheck(700, 20);

    ASSERT_EQ(std::system("xdotool key Escape"), 0);
    bool escapeDown = false;
    for (int i = 0; i < 200 && !escapeDown; ++i) {
        while (sdl().peekMessage(message))
            escapeDown = escapeDown || (message.code == WM_KEYDOWN && message.wParam == VK_ESCAPE);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(escapeDown);
}

} // namespace
} // namespace Stimulark::Testing
