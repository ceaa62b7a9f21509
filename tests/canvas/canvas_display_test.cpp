// The canvas on the real backend (Xvfb 1024 x 768 when there is no display): drawing, text, the panels, onsets,
// capture and timestamped input. Xvfb has no retrace: swaps return at once, so the refresh rate cannot be measured
// there and onsets are swap completions.

#include "display_canvas.hpp"

#include "image/ImageTesting.hpp"
#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/Fonts.hpp"
#include "stimulark/file/File.hpp"
#include "support/Injection.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <numeric>
#include <string_view>
#include <tuple>
#include <vector>

namespace Stimulark::Testing {
namespace {

constexpr const char* demoLine = "Move mouse to change the velocity";

class CanvasDisplay : public DisplayTest {
protected:
    // What `draw` leaves in the canvas's top 420 rows, on black.
    PixelBlock drawn(const std::function<void()>& draw) {
        canvas->clear(Color::black, BACK_BUFFER);
        draw();
        return readPixels(0, 0, canvas->width, 420);
    }
    int text(const char* s, double x, double y, int alignment = 0, double maxWidth = -1.0) {
        return canvas->drawText(s, x, y, Color::white, alignment, maxWidth);
    }
    static int advance(std::string_view s) {
        return std::accumulate(s.begin(), s.end(), 0, [](int w, unsigned char c) { return w + glyphWidths[c] + 1; });
    }
};

TEST_F(CanvasDisplay, CoversTheDisplayBlankWithAPixelExactProjectionAndRefusesNonPositiveFlips) {
    EXPECT_EQ((std::tuple{canvas->width, canvas->height, canvas->colorDepth, canvas->getRefreshRate(),
                          canvas->getCenterX(), canvas->getCenterY()}),
              (std::tuple{1024, 768, 32, 60.0, 511.5, 383.5})) << "Xvfb reports no rate";
    Mouse::showCursorCross = canvas->showFrameOverlay = true;
    for (int frames : {0, -1})
        EXPECT_EQ(failureMessage([&] { canvas->flip(frames); }),
                  "Stimulark::Canvas [ARGUMENT ERROR] frame duration must be more than zero.");
    EXPECT_EQ(canvas->lastFlipFrames, 2) << "kept from the blanking flips";
    EXPECT_EQ(inkIn(0, 0, 1024, 768, black).count, 0) << "blank, and a refused flip draws nothing";
    // Integer coordinates name the pixel they start at; rectangles include their far edges.
    glColor4f(1, 1, 1, 1);
    glBegin(GL_POINTS);
    glVertex2i(30, 40);
    glEnd();
    canvas->fillRect(Rectangle().set(10, 20, 10, 20), Color::white);
    Rectangle(100, 50, 139, 59).draw(Color::white);
    EXPECT_EQ(inkIn(25, 35, 10, 10, black), (Ink{1, 30, 40, 30, 40}));
    EXPECT_EQ(inkIn(5, 15, 10, 10, black), (Ink{1, 10, 20, 10, 20}));
    EXPECT_EQ(inkIn(90, 40, 60, 30, black), (Ink{40 * 10, 100, 50, 139, 59}));
}

TEST_F(CanvasDisplay, ClearsTheSelectedBufferOnly) {
    const auto shown = [] { return std::array{pixelAt(300, 300), readPixels(301, 300, 1, 1, true).pixels[0]}; };
    canvas->clear(Color::red, FRONT_BUFFER);
    canvas->fillRect(Rectangle().set(300, 300, 300, 300), Color::white);
    EXPECT_EQ(shown(), (std::array{white, 0xFF0000u})) << "the front at once; drawing goes on in the back";
    canvas->clear(Color::green, 3);
    EXPECT_EQ(shown(), (std::array{white, 0xFF0000u})) << "selector 3 clears nothing";
    canvas->setClearColor(Color::yellow);
    canvas->clear(1);
    EXPECT_EQ(shown()[0], 0xFFFF00u) << "selector 1 clears the back buffer";
}

TEST_F(CanvasDisplay, ShowsTheFramePanelWhenSwitchedOn) {
    canvas->countFrames = canvas->showFrameOverlay = true;
    for (int i = 0; i < 3; ++i) {
        canvas->clear(Color::gray, BACK_BUFFER);
        canvas->flip(1);
    }
    const PixelBlock shown = readScreen(914, 0, 110, 90, 923, 10, gray);
    const std::uint32_t shade = shown.at(924, 1);
    EXPECT_NEAR(static_cast<int>(shade & 0xFF), 0x40, 1) << "half-transparent black over gray";
    EXPECT_EQ(inkOf(shown, gray), (Ink{99 * 77, 924, 1, 1022, 77})) << "numbers inside the panel";
    for (int baseline : {21, 43, 65}) {
        const Ink number = inkOf(readScreen(924, baseline - 16, 99, 17, 924, baseline - 16, shade), shade);
        EXPECT_GT(number.count, 8) << "row on " << baseline;
        EXPECT_EQ(number.right, 1008) << "ends in the cell before width - 12";
    }
    // The interval row warns: cyan for a frame that stayed a whole period longer than asked, red once frames were
    // counted as dropped.
    canvas->countFrames = false; // the fields set below stay as they are
    const std::tuple<int, double, std::uint32_t> rows[] = {{0, 20.0, white}, {0, 30.0, 0x00FFFF}, {1, 5.0, 0xFF0000}};
    for (const auto& [dropped, interval, colour] : rows) {
        canvas->lastDropped = dropped;
        canvas->lastFrameInterval = interval;
        canvas->clear(Color::gray, BACK_BUFFER);
        canvas->flip(1);
        // the top segment of the last digit ('5' or '0'), once the display shows it or a second has passed
        EXPECT_EQ(readScreen(1004, 49, 1, 1, 1004, 49, colour).pixels[0], colour) << dropped << " dropped, " << interval
                                                                                 << " ms";
    }
}

// A canvas opens once. One opened after the last closed becomes current, and the quit that the closed
// window posted does not end the process; whichever of two open canvases closes first, the other goes on.
TEST_F(CanvasDisplay, OpensOnceAndAnotherCanvasTakesOverAsCurrent) {
    try { canvas->open(); ADD_FAILURE() << "an open canvas refuses to open again"; }
    catch (Canvas::Error e) { EXPECT_EQ(e, 1); }
    const auto drawsASquare = [](Canvas& current) {
        EXPECT_EQ(Canvas::current, &current);
        current.clear(Color::black, BACK_BUFFER);
        Rectangle(3.0, 3.0).centerAt(50, 50).draw(Color::white);
        EXPECT_EQ(inkIn(40, 40, 20, 20, black), (Ink{9, 49, 49, 51, 51}));
    };
    canvas.reset();
    EXPECT_EQ(Canvas::current, nullptr);
    EXPECT_EQ(platform().queuedMessages(), 1u) << "the window's destroy posts a quit";
    Mouse::showCursorCross = true; // drawn by the blanking flips, before the canvas is current
    canvas = std::make_unique<Canvas>(1);
    EXPECT_FALSE(Keyboard::query(KEY_ESCAPE, PUSHED)) << "the quit is gone; the process goes on";
    drawsASquare(*canvas);
    auto other = std::make_unique<Canvas>(0);
    other.reset();
    drawsASquare(*canvas);
    other = std::make_unique<Canvas>(0);
    canvas.reset();
    drawsASquare(*other);
    canvas = std::move(other);
}

// Each text against its lines drawn one by one, so the cases hold whatever the glyphs look like.
TEST_F(CanvasDisplay, TextBreaksAtLineEndsAndOverflowAlignsAndShowsForeignBytesAsTheDot) {
    int lines = 0;
    const Ink ink = inkOf(drawn([&] { lines = text(demoLine, 100, 100); }), black);
    EXPECT_EQ((std::array{lines, advance(demoLine)}), (std::array{1, 223}));
    EXPECT_EQ((std::array{ink.left, ink.top, ink.right, ink.bottom}), (std::array{100, 100 - 6, 100 + 223 - 2, 100}))
        << "capitals six rows up, descenders on row 100, one blank column in the last y's advance";
    const struct { const char* text; double x; int alignment; double maxWidth; std::vector<const char*> lines; }
        cases[] = {
        {"ab\ncd", 50, 0, -1, {"ab", "cd"}}, {"ab\r\ncd", 50, 0, -1, {"ab", "cd"}}, {"ab\rcd", 50, 0, -1, {"ab", "cd"}},
        {"ab\n\ncd", 50, 0, -1, {"ab", "\x01" "cd"}}, // one line end at a time: the second shows as the dot
        {"ab\n", 50, 0, -1, {"ab", ""}}, {"\x80x\xff", 60, 0, -1, {"\x01x\x01"}}, {"abc", 300, 2, -1, {"abc"}},
        {"aaaaaa", 40, 0, 28, {"aaaa", "aa"}},      // 7 pixels a glyph; a line breaks once wider
        {"aaaaa", 40, 0, 27, {"aaa", "aa"}},        // than maxWidth - 7
        {"aaaaaaaa", 20, 1, -1, {"aaaaa", "aaa"}},  // centred: 20 pixels each side of x
        {demoLine, 512, 1, -1, {demoLine}},         // room enough in the middle
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const PixelBlock whole = drawn([&] { lines = text(c.text, c.x, 200, c.alignment, c.maxWidth); });
        EXPECT_EQ(lines, static_cast<int>(c.lines.size()));
        EXPECT_GT(inkOf(whole, black).count, 8);
        EXPECT_TRUE(whole == drawn([&] {
            for (std::size_t i = 0; i < c.lines.size(); ++i)
                text(c.lines[i], c.x - advance(c.lines[i]) * c.alignment * 0.5, 200 + 10.0 * i);
        }));
    }
}

TEST_F(CanvasDisplay, SegmentDigitsFillTwelvePixelCells) {
    const auto digits = [&](double x, bool forward) { canvas->drawSegmentText("120", x, 400, Color::white, forward); };
    const PixelBlock backward = drawn([&] { digits(1012, false); });
    EXPECT_TRUE(backward == drawn([&] { digits(976, true); }));
    EXPECT_EQ(inkOf(backward, black), (Ink{91, 984, 384, 1008, 400})) << "16 rows up from 400, inside the cells";
    // 7 pixels a segment: '1' is the two right ones, '2' five, '0' six.
    const Ink cells[] = {{14, 984, 385, 984, 399}, {35, 988, 384, 996, 400}, {42, 1000, 384, 1008, 400}};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(inkIn(976 + 12 * i, 380, 12, 25, black), cells[i]) << "cell at " << 976 + 12 * i;
}

using CanvasTiming = DisplayTest;

TEST_F(CanvasTiming, FlipsReturnTheirOnsetsAndWithoutARetraceNoRateIsMeasured) {
    EXPECT_STREQ(canvas->onsetSource(), "swap completion");
    canvas->recordFrameIntervals(true);
    const Clock first = canvas->lastOnset;
    double sum = 0.0;
    for (int frames = 1; frames <= 3; ++frames) {
        const Clock onset = canvas->flip(frames);
        ASSERT_EQ(onset.ticks, canvas->lastSwapEnd.ticks) << "onset is the swap's completion";
        sum += canvas->frameIntervals().back();
    }
    EXPECT_NEAR(sum, (canvas->lastOnset - first).milliseconds(), 1e-3) << "the intervals join onset to onset";

    // Xvfb's GL offers no swap control, so even 0 and 1 are refused here; other values are refused everywhere.
    EXPECT_EQ((std::vector{canvas->setSwapInterval(2), canvas->setSwapInterval(-1)}), (std::vector{false, false}));
    // Windows' swap control starts at 1 and, under Wine, takes 0 even without the X server's; the measurement
    // must then put the 0 back. Where the 0 is refused, the setting stays the 0 that no swap control reads as.
    canvas->setSwapInterval(0);
    const double duration = canvas->frameDuration;
    EXPECT_EQ(canvas->measureRefreshRate(), 0.0) << "bare swaps return at once on Xvfb";
    EXPECT_EQ((std::vector{canvas->frameDuration, canvas->measuredRefreshRate}), (std::vector{duration, 0.0}));
    EXPECT_EQ(canvas->frameIntervals().size(), 3u) << "one per flip; the measurement records nothing";
    EXPECT_EQ(platform().swapInterval(canvas->platformPart()->window), 0) << "the setting from before is back";
    EXPECT_EQ(failureMessage([&] { canvas->measureRefreshRate(2); }),
              "Stimulark::Canvas [ARGUMENT ERROR] the number of flips must lie between 3 and 100000.");
}

// Keys and buttons still waiting in the window system when the canvas closes are kept, with their stamps.
TEST_F(CanvasTiming, InputWaitingWhenTheCanvasClosesIsKept) {
    for (int i = 0; i < 3; ++i) // the window takes the focus meanwhile
        canvas->flip(1);
    Keyboard::clearEvents();
    Mouse::clearEvents();
    std::vector<Clock> keys, buttons;
    // Apart as a hand's would be: presses within one millisecond of the last release are taken for repeats.
    for (const char* name : {"f", "j", "k"})
        for (const bool down : {true, false}) {
            keys.push_back(injectKey(name, down));
            buttons.push_back(injectButton(1, down));
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    canvas->flip(1);
    canvas.reset();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        KeyEvent key{};
        ButtonEvent button{};
        ASSERT_TRUE(Keyboard::nextEvent(key)) << "key event " << i;
        ASSERT_TRUE(Mouse::nextEvent(button)) << "button event " << i;
        EXPECT_EQ(std::tuple(key.code, key.pressed, button.button, button.pressed),
                  std::tuple(std::array{KEY_F, KEY_J, KEY_K}[i / 2], i % 2 == 0, int{LEFT_BUTTON}, i % 2 == 0))
            << "event " << i;
        EXPECT_NEAR((key.time - keys[i]).milliseconds(), 0.0, 20.0) << "event " << i;
        EXPECT_NEAR((button.time - buttons[i]).milliseconds(), 0.0, 20.0) << "event " << i;
    }
    EXPECT_EQ(std::pair(Keyboard::lostEvents(), Mouse::lostEvents()), std::pair(0, 0));
}

// The frame-interval files take the file placeholders, and a save through %USER_DOCUMENTS% creates the toolkit's
// folder there, which a new account lacks.
TEST_F(CanvasTiming, FrameIntervalFilesAreSavedThroughTheUserFolders) {
    const TempFolder documents;
    std::string& root = File::pathIds()[File::USER_DOCUMENTS_ROOT].path;
    const std::string previous = std::exchange(root, documents.root + "/");
    canvas->recordFrameIntervals(true);
    canvas->flip(1);
    const std::string failures =
        failureMessage([&] { canvas->saveFrameIntervals("%USER_DOCUMENTS%intervals.csv"); }) + ", " +
        failureMessage([&] { canvas->plotFrameIntervals("%USER_DOCUMENTS%intervals.png"); });
    root = previous;
    File::refreshUserFolders();
    EXPECT_EQ(failures, "no failure, no failure");
    EXPECT_EQ(readBytes(documents / "Stimulark/intervals.csv").substr(0, 5), "flip,");
    EXPECT_EQ(readBytes(documents / "Stimulark/intervals.png").substr(1, 3), "PNG");
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
    EXPECT_TRUE(pixelsOf(captured, 1024, 768) == drawn);
    EXPECT_EQ(drawn.at(700, 100), 0xFF0000u) << "the picture's top-left corner";
    EXPECT_GT(inkOf(drawn, gray).count, 40 * 30 + 21 * 401 + 20) << "text, rectangle and picture are there";
}

// Keys and buttons made by the X server while the program waits in flip(3) keep the server's stamps: within a few
// milliseconds of the injection (20 allow for a busy server), where stamps taken when the program next looks would
// be 50 ms late. The key messages stay for the key rows, where a push counts once, and the cursor cross follows the
// real pointer.
TEST_F(CanvasTiming, InjectedInputArrivesInOrderStampedWhenTheServerGotItAndTheCursorCrossFollowsThePointer) {
    movePointer(321, 123);
    Keyboard::clearEvents();
    Mouse::clearEvents();
    std::vector<Clock> sent;
    for (const char* key : {"f", "j", "Escape"})
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
    ASSERT_EQ((std::array<int, 2>{Mouse::x, Mouse::y}), (std::array{321, 123})) << "the pointer as moved";

    Mouse::showCursorCross = true;
    canvas->clear(Color::gray, BACK_BUFFER);
    canvas->flip(1);
    const PixelBlock shown = readScreen(311, 113, 21, 21, 327, 123, gray);
    for (int y = 113; y <= 133; ++y)
        for (int x = 311; x <= 331; ++x) {
            const auto [across, along] = std::minmax({std::abs(x - 321), std::abs(y - 123)});
            const std::uint32_t expected = across == 0 && along <= 4 ? white : across <= 1 && along <= 5 ? black : gray;
            EXPECT_EQ(shown.at(x, y), expected) << "white arms of four in a black border, at " << x << ", " << y;
        }
}

} // namespace
} // namespace Stimulark::Testing
