#pragma once

#include "stimulark/canvas/Drawable.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/geometry/Rectangle.hpp"
#include "stimulark/platform/Clock.hpp"

#include <string>

namespace Stimulark {

class APICanvasProperties;
class Image;

// Buffer selectors of Canvas::clear.
inline constexpr int BACK_BUFFER = 2;
inline constexpr int FRONT_BUFFER = 4;

// The full-screen drawing surface: a borderless top-most window in the display's
// current mode with a double-buffered OpenGL context and a pixel-exact projection
// (origin top left, y down).
class Canvas : public Drawable {
public:
    enum Error { ALREADY_OPEN = 1 };

    explicit Canvas(int mode = 0);
    ~Canvas() override;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    double getCenterX() const { return (width / 2) - 0.5; }
    double getCenterY() const { return (height / 2) - 0.5; }
    double getRefreshRate() const { return refreshRate; }

    // Ends a frame: overlays, glFinish, waits until the previous frame has been
    // shown for its count of refresh periods, swaps, records the interval.
    void flip(int frames);
    void clear(Color color, int buffer);
    void clear(int buffer);
    void setClearColor(Color color) { clearColor = color; }
    void resetFrameStatistics();

    void fillRect(const Rectangle& rect, Color color);
    // Fills on whatever rendering context is current; reads no canvas state.
    static void fillCurrent(const Rectangle& rect, Color color);
    void drawImage(const Image& image, double x, double y);
    // Draws on Canvas::current; refuses to draw when no canvas is open.
    static void drawImageCurrent(const Image& image, double x, double y);
    // Text in the bitmap font; y is the row of the glyphs' bottom. Returns the line count.
    int drawText(const char* text, double x, double y, Color color, int alignment, double maxWidth);
    // Text in the seven-segment font, 12-pixel cells, forward from x or backward to x.
    void drawSegmentText(const std::string& text, double x, double y, Color color, bool forward);

    APICanvasProperties* platformPart() { return api; }

    // The open canvas that drawing without a canvas goes to; null while none is open.
    static Canvas* current;

    Color clearColor{0.0, 0.0, 0.0, 1.0};
    int framesRequested = 0;
    int framesDropped = 0;
    int framesElapsed = 0;
    int lastDropped = 0;
    int dropEvents = 0;
    bool hasWindow = false;
    int width = 0;
    int height = 0;
    int colorDepth = 0;
    double refreshRate = 0.0;
    Clock lastSwapEnd;
    Clock lastSwapStart;
    int lastFlipFrames = 0;
    bool countFrames = false;
    bool countingArmed = false;
    bool showFrameOverlay = false;
    double lastFrameInterval = 0.0;
    double frameDuration = 0.0;
    int requestedTotal = 0;
    int droppedTotal = 0;
    int droppedLast = 0;
    Rectangle area;

private:
    void open();
    void initialize();
    void setupGL();
    void close();
    void drawFrameOverlay();
    void countFlip(int frames);

    APICanvasProperties* api = nullptr;
};

} // namespace Stimulark
