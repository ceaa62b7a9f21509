#include "stimulark/app/Exception.hpp"
#include "stimulark/canvas/APICanvasProperties.hpp"
#include "support/Scripted.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>

namespace Stimulark {
namespace {

using Ramp = std::array<std::uint16_t, 768>;

Ramp flatRamp(std::uint16_t level) {
    Ramp ramp;
    ramp.fill(level);
    return ramp;
}

// The platform half of a canvas opened on the scripted backend; no drawing is needed.
class GammaRampTest : public Testing::ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        original = scripted().hardwareRamp;
        api = std::make_unique<APICanvasProperties>();
        api->openFullScreen();
        ASSERT_TRUE(api->hasWindow);
    }
    void TearDown() override {
        api.reset();
        ScriptedTest::TearDown();
    }

    void expectRefused(void (APICanvasProperties::*operation)(const std::uint16_t*), const std::uint16_t* ramp) {
        try {
            (api.get()->*operation)(ramp);
            ADD_FAILURE() << "the failure was not raised";
        } catch (const Exception& e) {
            EXPECT_EQ(*e.source, typeid(APICanvasProperties));
            EXPECT_EQ(e.title, "API ERROR");
            EXPECT_EQ(e.message, "Failed to set color calibration table for the video renderer.");
        }
    }

    Ramp original;
    std::unique_ptr<APICanvasProperties> api;
};

TEST_F(GammaRampTest, CloseRestoresOnlyARecordedChange) {
    api->close();
    EXPECT_EQ(scripted().gammaReads, 0) << "state 0: the ramp is never touched";
    EXPECT_EQ(scripted().gammaWrites, 0);

    api->openFullScreen();
    api->gammaRampState = 3;
    api->close();
    EXPECT_EQ(scripted().gammaWrites, 0) << "state 3 is treated like 0";
    EXPECT_EQ(api->gammaRampState, 0);
}

TEST_F(GammaRampTest, CloseWritesTheSavedRampBackOnce) {
    const Ramp dim = flatRamp(0x1234);
    api->setGammaRamp(dim.data());
    api->gammaRampState = 2;
    EXPECT_EQ(scripted().hardwareRamp, dim);

    api->close();
    EXPECT_EQ(scripted().gammaWrites, 2);
    EXPECT_EQ(scripted().hardwareRamp, original);
    EXPECT_EQ(api->gammaRampState, 0);

    api.reset(); // the destructor's second close finds nothing to do
    EXPECT_EQ(scripted().gammaWrites, 2);
}

TEST_F(GammaRampTest, TheRampSavedIsTheOneFromBeforeTheFirstRecordedWrite) {
    const Ramp first = flatRamp(0x1111), second = flatRamp(0x2222);
    api->setGammaRamp(first.data());
    api->gammaRampState = 1;
    api->setGammaRamp(second.data());
    EXPECT_EQ(scripted().gammaReads, 1);
    EXPECT_EQ(api->savedGammaRamp, original);
    EXPECT_EQ(scripted().hardwareRamp, second);
    api->close();
    EXPECT_EQ(scripted().hardwareRamp, original);

    // Without a recorded change every write saves the ramp in force again.
    api->openFullScreen();
    api->setGammaRamp(first.data());
    api->setGammaRamp(second.data());
    EXPECT_EQ(api->savedGammaRamp, first);
}

TEST_F(GammaRampTest, FailedReadsAndWritesRaiseTheApiError) {
    const Ramp dim = flatRamp(0x1234);
    scripted().failGetGamma = true;
    expectRefused(&APICanvasProperties::setGammaRamp, dim.data());
    EXPECT_EQ(scripted().gammaWrites, 0) << "nothing is written when the ramp in force cannot be saved";
    EXPECT_EQ(api->lastGammaResult, 0);

    scripted().failGetGamma = false;
    scripted().failSetGamma = true;
    expectRefused(&APICanvasProperties::setGammaRamp, dim.data());
    EXPECT_EQ(scripted().hardwareRamp, original);

    scripted().failSetGamma = false;
    expectRefused(&APICanvasProperties::setGammaRamp, nullptr);
    EXPECT_EQ(scripted().gammaWrites, 1);
}

TEST_F(GammaRampTest, NothingHappensWithoutAWindow) {
    APICanvasProperties closed;
    const Ramp dim = flatRamp(0x1234);
    scripted().failGetGamma = true;
    closed.saveGammaRamp();
    closed.setGammaRamp(dim.data());
    closed.gammaRampState = 2;
    closed.restoreGammaRamp();
    EXPECT_EQ(scripted().gammaReads, 0);
    EXPECT_EQ(scripted().gammaWrites, 0);
}

TEST_F(GammaRampTest, AFailedRestoreIsReportedAndTheCloseCompletes) {
    const Ramp dim = flatRamp(0x1234);
    api->setGammaRamp(dim.data());
    api->gammaRampState = 2;
    scripted().failSetGamma = true;

    ::testing::internal::CaptureStderr();
    EXPECT_NO_THROW(api->close());
    const std::string report = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(report, "Stimulark::APICanvasProperties [API ERROR] Failed to set color calibration table for the "
                      "video renderer. The display keeps the changed gamma ramp.\n");
    EXPECT_EQ(api->gammaRampState, 0);
    EXPECT_FALSE(api->hasWindow);
    EXPECT_EQ(scripted().liveContexts, 0);
    EXPECT_EQ(scripted().currentContext, 0u);
    EXPECT_EQ(scripted().openWindows, 0);
    EXPECT_FALSE(scripted().displaySwitched);
    EXPECT_TRUE(scripted().cursorVisible);
}

} // namespace
} // namespace Stimulark
