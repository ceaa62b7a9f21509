#include "stimulark/canvas/Canvas.hpp"

#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/FrameDisplay.hpp"
#include "stimulark/canvas/FrameIntervalFiles.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/draw/FloatBuffer.hpp"
#include "stimulark/gl/WindowBuffers.hpp"
#include "stimulark/file/File.hpp"
#include "stimulark/image/Image.hpp"

#include <GL/gl.h>

namespace Stimulark {

void Canvas::refuseWithoutWindow() {
    throw Exception(typeid(Canvas), "NO CANVAS", "There is no open canvas to draw on.");
}

Clock Canvas::onsetOf(long long flip) {
    PlatformDisplay display(platform(), api->window);
    takeInReports(display);
    return onsetOfFlip(flip);
}

const char* Canvas::onsetSourceOf(long long flip) {
    PlatformDisplay display(platform(), api->window);
    takeInReports(display);
    return onsetSourceOfFlip(flip);
}

bool Canvas::setSwapInterval(int interval) {
    if ((interval != 0 && interval != 1) || !hasWindow)
        return false;
    return platform().setSwapInterval(api->window, interval);
}

double Canvas::measureRefreshRate(int flips) {
    if (!hasWindow)
        refuseWithoutWindow();
    checkMeasuredFlips(flips);
    Platform& host = platform();
    const int previous = host.swapInterval(api->window);
    const bool changed = previous != 1 && host.setSwapInterval(api->window, 1);
    struct Restore {
        Platform& host;
        WindowHandle window;
        int interval;
        bool changed;
        ~Restore() {
            if (changed)
                host.setSwapInterval(window, interval);
        }
    } restore{host, api->window, previous, changed};
    // Each swap shows a frame cleared in the clear colour, in the window's own buffers.
    class BlankFrames final : public FrameDisplay {
    public:
        BlankFrames(Canvas& canvas, Platform& host) : canvas_(canvas), display_(host, canvas.api->window) {}
        void swap() override {
            const Color& c = canvas_.clearColor;
            glClearColor(static_cast<float>(c.r), static_cast<float>(c.g), static_cast<float>(c.b),
                         static_cast<float>(c.a));
            glClear(GL_COLOR_BUFFER_BIT);
            display_.swap();
        }
        int swapInterval() override { return display_.swapInterval(); }
        unsigned requestReports(std::uint64_t swap, unsigned sources) override {
            return display_.requestReports(swap, sources);
        }
        std::size_t takeReports(PresentationReport* out, std::size_t max, std::int64_t deadline) override {
            return display_.takeReports(out, max, deadline);
        }

    private:
        Canvas& canvas_;
        PlatformDisplay display_;
    } blankFrames(*this, host);
    double rate = 0.0;
    {
        const Gl::WindowBuffers window;
        glDrawBuffer(GL_BACK);
        rate = measureRefresh(flips, blankFrames);
    }
    clear(clearColor, BACK_BUFFER);
    return rate;
}

void Canvas::capture(Image& image) {
    if (!hasWindow)
        refuseWithoutWindow();
    image.release();
    image.set(width, height, RGB, BYTE);
    // What flip would show: the float buffer converted as flip converts it.
    if (floatOn_)
        floatBuffer_->convert(dither_, nullptr);
    // The image's rows are bottom-up and 4-byte aligned, exactly as GL packs them.
    glPixelStorei(GL_PACK_ALIGNMENT, BITMAP_ALIGNMENT);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, image.byteBitmap);
    if (floatOn_)
        floatBuffer_->bind();
}

void Canvas::saveFrameIntervals(const std::string& path) const {
    writeFrameIntervalsCsv(File::decodePathForSaving(path), frameIntervalJudgements(), frameDuration);
}

void Canvas::plotFrameIntervals(const std::string& path) const {
    plotFrameIntervalsPng(File::decodePathForSaving(path), frameIntervals(), frameDuration);
}

} // namespace Stimulark
