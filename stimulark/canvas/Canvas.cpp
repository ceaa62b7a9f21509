#include "stimulark/canvas/Canvas.hpp"

#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/Fonts.hpp"
#include "stimulark/draw/ClipCounter.hpp"
#include "stimulark/draw/FloatBuffer.hpp"
#include "stimulark/draw/ShaderPath.hpp"
#include "stimulark/draw/StimulusPath.hpp"

#include <GL/gl.h>

#include <utility>

namespace Stimulark {

Canvas* Canvas::current = nullptr;

namespace {
// The open canvases, oldest first, linked through Canvas::nextOpen_. Plain pointers,
// so nothing here is destroyed before a static canvas that outlives it.
constinit Canvas* firstOpen = nullptr;
} // namespace

Canvas::Canvas(int) {
    try {
        open();
    } catch (...) {
        // The destructor will not run: give back the display mode, cursor, window
        // and context now, or a top-most blank window would hide the report.
        close();
        throw;
    }
}

Canvas::~Canvas() { close(); }

void Canvas::open() {
    if (hasWindow)
        throw ALREADY_OPEN;
    api = new APICanvasProperties();
    Canvas** last = &firstOpen;
    while (*last != nullptr)
        last = &(*last)->nextOpen_;
    *last = this;
    api->openFullScreen();
    hasWindow = true;
    initialize();
}

void Canvas::initialize() {
    resetFrameStatistics();
    width = api->width;
    height = api->height;
    colorDepth = api->colorDepth;
    refreshRate = usableRefreshRate(api->refreshRate);
    frameDuration = 1000.0 / refreshRate;
    setupGL();
    if (current == nullptr)
        current = this;
    buildDisplayLists();
    clearColor = Color::black;
    area.set(width, height);
}

void Canvas::setupGL() {
    glMatrixMode(GL_PROJECTION);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);

    // Integer coordinates then fall inside pixel cells, not on their corners.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0.375, 0.375, 0.0);
    glPushMatrix();

    glShadeModel(GL_FLAT);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    for (GLenum capability : {GL_POINT_SMOOTH, GL_LINE_SMOOTH, GL_POLYGON_SMOOTH, GL_DEPTH_TEST, GL_DITHER, GL_FOG,
                              GL_LIGHTING, GL_LOGIC_OP, GL_STENCIL_TEST, GL_TEXTURE_1D, GL_TEXTURE_2D})
        glDisable(capability);

    glPixelTransferi(GL_MAP_COLOR, 0);
    glPixelTransferi(GL_MAP_STENCIL, 0);
    glPixelTransferi(GL_RED_SCALE, 1);
    glPixelTransferi(GL_RED_BIAS, 0);
    glPixelTransferi(GL_GREEN_SCALE, 1);
    glPixelTransferi(GL_GREEN_BIAS, 0);
    glPixelTransferi(GL_BLUE_SCALE, 1);
    glPixelTransferi(GL_BLUE_BIAS, 0);
    glPixelTransferi(GL_ALPHA_SCALE, 1);
    glPixelTransferi(GL_ALPHA_BIAS, 0);

    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStoref(GL_UNPACK_ALIGNMENT, 4.0f);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStoref(GL_PACK_ALIGNMENT, 4.0f);

    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);

    // Flip's pacing rests on swaps that wait for the retrace, which some platforms
    // (SDL on Wayland) do not start with. A refusal leaves the platform's setting.
    platform().setSwapInterval(api->window, 1);
    // Blank both buffers before the program draws; the program's first flip does
    // not wait for these.
    for (int i = 0; i < 2; ++i) {
        clear(clearColor, BACK_BUFFER);
        flipFrame(2, false);
        skipNextWait();
    }
}

// Another open canvas stays usable: the oldest one takes over as current when this one
// was, and whichever is current gets its rendering context back, since closing (or a
// failed opening) left none current on the thread.
void Canvas::close() {
    for (Canvas** link = &firstOpen; *link != nullptr; link = &(*link)->nextOpen_)
        if (*link == this) {
            *link = nextOpen_;
            break;
        }
    nextOpen_ = nullptr;
    const bool hadPlatformPart = api != nullptr;
    if (shaderPath_ != nullptr || stimulusPath_ != nullptr || floatBuffer_ != nullptr || clipCounter_ != nullptr) {
        // Their names mean something in this canvas's context only.
        api->makeContextCurrent();
        delete std::exchange(shaderPath_, nullptr);
        delete std::exchange(stimulusPath_, nullptr);
        delete std::exchange(floatBuffer_, nullptr);
        delete std::exchange(clipCounter_, nullptr);
    }
    floatOn_ = false;
    clippedPixels_ = 0;
    if (api != nullptr) {
        api->close();
        delete api;
        api = nullptr;
    }
    hasWindow = false;
    if (current == this)
        current = firstOpen;
    if (hadPlatformPart && current != nullptr)
        current->api->makeContextCurrent();
}

} // namespace Stimulark
