#pragma once

#include "stimulark/canvas/Drawable.hpp"
#include "stimulark/canvas/FrameTiming.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/geometry/Rectangle.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace Stimulark {

class APICanvasProperties;
class Image;

// Buffer selectors of Canvas::clear.
inline constexpr int BACK_BUFFER = 2;
inline constexpr int FRONT_BUFFER = 4;

// The full-screen drawing surface: a borderless top-most window in the display's
// current mode with a double-buffered OpenGL context and a pixel-exact projection
// (origin top left, y down).
class Canvas : public Drawable, public FrameTiming {
public:
    enum Error { ALREADY_OPEN = 1 };

    // Opens full screen in the display's current mode; `mode` selects nothing. A
    // failed opening gives back the display mode, cursor, window and context.
    explicit Canvas(int mode = 0);
    ~Canvas() override;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // A canvas opens once, in its constructor: on an open canvas this throws
    // Canvas::ALREADY_OPEN and changes nothing.
    void open();

    double getCenterX() const { return (width / 2) - 0.5; }
    double getCenterY() const { return (height / 2) - 0.5; }
    double getRefreshRate() const { return refreshRate; }

    // Ends a frame: overlays, glFinish, waits until the previous frame has been
    // shown for its count of refresh periods, swaps, records the interval. Returns
    // the frame's onset, also kept in lastOnset.
    Clock flip(int frames);
    // What onsets are taken from: "swap completion" (the clock read right after the
    // swap returned) unless the platform reports when frames were shown.
    const char* onsetSource() const;
    // Asks for swaps in step with the retrace (1) or not (0); false when the platform
    // refuses, for any other value, and without a window. Acceptance does not prove
    // that the display has a retrace: measureRefreshRate tells.
    bool setSwapInterval(int interval);
    // Swaps blank frames in the clear colour, with swaps in step with the retrace
    // asked for meanwhile (the setting is restored after) and without pacing, and
    // judges their intervals (FrameTiming::measureRefresh). Returns the rate in Hz,
    // or 0.0 where the swaps were not paced by a retrace. Leaves a cleared back buffer.
    double measureRefreshRate(int flips = 60);
    // Reads the back buffer as drawn so far, before the overlays of flip, into the
    // image, which becomes RGB BYTE at the canvas's size; pixel (x, y) of the canvas
    // is pixel (x, y) of the image. Whatever the image held is released first.
    void capture(Image& image);
    // The recorded intervals as CSV (flip,interval_ms,frames,dropped) and as a PNG
    // plot; paths take the file placeholders.
    void saveFrameIntervals(const std::string& path) const;
    void plotFrameIntervals(const std::string& path) const;
    // Sets the GL clear colour and clears BACK_BUFFER or FRONT_BUFFER (any other
    // selector clears nothing); drawing goes to the back buffer afterwards.
    void clear(Color color, int buffer);
    void clear(int buffer);
    void setClearColor(Color color) { clearColor = color; }

    // Fills the rectangle including its right and bottom edge pixels.
    void fillRect(const Rectangle& rect, Color color);
    // Fills on whatever rendering context is current; reads no canvas state.
    static void fillCurrent(const Rectangle& rect, Color color);
    void drawImage(const Image& image, double x, double y);
    // Draws on Canvas::current; refuses to draw when no canvas is open.
    static void drawImageCurrent(const Image& image, double x, double y);
    // Text in the bitmap font; y is the row of the glyphs' bottom, lines 10 pixels
    // apart. Alignment 0 runs right from x, 1 is centred on x, 2 ends at x. Lines
    // break at CR, LF or CR LF, and before a glyph that would pass maxWidth; with
    // maxWidth <= 0 the room is what the canvas has from x in the alignment's
    // direction (both ways when centred). Returns the line count.
    int drawText(const char* text, double x, double y, Color color, int alignment, double maxWidth);
    // Text in the seven-segment font, 12-pixel cells: forward with the first glyph
    // at x, or backward with the last glyph ending before x.
    void drawSegmentText(std::string_view text, double x, double y, Color color, bool forward);

    APICanvasProperties* platformPart() { return api; }

    // The open canvas that drawing without a canvas goes to: the first to open,
    // until it closes; then the oldest canvas still open, with its rendering context
    // made current. Null while none is open.
    static Canvas* current;

    Color clearColor{0.0, 0.0, 0.0, 1.0};
    bool hasWindow = false;
    int width = 0;
    int height = 0;
    int colorDepth = 0;
    double refreshRate = 0.0;
    Rectangle area;

private:
    void initialize();
    void setupGL();
    void close();
    void drawFrameOverlay();
    std::optional<Clock> swapAndAskPresentation();
    [[noreturn]] static void refuseWithoutWindow();

    APICanvasProperties* api = nullptr;
    Canvas* nextOpen_ = nullptr;
};

} // namespace Stimulark
