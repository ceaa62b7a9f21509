// Opening, frame pacing and the gamma ramp on the scripted backend.

#include "stimulark/app/Exception.hpp"
#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "support/Scripted.hpp"

#include <array>
#include <memory>
#include <string>
#include <tuple>

namespace Stimulark {
namespace {

using Testing::failureMessage;
using CanvasScripted = Testing::ScriptedTest;

// What a canvas takes: display mode, cursor, windows, contexts. None of it, once given back.
auto taken(const ScriptedPlatform& h) {
    return std::tuple{h.displaySwitched, !h.cursorVisible, h.openWindows, h.liveContexts, h.currentContext};
}
const auto nothingTaken = std::tuple{false, false, 0, 0, ContextHandle{0}};

TEST_F(CanvasScripted, EachFailingOpeningStepReportsItsTextAndGivesEverythingBack) {
    const struct {
        bool ScriptedPlatform::*fail;
        const char* message;
    } steps[] = {
        {&ScriptedPlatform::failDisplayMode, "API Error (Failed to switch display mode)"},
        {&ScriptedPlatform::failWindow, "Failed to regist main window."},
        {&ScriptedPlatform::failPixelFormat, "API Error (Failed to set pixel format)."},
        {&ScriptedPlatform::failContext, "API Error (Failed to set OpenGL context)."},
        {&ScriptedPlatform::failMakeCurrent, "API Error (Failed to set OpenGL context)."},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.message);
        scripted().*step.fail = true;
        EXPECT_EQ(failureMessage([] { Canvas canvas(0); }),
                  std::string("Stimulark::APICanvasProperties [API ERROR] ") + step.message);
        scripted().*step.fail = false;
        EXPECT_EQ(taken(scripted()), nothingTaken);
        EXPECT_EQ(Canvas::current, nullptr);
    }
}

TEST_F(CanvasScripted, PixelFormatAsksForChannelsByModeDepthAndAFixedRest) {
    scripted().failContext = true; // opening stops once the format is set
    for (const auto& [depth, channel] : {std::pair<std::uint8_t, std::uint8_t>{32, 8}, {16, 4}}) {
        scripted().display.bitsPerPixel = depth;
        EXPECT_THROW(Canvas(0), Exception);
        const PixelFormatDescriptor& format = scripted().lastPixelFormat;
        EXPECT_EQ((std::array{format.colorBits, format.redBits, format.greenBits, format.blueBits, format.alphaBits}),
                  (std::array{depth, channel, channel, channel, channel}));
        EXPECT_EQ((std::array<unsigned, 5>{format.version, format.flags, format.depthBits, format.stencilBits,
                                           format.auxBuffers}),
                  (std::array<unsigned, 5>{2, 0x1225, 32, 1, 4})) << "version, flags, depth, stencil, aux buffers";
    }
}

TEST_F(CanvasScripted, FrameTimingCountsDropsOnceArmedAndWaitsOnThePreviousFlipsCount) {
    FrameTiming timing;
    timing.resetFrameStatistics();
    timing.frameDuration = 1000.0 / 60.0;
    timing.countFrames = true;
    const auto swapAfter = [&](double milliseconds, int frames) {
        scripted().counter += static_cast<std::int64_t>(milliseconds * static_cast<double>(Clock::ticksPerMillisecond));
        timing.recordSwap(frames);
    };
    swapAfter(16.7, 1);
    EXPECT_EQ(timing.requestedTotal, 1);
    EXPECT_EQ(timing.framesRequested, 0) << "the first counted swap only arms";
    for (const auto& [interval, dropped] : {std::pair{16.7, 0}, {33.3, 1}, {50.0, 2}, {0.5, -1}}) {
        swapAfter(interval, 1);
        EXPECT_NEAR(timing.lastFrameInterval, interval, 1e-6);
        EXPECT_EQ(timing.lastDropped, dropped) << interval << " ms";
    }
    EXPECT_EQ((std::array{timing.framesRequested, timing.framesDropped, timing.framesElapsed, timing.dropEvents}),
              (std::array{5, 2, 7, 3})) << "requested, dropped, elapsed, and drop events: an early swap is one too";

    // Off and on again: totals and arming stay; the formula sees this flip's count.
    timing.countFrames = false;
    swapAfter(100.0, 1);
    timing.countFrames = true;
    swapAfter(16.7, 2);
    EXPECT_EQ(timing.droppedLast, -1);
    EXPECT_EQ(timing.framesRequested, 7);

    scripted().counterStep = Clock::ticksPerMillisecond / 100; // every read moves the clock on
    for (const auto& [previousFrames, wait] : {std::pair{0, 1000.0 / 600.0}, {1, 1000.0 / 600.0}, {3, 50.0}}) {
        timing.lastFlipFrames = previousFrames;
        timing.lastSwapStart.update();
        timing.waitForSwap();
        const double waited = (Clock(scripted().counter) - timing.lastSwapStart).milliseconds();
        EXPECT_GE(waited, wait) << "after flip(" << previousFrames << ")";
        EXPECT_LT(waited, wait + 0.05);
    }
    EXPECT_EQ(usableRefreshRate(0.0), 60.0) << "a platform that does not know its rate";
    EXPECT_EQ(usableRefreshRate(1.0), 60.0);
}

// The platform half of a canvas opened on the scripted backend; no drawing is needed.
class GammaRampTest : public Testing::ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        original = scripted().hardwareRamp;
        dim.fill(0x1234);
        open();
    }
    void TearDown() override {
        api.reset();
        ScriptedTest::TearDown();
    }
    void open() {
        api = std::make_unique<APICanvasProperties>();
        api->openFullScreen();
    }

    const std::string refused =
        "Stimulark::APICanvasProperties [API ERROR] Failed to set color calibration table for the video renderer.";
    std::array<std::uint16_t, 768> original, dim;
    std::unique_ptr<APICanvasProperties> api;
};

// Until a change is recorded (state 1 or 2) every write saves the ramp in force
// first; only a recorded change is written back, once, at close.
TEST_F(GammaRampTest, CloseWritesTheRampFromBeforeTheFirstRecordedWriteBack) {
    api->gammaRampState = 2; // a change recorded, but no ramp was ever saved to write back
    api->close();
    EXPECT_EQ(scripted().gammaReads + scripted().gammaWrites, 0) << "the ramp is not touched";
    std::array<std::uint16_t, 768> second;
    second.fill(0x2222);
    const struct {
        int state, reads, writes;
        const std::array<std::uint16_t, 768>& saved, &shown;
    } closes[] = {{0, 2, 2, dim, second}, {1, 1, 3, original, original}, {2, 1, 3, original, original},
                  {3, 1, 2, original, second}};
    for (const auto& c : closes) {
        SCOPED_TRACE(c.state);
        scripted().hardwareRamp = original;
        scripted().gammaReads = scripted().gammaWrites = 0;
        open();
        api->setGammaRamp(dim.data());
        api->gammaRampState = c.state;
        api->setGammaRamp(second.data());
        EXPECT_EQ(api->savedGammaRamp, c.saved);
        api->close();
        EXPECT_EQ((std::array{scripted().gammaReads, scripted().gammaWrites, api->gammaRampState}),
                  (std::array{c.reads, c.writes, 0})) << "reads, writes, state";
        EXPECT_EQ(scripted().hardwareRamp, c.shown);
        api.reset();
        EXPECT_EQ(scripted().gammaWrites, c.writes) << "the destructor's second close finds nothing to do";
    }
}

TEST_F(GammaRampTest, FailedReadsAndWritesRaiseTheApiErrorAndNothingHappensWithoutAWindow) {
    scripted().failGetGamma = true;
    EXPECT_EQ(failureMessage([&] { api->setGammaRamp(dim.data()); }), refused);
    EXPECT_EQ(scripted().gammaWrites, 0) << "nothing is written when the ramp in force cannot be saved";
    scripted().failGetGamma = false;
    scripted().failSetGamma = true;
    EXPECT_EQ(failureMessage([&] { api->setGammaRamp(dim.data()); }), refused);
    EXPECT_EQ(scripted().hardwareRamp, original);
    scripted().failSetGamma = false;
    EXPECT_EQ(failureMessage([&] { api->setGammaRamp(nullptr); }), refused);
    EXPECT_EQ(scripted().gammaWrites, 1) << "a missing ramp is refused before writing";

    // The device of a canvas without a window is the whole screen: leave it alone.
    APICanvasProperties closed;
    closed.saveGammaRamp();
    closed.setGammaRamp(dim.data());
    closed.gammaRampState = 2;
    closed.restoreGammaRamp();
    EXPECT_EQ((std::array{scripted().gammaReads, scripted().gammaWrites}), (std::array{2, 1})) << "reads, writes";
}

TEST_F(GammaRampTest, AFailedRestoreIsReportedAndTheCloseCompletes) {
    api->setGammaRamp(dim.data());
    api->gammaRampState = 2;
    scripted().failSetGamma = true;
    ::testing::internal::CaptureStderr();
    EXPECT_NO_THROW(api->close());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              refused + " The display keeps the changed gamma ramp.\n");
    EXPECT_EQ(api->gammaRampState, 0);
    EXPECT_FALSE(api->hasWindow);
    EXPECT_EQ(taken(scripted()), nothingTaken);
}

} // namespace
} // namespace Stimulark
