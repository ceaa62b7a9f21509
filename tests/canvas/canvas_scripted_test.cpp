// Opening, closing and the gamma ramp on the scripted backend.

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
using Ramp = std::array<std::uint16_t, 768>;

// What a canvas takes: display mode, cursor, windows, contexts, the current canvas. None of it, once given back.
auto taken(const ScriptedPlatform& h) {
    return std::tuple{h.displaySwitched, !h.cursorVisible, h.openWindows, h.liveContexts, h.currentContext,
                      Canvas::current != nullptr};
}
const auto nothingTaken = std::tuple{false, false, 0, 0, ContextHandle{0}, false};
const std::string refused =
    "Stimulark::APICanvasProperties [API ERROR] Failed to set color calibration table for the video renderer.";

Ramp filled(std::uint16_t level) {
    Ramp ramp;
    ramp.fill(level);
    return ramp;
}

// The platform half of a canvas; no drawing is needed.
std::unique_ptr<APICanvasProperties> opened() {
    auto api = std::make_unique<APICanvasProperties>();
    api->openFullScreen();
    return api;
}

// A failed opening gives back all it took, and so does the last of two canvases to close: the cursor stays hidden
// while either is open, whichever closes first.
TEST_F(CanvasScripted, EachFailingOpeningStepReportsItsTextAndTheLastCloseGivesEverythingBack) {
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
    const auto first = opened(), second = opened();
    first->close();
    EXPECT_FALSE(scripted().cursorVisible);
    second->close();
    EXPECT_EQ(taken(scripted()), nothingTaken);
}

// Until a change is recorded (state 1 or 2) every write saves the ramp in force first, and a change recorded
// before the first write still saves the original; only a recorded change is written back, once, at close.
TEST_F(CanvasScripted, CloseWritesTheRampFromBeforeTheFirstRecordedWriteBack) {
    auto api = opened();
    api->gammaRampState = 2; // a change recorded, but no ramp was ever saved to write back
    api->close();
    EXPECT_EQ(scripted().gammaReads + scripted().gammaWrites, 0) << "the ramp is not touched";
    const Ramp before = scripted().hardwareRamp, dim = filled(0x1234), second = filled(0x2222);
    const struct { int state; bool recordedFirst; int reads, writes; const Ramp &saved, &shown; } closes[] = {
        {0, false, 2, 2, dim, second}, {1, false, 1, 3, before, before}, {2, false, 1, 3, before, before},
        {3, false, 1, 2, before, second}, {1, true, 1, 3, before, before}};
    for (const auto& c : closes) {
        SCOPED_TRACE(testing::Message() << "state " << c.state << (c.recordedFirst ? ", recorded first" : ""));
        scripted().hardwareRamp = before;
        scripted().gammaReads = 0;
        scripted().gammaWrites = 0;
        api = opened();
        api->gammaRampState = c.recordedFirst ? c.state : 0;
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

TEST_F(CanvasScripted, GammaFailuresRaiseTheApiErrorAndAFailedRestoreAtCloseIsReported) {
    const auto api = opened();
    const Ramp original = scripted().hardwareRamp, dim = filled(0x1234);
    // A ramp in force that cannot be read, a ramp the hardware refuses, and no ramp: nothing is written.
    for (bool ScriptedPlatform::*fail : {&ScriptedPlatform::failGetGamma, &ScriptedPlatform::failSetGamma}) {
        scripted().*fail = true;
        EXPECT_EQ(failureMessage([&] { api->setGammaRamp(dim.data()); }), refused);
        scripted().*fail = false;
    }
    EXPECT_EQ(failureMessage([&] { api->setGammaRamp(nullptr); }), refused);
    EXPECT_EQ(std::pair(scripted().gammaWrites, scripted().hardwareRamp), std::pair(1, original))
        << "one write, refused by the hardware";

    // The device of a canvas without a window is the whole screen: leave it alone.
    APICanvasProperties closed;
    closed.saveGammaRamp();
    closed.setGammaRamp(dim.data());
    closed.gammaRampState = 2;
    closed.restoreGammaRamp();
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
