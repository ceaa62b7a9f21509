// Opening, frame pacing and the gamma ramp on the scripted backend.

#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "support/Scripted.hpp"

#include <array>
#include <climits>
#include <memory>
#include <string>
#include <tuple>

namespace Stimulark {
namespace {

using Testing::failureMessage;
using CanvasScripted = Testing::ScriptedTest;
using Ramp = std::array<std::uint16_t, 768>;

// What a canvas takes: display mode, cursor, windows, contexts, the current canvas. None of it, once given back.
auto taken(const ScriptedPlatform& h) {
    return std::tuple{h.displaySwitched, !h.cursorVisible, h.openWindows, h.liveContexts, h.currentContext,
                      Canvas::current != nullptr};
}
const auto nothingTaken = std::tuple{false, false, 0, 0, ContextHandle{0}, false};
const std::string refused =
    "Stimulark::APICanvasProperties [API ERROR] Failed to set color calibration table for the video renderer.";

// The platform half of a canvas; no drawing is needed.
std::unique_ptr<APICanvasProperties> opened() {
    auto api = std::make_unique<APICanvasProperties>();
    api->openFullScreen();
    return api;
}

TEST_F(CanvasScripted, EachFailingOpeningStepReportsItsTextAndGivesEverythingBack) {
    const std::pair<bool ScriptedPlatform::*, const char*> steps[] = {
        {&ScriptedPlatform::failDisplayMode, "API Error (Failed to switch display mode)"},
        {&ScriptedPlatform::failWindow, "Failed to regist main window."},
        {&ScriptedPlatform::failPixelFormat, "API Error (Failed to set pixel format)."},
        {&ScriptedPlatform::failContext, "API Error (Failed to set OpenGL context)."},
        {&ScriptedPlatform::failMakeCurrent, "API Error (Failed to set OpenGL context)."},
    };
    for (const auto& [fail, message] : steps) {
        SCOPED_TRACE(message);
        scripted().*fail = true;
        EXPECT_EQ(failureMessage([] { Canvas canvas(0); }),
                  std::string("Stimulark::APICanvasProperties [API ERROR] ") + message);
        scripted().*fail = false;
        EXPECT_EQ(taken(scripted()), nothingTaken);
    }
}

TEST_F(CanvasScripted, PixelFormatAsksForChannelsByModeDepthAndAFixedRest) {
    scripted().failContext = true; // opening stops once the format is set
    for (const auto& [depth, channel] : {std::pair<unsigned, unsigned>{32, 8}, {16, 4}}) {
        scripted().display.bitsPerPixel = depth;
        EXPECT_THROW(Canvas(0), Exception);
        const PixelFormatDescriptor& f = scripted().lastPixelFormat;
        EXPECT_EQ((std::array<unsigned, 10>{f.colorBits, f.redBits, f.greenBits, f.blueBits, f.alphaBits, f.version,
                                            f.flags, f.depthBits, f.stencilBits, f.auxBuffers}),
                  (std::array<unsigned, 10>{depth, channel, channel, channel, channel, 2, 0x1225, 32, 1, 4}))
            << "colour and channel bits, then version, flags, depth, stencil, aux buffers";
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
    EXPECT_EQ((std::array{timing.requestedTotal, timing.framesRequested}), (std::array{1, 0}))
        << "the first counted swap only arms";
    timing.countFrames = false; // off and on again: totals and arming stay
    swapAfter(100.0, 1);
    timing.countFrames = true;
    for (const auto& [interval, frames, dropped] :
         {std::tuple{16.7, 1, 0}, {33.3, 1, 1}, {50.0, 1, 2}, {0.5, 1, -1}, {16.7, 2, -1}}) {
        swapAfter(interval, frames);
        EXPECT_NEAR(timing.lastFrameInterval, interval, 1e-6);
        EXPECT_EQ((std::array{timing.lastDropped, timing.droppedLast}), (std::array{dropped, dropped}))
            << interval << " ms for " << frames << " frames";
    }
    EXPECT_EQ((std::array{timing.framesRequested, timing.framesDropped, timing.framesElapsed, timing.dropEvents}),
              (std::array{7, 1, 8, 4})) << "requested, dropped, elapsed, and drop events: an early swap is one too";
    EXPECT_EQ(droppedFrames(1e12, 1, timing.frameDuration), 1'000'000'000) << "a pause of weeks does not overflow";
    EXPECT_EQ(usableRefreshRate(1.0), 60.0) << "1 means the hardware default, as 0 does";
    for (int i = 0; i < 3; ++i)
        swapAfter(0.5, INT_MAX); // asked to stay for years, swapped at once: every total saturates
    EXPECT_EQ((std::array{timing.requestedTotal, timing.framesRequested, timing.droppedTotal, timing.lastDropped,
                          timing.framesElapsed, timing.dropEvents}),
              (std::array{INT_MAX, INT_MAX, INT_MIN, -1'000'000'000, INT_MAX + INT_MIN, 7}));

    timing.resetFrameStatistics(); // a program's reset keeps the display's frame duration, and with it the pacing
    scripted().counterStep = Clock::ticksPerMillisecond / 100; // every read moves the clock on
    for (const auto& [previousFrames, wait] : {std::pair{0, 1000.0 / 600.0}, {1, 1000.0 / 600.0}, {3, 50.0}}) {
        timing.lastFlipFrames = previousFrames;
        timing.lastSwapStart.update();
        timing.waitForSwap();
        const double waited = (Clock(scripted().counter) - timing.lastSwapStart).milliseconds();
        EXPECT_GE(waited, wait) << "after flip(" << previousFrames << ")";
        EXPECT_LT(waited, wait + 0.05);
    }
    timing.swapWhenDue(1, [&] { scripted().counter += 5 * Clock::ticksPerMillisecond; }); // a swap of 5 ms
    const double swapSpan = (timing.lastSwapEnd - timing.lastSwapStart).milliseconds();
    EXPECT_TRUE(swapSpan >= 5.0 && swapSpan < 5.1) << swapSpan << " ms: the start is stamped right before the swap";
}

// The cursor stays hidden while any canvas is open, whichever closes first.
TEST_F(CanvasScripted, CursorIsShownOnlyWhenTheLastCanvasCloses) {
    auto first = opened(), second = opened();
    first->close();
    EXPECT_FALSE(scripted().cursorVisible);
    second->close();
    EXPECT_TRUE(scripted().cursorVisible);
}

// Until a change is recorded (state 1 or 2) every write saves the ramp in force
// first; only a recorded change is written back, once, at close.
TEST_F(CanvasScripted, CloseWritesTheRampFromBeforeTheFirstRecordedWriteBack) {
    auto api = opened();
    api->gammaRampState = 2; // a change recorded, but no ramp was ever saved to write back
    api->close();
    EXPECT_EQ(scripted().gammaReads + scripted().gammaWrites, 0) << "the ramp is not touched";
    Ramp before = scripted().hardwareRamp, dim, second;
    dim.fill(0x1234);
    second.fill(0x2222);
    const struct { int state, reads, writes; const Ramp &saved, &shown; } closes[] = {
        {0, 2, 2, dim, second}, {1, 1, 3, before, before}, {2, 1, 3, before, before}, {3, 1, 2, before, second}};
    for (const auto& c : closes) {
        SCOPED_TRACE(c.state);
        scripted().hardwareRamp = before, scripted().gammaReads = scripted().gammaWrites = 0;
        api = opened();
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
    scripted().hardwareRamp = before;
    api = opened();
    api->gammaRampState = 1; // recorded before the first write: that write still saves the original
    api->setGammaRamp(dim.data());
    api->setGammaRamp(second.data());
    api->close();
    EXPECT_EQ(scripted().hardwareRamp, before);
}

TEST_F(CanvasScripted, GammaFailuresRaiseTheApiErrorAndAFailedRestoreAtCloseIsReported) {
    const auto api = opened();
    Ramp original = scripted().hardwareRamp, dim;
    dim.fill(0x1234);
    scripted().failGetGamma = true;
    EXPECT_EQ(failureMessage([&] { api->setGammaRamp(dim.data()); }), refused);
    EXPECT_EQ(scripted().gammaWrites, 0) << "nothing is written when the ramp in force cannot be saved";
    scripted().failGetGamma = false, scripted().failSetGamma = true;
    EXPECT_EQ(failureMessage([&] { api->setGammaRamp(dim.data()); }), refused);
    EXPECT_EQ(scripted().hardwareRamp, original);
    scripted().failSetGamma = false;
    EXPECT_EQ(failureMessage([&] { api->setGammaRamp(nullptr); }), refused);
    EXPECT_EQ(scripted().gammaWrites, 1) << "a missing ramp is refused before writing";

    // The device of a canvas without a window is the whole screen: leave it alone.
    APICanvasProperties closed;
    closed.saveGammaRamp();
    closed.setGammaRamp(dim.data());
    closed.gammaRampState = 2, closed.restoreGammaRamp();
    EXPECT_EQ((std::array{scripted().gammaReads, scripted().gammaWrites}), (std::array{2, 1})) << "reads, writes";

    api->setGammaRamp(dim.data());
    api->gammaRampState = 2;
    scripted().failSetGamma = true;
    ::testing::internal::CaptureStderr();
    EXPECT_NO_THROW(api->close());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), refused + " The display keeps the changed gamma ramp.\n");
    EXPECT_EQ((std::array{api->gammaRampState, int{api->hasWindow}}), (std::array{0, 0}));
    EXPECT_EQ(taken(scripted()), nothingTaken);
}

} // namespace
} // namespace Stimulark
