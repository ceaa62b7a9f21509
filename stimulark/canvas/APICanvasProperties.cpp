#include "stimulark/canvas/APICanvasProperties.hpp"

#include "stimulark/core/Exception.hpp"
#include "stimulark/platform/ApplicationProperties.hpp"

namespace Stimulark {

namespace {

constexpr std::uint32_t CS_GLOBALCLASS = 0x4000;
constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008;
constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr const char* windowTitle = "Stimulark Window";

[[noreturn]] void refuse(const char* message) {
    throw Exception(typeid(APICanvasProperties), "API ERROR", message);
}

} // namespace

APICanvasProperties::APICanvasProperties() : gammaRamp(savedGammaRamp.data()) {}

APICanvasProperties::~APICanvasProperties() { close(); }

void APICanvasProperties::openFullScreen() {
    deviceContext = 0; // the whole screen
    const DisplayMode current = platform().currentDisplayMode();
    requestedMode = DisplayMode{};
    initialMode = DisplayMode{};
    initialMode.size = 156;
    initialMode.width = current.width;
    initialMode.height = current.height;
    initialMode.bitsPerPixel = current.bitsPerPixel;
    initialMode.refreshRate = current.refreshRate;
    initialMode.fields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    requestedMode = initialMode;
    createWindow(requestedMode);
}

void APICanvasProperties::createWindow(const DisplayMode& mode) {
    Platform& host = platform();
    windowClass = WindowClassRecord{};
    windowClass.size = 48;
    windowClass.style = CS_GLOBALCLASS;
    windowClass.procedure = windowProcedure;
    windowClass.instance = applicationProperties.instance;
    windowClass.menuName = windowTitle;
    windowClass.className = applicationProperties.windowClassName;
    // A second canvas finds the class already registered; that is no failure.
    host.registerClass(windowClass);

    if (host.changeDisplayMode(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL)
        refuse("API Error (Failed to switch display mode)");
    displaySwitched = true;

    width = static_cast<int>(mode.width);
    height = static_cast<int>(mode.height);
    colorDepth = static_cast<int>(mode.bitsPerPixel);
    refreshRate = static_cast<double>(mode.refreshRate);

    if (cursorHides++ == 0)
        host.showCursor(false);
    cursorHidden = true;

    const ScreenPoint screen = host.screenSize();
    window = host.createWindow(WS_EX_TOPMOST | WS_EX_APPWINDOW, applicationProperties.windowClassName,
                               windowTitle, WS_POPUP, 0, 0, screen.x, screen.y);
    if (window == 0)
        refuse("Failed to regist main window.");

    createContext(static_cast<int>(mode.bitsPerPixel));
    hasWindow = true;
    gammaRampState = 0;

    // A message left by an earlier canvas (its window's destroy posts a quit) would
    // otherwise end the program at the first key query.
    Message pending;
    host.peekMessage(pending);
    host.showWindow(window, applicationProperties.showCommand);
}

void APICanvasProperties::createContext(int depth) {
    Platform& host = platform();
    deviceContext = window;

    pixelFormat = PixelFormatDescriptor{};
    pixelFormat.size = 40;
    pixelFormat.version = 2;
    pixelFormat.flags =
        PFD_DOUBLEBUFFER | PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_SWAP_EXCHANGE | PFD_GENERIC_ACCELERATED;
    pixelFormat.pixelType = PFD_TYPE_RGBA;
    pixelFormat.colorBits = static_cast<std::uint8_t>(depth & 0xFF);
    const auto channelBits = static_cast<std::uint8_t>(depth / 4);
    pixelFormat.redBits = channelBits;
    pixelFormat.greenBits = channelBits;
    pixelFormat.blueBits = channelBits;
    pixelFormat.alphaBits = channelBits;
    pixelFormat.depthBits = 32;
    pixelFormat.stencilBits = 1;
    pixelFormat.auxBuffers = 4;
    pixelFormat.layerType = PFD_MAIN_PLANE;
    if (!host.setPixelFormat(window, pixelFormat))
        refuse("API Error (Failed to set pixel format).");

    renderingContext = host.createContext(window);
    if (renderingContext == 0)
        refuse("API Error (Failed to set OpenGL context).");
    if (!host.makeCurrent(window, renderingContext))
        refuse("API Error (Failed to set OpenGL context).");
    contextCurrent = true;
    currentSerial = serial;
}

void APICanvasProperties::close() {
    Platform& host = platform();
    // Input still waiting in the window system would go with the window: it is
    // taken into the logs first, so that it can be read after the canvas closed.
    if (window != 0)
        host.pumpInputEvents();
    if (hasWindow)
        restoreGammaRamp();
    releaseContext();
    if (window != 0) {
        host.destroyWindow(window);
        window = 0;
        deviceContext = 0;
    }
    if (displaySwitched) {
        host.changeDisplayMode(nullptr, 0);
        displaySwitched = false;
    }
    if (cursorHidden) {
        if (--cursorHides == 0)
            host.showCursor(true);
        cursorHidden = false;
    }
    hasWindow = false;
}

void APICanvasProperties::releaseContext() {
    Platform& host = platform();
    if (contextCurrent) {
        host.makeCurrent(0, 0);
        contextCurrent = false;
        if (currentSerial == serial)
            currentSerial = 0;
    }
    if (renderingContext != 0) {
        host.deleteContext(renderingContext);
        renderingContext = 0;
    }
}

void APICanvasProperties::makeContextCurrent() {
    if (window != 0 && renderingContext != 0)
        contextCurrent = platform().makeCurrent(window, renderingContext);
    if (contextCurrent)
        currentSerial = serial;
}

void APICanvasProperties::swapBuffers() { platform().swapBuffers(deviceContext); }

} // namespace Stimulark
