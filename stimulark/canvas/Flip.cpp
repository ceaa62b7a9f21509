#include "stimulark/canvas/Canvas.hpp"

#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/Fonts.hpp"
#include "stimulark/canvas/FrameDisplay.hpp"
#include "stimulark/canvas/VariableMonitor.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/draw/ClipCounter.hpp"
#include "stimulark/draw/FloatBuffer.hpp"
#include "stimulark/gl/WindowBuffers.hpp"
#include "stimulark/platform/Keyboard.hpp"

#include <GL/gl.h>

#include <charconv>

namespace Stimulark {

Clock Canvas::flip(int frames) {
    if (frames < 1)
        throw Exception(typeid(Canvas), "ARGUMENT ERROR", "frame duration must be more than zero.");
    return flipFrame(frames, true);
}

Clock Canvas::flipFrame(int frames, bool programFlip) {
    // The float buffer's conversion comes first, so that its cost falls before the wait
    // for the frame's turn; the overlays then go onto the converted frame.
    if (floatOn_)
        floatBuffer_->convert(dither_, &clipCounter());
    struct DrawIntoFloat {
        const Canvas& canvas;
        ~DrawIntoFloat() {
            if (canvas.floatOn_)
                canvas.floatBuffer_->bind();
        }
    } drawIntoFloat{*this};
    drawVariableMonitor();
    if (showFrameOverlay)
        drawFrameOverlay();
    drawCursorCross();
    glFinish();
    // The counts are in once glFinish has returned.
    clippedPixels_ = (clipCounter_ != nullptr ? clipCounter_->take() : 0) +
                     (floatBuffer_ != nullptr ? floatBuffer_->takeClipped() : 0);
    // Input that nobody reads during a long run of flips would pile up in the window
    // system's queues.
    platform().drainEvents();
    PlatformDisplay display(platform(), api->window);
    return swapWhenDue(frames, display, programFlip);
}

void Canvas::drawFrameOverlay() {
    constexpr int pitch = segmentGlyphHeight + 3;
    Rectangle panel;
    panel.set(width - 100.0, 1.0, width - 2.0, static_cast<int>(pitch * 3.5));
    fillRect(panel, Color(0.0, 0.0, 0.0, 0.5));

    // An interval beyond int (a program paused for weeks) would not convert.
    const double interval = lastFrameInterval < 2.0e9 ? lastFrameInterval : 2.0e9;
    const Color& intervalColor =
        lastDropped > 0 ? Color::red
                        : (droppedFrames(lastFrameInterval, lastHeldFrames(), frameDuration) > 0 ? Color::cyan
                                                                                                  : Color::white);
    const struct {
        int value;
        const Color& color;
    } rows[] = {
        {framesDropped, Color::red},
        {framesElapsed, Color::white},
        {static_cast<int>(interval), intervalColor},
    };
    const double right = panel.right - 10.0;
    double y = panel.top + 20.0;
    for (const auto& row : rows) {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, row.value).ptr;
        drawSegmentText(std::string_view(digits, static_cast<std::size_t>(end - digits)), right, y, row.color,
                        false);
        y += pitch;
    }
}

void Canvas::clear(Color color, int buffer) {
    glClearColor(static_cast<float>(color.r), static_cast<float>(color.g), static_cast<float>(color.b),
                 static_cast<float>(color.a));
    if (buffer == FRONT_BUFFER) {
        // The displayed buffer, even while drawing goes into the float buffer.
        const Gl::WindowBuffers window;
        glDrawBuffer(GL_FRONT);
        glClear(GL_COLOR_BUFFER_BIT);
        glDrawBuffer(GL_BACK);
        return;
    }
    // A framebuffer of the toolkit's own draws to its one buffer; there is no GL_BACK to name.
    if (!floatOn_)
        glDrawBuffer(GL_BACK);
    // Selector 1 names no buffer of its own; it clears the back buffer.
    if (buffer == 1 || buffer == BACK_BUFFER)
        glClear(GL_COLOR_BUFFER_BIT);
}

void Canvas::clear(int buffer) { clear(clearColor, buffer); }

} // namespace Stimulark
