#include "stimulark/canvas/APICanvasProperties.hpp"

#include "stimulark/core/Exception.hpp"

#include <cstdio>

namespace Stimulark {

namespace {

[[noreturn]] void refuseGammaRamp() {
    throw Exception(typeid(APICanvasProperties), "API ERROR",
                    "Failed to set color calibration table for the video renderer.");
}

} // namespace

// Once a change is recorded the saved ramp is kept; but a change recorded before any
// ramp was saved must still save the original, or it could never be restored.
void APICanvasProperties::saveGammaRamp() {
    if (!hasWindow || (gammaRampState != 0 && gammaRampSaved))
        return;
    lastGammaResult = platform().getGammaRamp(deviceContext, gammaRamp) ? 1 : 0;
    if (lastGammaResult == 0)
        refuseGammaRamp();
    gammaRampSaved = true;
}

// Until the caller records a change (state 1 or 2), every write saves the ramp in
// force first, so the ramp saved is the one from before the first recorded write.
void APICanvasProperties::setGammaRamp(const std::uint16_t* ramp) {
    if (!hasWindow)
        return;
    if (ramp == nullptr)
        refuseGammaRamp();
    saveGammaRamp();
    lastGammaResult = platform().setGammaRamp(deviceContext, ramp) ? 1 : 0;
    if (lastGammaResult == 0)
        refuseGammaRamp();
}

// Runs from close, inside the canvas destructor: a failed write is reported on
// standard error and the close goes on.
void APICanvasProperties::restoreGammaRamp() {
    if (!hasWindow)
        return;
    if ((gammaRampState == 1 || gammaRampState == 2) && gammaRampSaved) {
        try {
            setGammaRamp(gammaRamp);
        } catch (const Exception& failure) {
            // Nothing here allocates, so the report itself cannot throw.
            std::fprintf(stderr, "Stimulark::APICanvasProperties [%s] %s %s\n", failure.title.c_str(),
                         failure.message.c_str(), "The display keeps the changed gamma ramp.");
        }
    }
    gammaRampState = 0;
}

} // namespace Stimulark
