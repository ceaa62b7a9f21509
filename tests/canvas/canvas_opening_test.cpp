// Opening failures on the scripted backend: each reports its own text and leaves
// nothing taken behind.

#include "stimulark/app/Exception.hpp"
#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "support/Scripted.hpp"

#include <gtest/gtest.h>

#include <string>

namespace Stimulark {
namespace {

struct Failure {
    const char* step;
    bool ScriptedPlatform::*fail;
    const char* message;
};

class CanvasOpeningFailure : public Testing::ScriptedTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(CanvasOpeningFailure, ReportsItsTextAndGivesEverythingBack) {
    scripted().*GetParam().fail = true;
    try {
        Canvas canvas(0);
        ADD_FAILURE() << "the canvas opened";
    } catch (const Exception& e) {
        EXPECT_EQ(e.fullMessage(), std::string("Stimulark::APICanvasProperties [API ERROR] ") + GetParam().message);
    }
    EXPECT_FALSE(scripted().displaySwitched);
    EXPECT_TRUE(scripted().cursorVisible);
    EXPECT_EQ(scripted().openWindows, 0);
    EXPECT_EQ(scripted().liveContexts, 0);
    EXPECT_EQ(scripted().currentContext, 0u);
    EXPECT_EQ(Canvas::current, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, CanvasOpeningFailure,
    ::testing::Values(
        Failure{"DisplayMode", &ScriptedPlatform::failDisplayMode, "API Error (Failed to switch display mode)"},
        Failure{"Window", &ScriptedPlatform::failWindow, "Failed to regist main window."},
        Failure{"PixelFormat", &ScriptedPlatform::failPixelFormat, "API Error (Failed to set pixel format)."},
        Failure{"Context", &ScriptedPlatform::failContext, "API Error (Failed to set OpenGL context)."},
        Failure{"MakeCurrent", &ScriptedPlatform::failMakeCurrent, "API Error (Failed to set OpenGL context)."}),
    [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.step); });

class CanvasPixelFormat : public Testing::ScriptedTest {
protected:
    // Opening stops once the format is set; the request is what matters here.
    PixelFormatDescriptor requestIn(std::uint32_t bitsPerPixel) {
        scripted().display.bitsPerPixel = bitsPerPixel;
        scripted().failContext = true;
        EXPECT_THROW(Canvas(0), Exception);
        return scripted().lastPixelFormat;
    }
};

TEST_F(CanvasPixelFormat, AsksForChannelsByModeDepthAndAFixedRest) {
    const PixelFormatDescriptor deep = requestIn(32);
    EXPECT_EQ(deep.colorBits, 32);
    for (auto bits : {deep.redBits, deep.greenBits, deep.blueBits, deep.alphaBits})
        EXPECT_EQ(bits, 8);
    EXPECT_EQ(deep.version, 2);
    EXPECT_EQ(deep.flags, 0x1225u);
    EXPECT_EQ(deep.depthBits, 32);
    EXPECT_EQ(deep.stencilBits, 1);
    EXPECT_EQ(deep.auxBuffers, 4);

    const PixelFormatDescriptor shallow = requestIn(16);
    EXPECT_EQ(shallow.colorBits, 16);
    for (auto bits : {shallow.redBits, shallow.greenBits, shallow.blueBits, shallow.alphaBits})
        EXPECT_EQ(bits, 4);
    EXPECT_EQ(shallow.depthBits, 32);
}

} // namespace
} // namespace Stimulark
