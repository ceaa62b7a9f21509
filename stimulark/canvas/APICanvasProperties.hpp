#pragma once

#include "stimulark/platform/Platform.hpp"

#include <array>
#include <cstdint>

namespace Stimulark {

// The platform half of a canvas: window class record, window, rendering context,
// the display-mode records and the saved hardware gamma ramp.
class APICanvasProperties {
public:
    APICanvasProperties();
    ~APICanvasProperties();
    APICanvasProperties(const APICanvasProperties&) = delete;
    APICanvasProperties& operator=(const APICanvasProperties&) = delete;

    void openFullScreen();
    void createWindow(const DisplayMode& mode);
    void createContext(int colorDepth);
    // Gives back whatever was taken, also after a failed opening: gamma ramp,
    // context, window, display mode, hidden cursor. A second call does nothing.
    void close();
    void releaseContext();
    // Makes this canvas's context current again, after another canvas took the thread.
    void makeContextCurrent();
    void swapBuffers();

    // Hardware gamma ramp: 3 x 256 entries, red then green then blue.
    void saveGammaRamp();
    void setGammaRamp(const std::uint16_t* ramp);
    void restoreGammaRamp();

    WindowClassRecord windowClass;
    WindowHandle deviceContext = 0; // the screen until the window exists, then the window
    WindowHandle window = 0;
    ContextHandle renderingContext = 0;
    DisplayMode requestedMode;
    DisplayMode initialMode;
    bool hasWindow = false;
    std::array<std::uint16_t, 768> savedGammaRamp{};
    std::uint16_t* gammaRamp = nullptr;
    int gammaRampState = 0; // 0 untouched; 1 or 2 changed, restored at close
    int lastGammaResult = 0;
    bool gammaRampSaved = false; // a ramp was read; restoring anything else would blank the display
    int width = 0;
    int height = 0;
    int colorDepth = 0;
    double refreshRate = 0.0;
    // The pixel format asked for; the platform gives the closest it has.
    PixelFormatDescriptor pixelFormat;
    // What an interrupted opening has to give back.
    bool displaySwitched = false;
    bool cursorHidden = false; // one of the hides counted in cursorHides
    bool contextCurrent = false;

    // Canvases holding the cursor hidden: it is hidden by the first, shown by the last.
    static inline int cursorHides = 0;

    // Which opening this is: a number, never reused, so that what was made in this
    // canvas's context (a texture name) is never taken for another's.
    const std::uint64_t serial = ++openings;
    // The serial of the canvas whose context is current on the thread; 0 for none.
    static inline std::uint64_t currentSerial = 0;

private:
    static inline std::uint64_t openings = 0;
};

} // namespace Stimulark
