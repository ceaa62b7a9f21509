// Onsets, the interval log, the swap interval, capture and timestamped input on the real backend. Xvfb has no
// retrace: swaps return at once, so the refresh rate cannot be measured there and onsets are swap completions.

#include "display_canvas.hpp"

#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/image/Image.hpp"
#include "support/Injection.hpp"

#include <vector>

namespace Stimulark::Testing {
namespace {

using CanvasTiming = DisplayTest;

TEST_F(CanvasTiming, FlipsReturnTheirOnsetsAndWithoutARetraceNoRateIsMeasured) {
    EXPECT_STREQ(canvas->onsetSource(), "swap completion");
    canvas->recordFrameIntervals(true);
    const Clock first = canvas->lastOnset;
    for (int i = 0; i < 12; ++i) {
        const Clock onset = canvas->flip(1 + i % 3);
        ASSERT_EQ(onset.ticks, canvas->lastOnset.ticks);
        ASSERT_EQ(onset.ticks, canvas->lastSwapEnd.ticks) << "onset is the swap's completion";
    }
    const std::vector<double>& log = canvas->frameIntervals();
    ASSERT_EQ(log.size(), 12u);
    double sum = 0.0;
    for (const double interval : log)
        sum += interval;
    EXPECT_NEAR(sum, (canvas->lastOnset - first).milliseconds(), 1e-3) << "the intervals join onset to onset";

    // Xvfb's GL offers no swap control, so even 0 and 1 are refused here; other values are refused everywhere.
    EXPECT_EQ((std::vector{canvas->setSwapInterval(2), canvas->setSwapInterval(-1)}), (std::vector{false, false}));
    // Windows' swap control starts at 1 and, under Wine, takes 0 even without the X server's; the measurement
    // must then put the 0 back. Where the 0 is refused, the setting stays the 0 that no swap control reads as.
    canvas->setSwapInterval(0);
    const double duration = canvas->frameDuration;
    EXPECT_EQ(canvas->measureRefreshRate(), 0.0) << "bare swaps return at once on Xvfb";
    EXPECT_EQ((std::vector{canvas->frameDuration, canvas->measuredRefreshRate}), (std::vector{duration, 0.0}));
    EXPECT_EQ(log.size(), 12u) << "the measurement records nothing";
    EXPECT_EQ(platform().swapInterval(canvas->platformPart()->window), 0) << "the setting from before is back";
    EXPECT_EQ(failureMessage([&] { canvas->measureRefreshRate(2); }),
              "Stimulark::Canvas [ARGUMENT ERROR] the number of flips must lie between 3 and 100000.");
}

// Capture holds exactly what was drawn, text and textures included, at the same coordinates, whatever the image
// held before; the panel that flip adds is not in it.
TEST_F(CanvasTiming, CaptureHoldsTheBackBufferAsDrawn) {
    Image picture(40, 30, RGBA, BYTE);
    picture.clear(Color(0.2, 0.6, 0.9, 1.0));
    picture.fill(Rectangle(0.0, 0.0, 9.0, 4.0), Color::red);
    picture.useTexture(true);
    canvas->showFrameOverlay = true;
    canvas->clear(Color::gray, BACK_BUFFER);
    canvas->drawText("Capture 123", 20.0, 40.0, Color::white, 0, -1.0);
    canvas->fillRect(Rectangle(500.0, 300.0, 520.0, 700.0), Color::green);
    picture.draw(700.0, 100.0);

    Image captured(8, 8, RGBA, FLOAT);
    captured.useTexture(true);
    canvas->capture(captured);
    EXPECT_EQ((std::vector{captured.width, captured.height, int{captured.components}, int{captured.precision},
                           int{captured.textured}}),
              (std::vector{1024, 768, int{RGB}, int{BYTE}, 0}));
    const PixelBlock drawn = readPixels(0, 0, 1024, 768);
    int differing = 0;
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            const Color c = captured.getPixel(x, y);
            const auto byte = [](double v) { return static_cast<std::uint32_t>(v * 255.0 + 0.5); };
            differing += ((byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b)) != drawn.at(x, y);
        }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(drawn.at(700, 100), 0xFF0000u) << "the picture's top-left corner";
    EXPECT_GT(inkOf(drawn, gray).count, 40 * 30 + 21 * 401 + 20) << "text, rectangle and picture are there";
}

// Keys and buttons made by the X server while the program waits in flip(3) keep the server's stamps: within a few
// milliseconds of the injection (20 allow for a busy server), where stamps taken when the program next looks would
// be 50 ms late.
TEST_F(CanvasTiming, InjectedKeysAndButtonsArriveInOrderStampedWhenTheServerGotThem) {
    movePointer(321, 123);
    Keyboard::clearEvents();
    Mouse::clearEvents();
    std::vector<Clock> sent;
    const char* keys[] = {"f", "j", "Escape"};
    for (const char* key : keys)
        for (const bool down : {true, false}) {
            canvas->flip(1);
            sent.push_back(injectKey(key, down));
            canvas->flip(3);
        }
    canvas->flip(1);
    const Clock clicked = injectButton(3, true);
    canvas->flip(3);
    const int codes[] = {KEY_F, KEY_J, KEY_ESCAPE};
    for (std::size_t i = 0; i < sent.size(); ++i) {
        KeyEvent event{};
        ASSERT_TRUE(Keyboard::nextEvent(event)) << "event " << i;
        EXPECT_EQ(std::pair(event.code, event.pressed), std::pair(codes[i / 2], i % 2 == 0)) << "event " << i;
        const double late = (event.time - sent[i]).milliseconds();
        EXPECT_TRUE(late > -1.0 && late < 20.0) << "stamped " << late << " ms after the injection";
    }
    ButtonEvent button{};
    ASSERT_TRUE(Mouse::nextEvent(button));
    EXPECT_EQ(std::tuple(button.button, button.pressed, button.x, button.y),
              std::tuple(int{RIGHT_BUTTON}, true, 321, 123));
    const double late = (button.time - clicked).milliseconds();
    EXPECT_TRUE(late > -1.0 && late < 20.0) << late << " ms";
    injectButton(3, false);
    int pushed = 0;
    for (int i = 0; i < 10; ++i) // one message per query: f and j first
        pushed += Keyboard::query(KEY_ESCAPE, PUSHED);
    EXPECT_EQ(pushed, 1) << "the messages are still there for the key rows";
}

} // namespace
} // namespace Stimulark::Testing
