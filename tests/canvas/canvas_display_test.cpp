// The canvas on the real backend (Xvfb 1024 x 768 when there is no display).

#include "display_canvas.hpp"

#include "stimulark/app/Exception.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/Platform.hpp"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace Stimulark::Testing {
namespace {

using CanvasDisplay = DisplayTest;

TEST_F(CanvasDisplay, CoversTheDisplayInItsModeBlank) {
    EXPECT_EQ(canvas->width, 1024);
    EXPECT_EQ(canvas->height, 768);
    EXPECT_EQ(canvas->colorDepth, 32);
    EXPECT_EQ(canvas->getRefreshRate(), 60.0) << "Xvfb reports no rate";
    EXPECT_EQ(canvas->getCenterX(), 511.5);
    EXPECT_EQ(canvas->getCenterY(), 383.5);
    EXPECT_EQ(Canvas::current, canvas.get());
    EXPECT_EQ(inkOf(readPixels(*canvas, 0, 0, 1024, 768), black).count, 0);
}

TEST_F(CanvasDisplay, IntegerCoordinatesNameThePixelTheyStartAt) {
    canvas->clear(Color::black, BACK_BUFFER);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_POINTS);
    glVertex2i(30, 40);
    glEnd();
    canvas->fillRect(Rectangle().set(10, 20, 10, 20), Color::white);
    Rectangle(100, 50, 139, 59).draw(Color::white);
    EXPECT_EQ(inkOf(readPixels(*canvas, 25, 35, 10, 10), black), (Ink{1, 30, 40, 30, 40}));
    EXPECT_EQ(inkOf(readPixels(*canvas, 5, 15, 10, 10), black), (Ink{1, 10, 20, 10, 20}));
    EXPECT_EQ(inkOf(readPixels(*canvas, 90, 40, 60, 30), black), (Ink{40 * 10, 100, 50, 139, 59}));
}

TEST_F(CanvasDisplay, FollowsThePointerWithTheCursorCross) {
    xdotool("mousemove 200 150");
    for (int i = 0; i < 200 && (Mouse::x != 200 || Mouse::y != 150); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(Mouse::x, 200);
    ASSERT_EQ(Mouse::y, 150);

    Mouse::showCursorCross = true;
    canvas->clear(Color::gray, BACK_BUFFER);
    canvas->flip(1);
    const PixelBlock shown = readScreen(190, 140, 21, 21, 206, 150, gray);
    for (int d = -4; d <= 4; ++d) {
        EXPECT_EQ(shown.at(200 + d, 150), white);
        EXPECT_EQ(shown.at(200, 150 + d), white);
    }
    EXPECT_EQ(std::count(shown.pixels.begin(), shown.pixels.end(), white), 17) << "arms of four";
    EXPECT_EQ(inkOf(shown, gray), (Ink{11 * 3 + 3 * 11 - 9, 195, 145, 205, 155})) << "all else black";
    EXPECT_EQ(std::count(shown.pixels.begin(), shown.pixels.end(), black), 57 - 17);
}

TEST_F(CanvasDisplay, AnEscapePressIsPushedOnce) {
    xdotool("mousemove 500 400 key Escape");
    bool pushed = false;
    for (int i = 0; i < 400 && !pushed; ++i) {
        pushed = Keyboard::query(KEY_ESCAPE, PUSHED);
        if (!pushed)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(pushed);
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(Keyboard::query(KEY_ESCAPE, PUSHED));
}

TEST_F(CanvasDisplay, FlipRefusesANonPositiveCountBeforeDrawing) {
    Mouse::showCursorCross = true;
    canvas->showFrameOverlay = true;
    canvas->clear(Color::gray, BACK_BUFFER);
    for (int frames : {0, -1}) {
        try {
            canvas->flip(frames);
            ADD_FAILURE() << "flip(" << frames << ") went through";
        } catch (const Exception& e) {
            EXPECT_EQ(e.fullMessage(), "Stimulark::Canvas [ARGUMENT ERROR] frame duration must be more than zero.");
        }
    }
    EXPECT_EQ(canvas->lastFlipFrames, 2) << "kept from the blanking flips";
    EXPECT_EQ(inkOf(readPixels(*canvas, 0, 0, 1024, 768), gray).count, 0) << "nothing drawn";
}

TEST_F(CanvasDisplay, ClearsTheSelectedBufferOnly) {
    const auto back = [&] { return readPixels(*canvas, 300, 300, 1, 1).pixels[0]; };
    const auto front = [&] { return readPixels(*canvas, 301, 300, 1, 1, true).pixels[0]; };
    canvas->clear(Color::blue, BACK_BUFFER);
    canvas->clear(Color::red, FRONT_BUFFER);
    EXPECT_EQ(front(), 0xFF0000u) << "at once, without a flip";
    canvas->fillRect(Rectangle().set(300, 300, 300, 300), Color::white);
    EXPECT_EQ(back(), white) << "drawing goes on in the back buffer";
    EXPECT_EQ(front(), 0xFF0000u);

    canvas->clear(Color::green, 3);
    EXPECT_EQ(back(), white) << "selector 3 clears nothing";
    EXPECT_EQ(front(), 0xFF0000u);
    GLfloat clearColor[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
    EXPECT_EQ(clearColor[1], 1.0f) << "but sets the clear colour";
    GLint drawBuffer = 0;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    EXPECT_EQ(drawBuffer, GL_BACK);

    canvas->setClearColor(Color::yellow);
    canvas->clear(1);
    EXPECT_EQ(back(), 0xFFFF00u) << "selector 1 clears the back buffer";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(CanvasDisplay, ShowsTheFramePanelWhenSwitchedOn) {
    canvas->countFrames = true;
    canvas->showFrameOverlay = true;
    for (int i = 0; i < 3; ++i) {
        canvas->clear(Color::gray, BACK_BUFFER);
        canvas->flip(1);
        if (i == 0) {
            EXPECT_EQ(canvas->framesRequested, 0) << "the first counted flip only arms";
        }
    }
    EXPECT_EQ(canvas->framesRequested, 3);

    const int w = canvas->width;
    const PixelBlock shown = readScreen(w - 110, 0, 110, 90, w - 101, 10, gray);
    const std::uint32_t shade = shown.at(w - 100, 1);
    EXPECT_NEAR(static_cast<int>(shade & 0xFF), 0x40, 1) << "half-transparent black over gray";
    EXPECT_EQ(inkOf(shown, gray), (Ink{99 * 77, w - 100, 1, w - 2, 77})) << "numbers inside the panel";
    for (int row = 0; row < 3; ++row) {
        const int baseline = 1 + 20 + 22 * row;
        const Ink number = inkOf(shown.part(w - 100, baseline - 16, 99, 17), shade);
        EXPECT_GT(number.count, 8) << "row " << row;
        EXPECT_EQ(number.right, w - 16) << "ends in the cell before width - 12";
    }
}

TEST_F(CanvasDisplay, ASecondCanvasOpensAndBecomesCurrent) {
    try {
        canvas->open();
        ADD_FAILURE() << "an open canvas opened again";
    } catch (Canvas::Error error) {
        EXPECT_EQ(error, 1);
    }
    canvas.reset();
    EXPECT_EQ(Canvas::current, nullptr);
    EXPECT_EQ(platform().queuedMessages(), 1u) << "the window's destroy posts a quit";

    Mouse::showCursorCross = true; // drawn by the blanking flips, before the canvas is current
    canvas = std::make_unique<Canvas>(1);
    EXPECT_EQ(Canvas::current, canvas.get());
    EXPECT_FALSE(Keyboard::query(KEY_ESCAPE, PUSHED)) << "the quit is gone; the process goes on";
    canvas->clear(Color::black, BACK_BUFFER);
    Rectangle(3.0, 3.0).centerAt(50, 50).draw(Color::white);
    EXPECT_EQ(inkOf(readPixels(*canvas, 40, 40, 20, 20), black), (Ink{9, 49, 49, 51, 51}));
}

} // namespace
} // namespace Stimulark::Testing
