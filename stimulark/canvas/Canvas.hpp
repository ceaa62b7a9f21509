#pragma once

/// \file
/// The full-screen canvas: opening, drawing, text, flip and frame timing.

#include "stimulark/canvas/Drawable.hpp"
#include "stimulark/canvas/FrameTiming.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/draw/Stimuli.hpp"
#include "stimulark/geometry/Point.hpp"
#include "stimulark/geometry/Rectangle.hpp"

#include <span>
#include <string>
#include <string_view>

namespace Stimulark {

class APICanvasProperties;
class ClipCounter;
class FloatBuffer;
class Font;
class Image;
class ShaderPath;
class StimulusPath;

/** @{ */
/// Buffer selectors of Canvas::clear.
inline constexpr int BACK_BUFFER = 2;
inline constexpr int FRONT_BUFFER = 4;
/** @} */

/// The full-screen drawing surface: a borderless top-most window in the display's
/// current mode with a double-buffered OpenGL context and a pixel-exact projection
/// (origin top left, y down).
///
/// Drawing goes to the back buffer; flip shows it. The cursor is hidden while a
/// canvas is open. The frame pacing, the frame counters and the interval log come
/// from FrameTiming.
class Canvas : public Drawable, public FrameTiming {
public:
    /// Thrown as a bare value, not as an Exception; the entry reports it as
    /// "Stimulark::Canvas [ALREADY OPEN] The canvas is already open.".
    enum Error { ALREADY_OPEN = 1 };

    /// Opens full screen in the display's current mode; `mode` selects nothing. A
    /// failed opening gives back the display mode, cursor, window and context.
    ///
    /// Opening resets the frame statistics, takes the frame duration from
    /// refreshRate, asks for swaps in step with the retrace (setSwapInterval(1))
    /// where the platform accepts it, blanks both buffers with two swaps, sets the
    /// clear colour to black and makes the canvas Canvas::current if none is.
    /// Without a reachable display it throws "Stimulark::APICanvasProperties [API
    /// ERROR] API Error (Failed to switch display mode)"; other platform failures are
    /// "API ERROR"s too.
    explicit Canvas(int mode = 0);
    /// Closes: restores a changed gamma ramp, gives back context, window, display
    /// mode and cursor; the oldest canvas still open becomes current.
    ~Canvas() override;
    /** @{ */
    /// A canvas owns its window and rendering context.
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    /** @} */

    /// A canvas opens once, in its constructor: on an open canvas this throws
    /// Canvas::ALREADY_OPEN and changes nothing.
    void open();

    /** @{ */
    /// The canvas's centre in pixels. It is (width / 2) - 0.5 and (height / 2) - 0.5
    /// in integer division: between the two middle pixels of an even size, half a
    /// pixel before the middle pixel of an odd one.
    double getCenterX() const { return (width / 2) - 0.5; }
    double getCenterY() const { return (height / 2) - 0.5; }
    /** @} */
    /// refreshRate, as the platform reports it; not a measured rate.
    double getRefreshRate() const { return refreshRate; }

    /// Shows the frame drawn so far, for `frames` refresh periods.
    ///
    /// Ends a frame: overlays, glFinish, waits until the frame on the display has
    /// stayed its count of refresh periods, swaps, and where the display reports when
    /// frames were shown, waits for this frame's report (see setOnsetWait). Returns
    /// the frame's onset, also kept in lastOnset; onsetSource names what it was taken
    /// from.
    ///
    /// The overlays are the variable monitor's panel (which also reads its arrow
    /// keys), the frame overlay while showFrameOverlay is on and the cursor cross
    /// while Mouse::showCursorCross is on. `frames` is how many refresh periods this
    /// frame stays: the next flip waits for them. Fewer than 1 throws
    /// "ARGUMENT ERROR" before anything is drawn.
    Clock flip(int frames);
    /// The best onset known now of one of the last 1024 flips (numbered as flipCount
    /// counts them), taking in the reports that have arrived first, without waiting.
    /// A reaction-time program can ask for the stimulus's onset after the response,
    /// at no timing cost, on a display whose reports come a frame or more late. Any
    /// other flip throws "Stimulark::Canvas [ARGUMENT ERROR] the flip must be one of
    /// the last 1024.".
    Clock onsetOf(long long flip);
    /// What onsetOf(flip) is taken from, as onsetSource names it; the same refusals.
    const char* onsetSourceOf(long long flip);
    /// Asks for swaps in step with the retrace (1, as opening does) or not (0); false
    /// when the platform refuses, for any other value, and without a window.
    /// Acceptance does not prove that the display has a retrace: measureRefreshRate
    /// tells.
    bool setSwapInterval(int interval);
    /// Measures the display's actual refresh rate.
    ///
    /// Swaps blank frames in the clear colour, with swaps in step with the retrace
    /// asked for meanwhile (the setting is restored after) and without pacing, and
    /// judges their intervals (FrameTiming::measureRefresh). Returns the rate in Hz,
    /// or 0.0 where the swaps were not paced by a retrace. Leaves a cleared back buffer.
    /// Throws "NO CANVAS" without a window and "ARGUMENT ERROR" unless 3 <= `flips`
    /// <= 100000.
    double measureRefreshRate(int flips = 60);
    /// Copies the frame drawn so far into an image.
    ///
    /// Reads the back buffer as drawn so far, before the overlays of flip, into the
    /// image, which becomes RGB BYTE at the canvas's size; pixel (x, y) of the canvas
    /// is pixel (x, y) of the image. Whatever the image held is released first.
    /// Throws "NO CANVAS" without a window.
    void capture(Image& image);
    /// Writes the recorded frame intervals as a CSV file.
    ///
    /// The log, judged with what is known now, as CSV with the header
    /// `flip,interval_ms,frames,dropped,onset_source`: the flip's number in the log
    /// from 1, the interval from the frame it replaced in ms with three decimals
    /// (empty for a frame never shown), the periods that frame was asked to stay, the
    /// periods dropped, and what both onsets were taken from. The path takes the file
    /// placeholders (File::decodePathForSaving). An existing file is replaced only by
    /// a complete one; a failure throws "Stimulark::File [FILE ACCESS ERROR] Failed
    /// to open the requested file.".
    void saveFrameIntervals(const std::string& path) const;
    /// Writes a plot of the recorded frame intervals as a PNG file.
    ///
    /// The recorded intervals as a 1000 x 640 PNG plot: the intervals over the flips
    /// and their histogram, with lines at whole refresh periods. The path takes the
    /// file placeholders as saveFrameIntervals does; failures are those of a PNG save.
    void plotFrameIntervals(const std::string& path) const;
    /// Clears a buffer to a colour.
    ///
    /// Sets the GL clear colour and clears BACK_BUFFER or FRONT_BUFFER (selector 1
    /// also clears the back buffer; any other clears nothing); drawing goes to the
    /// back buffer afterwards. clearColor stays as it was.
    void clear(Color color, int buffer);
    /// clear with clearColor.
    void clear(int buffer);
    /// Sets clearColor, the colour of clear(int) and of measureRefreshRate's frames.
    void setClearColor(Color color) { clearColor = color; }

    /// Fills the rectangle including its right and bottom edge pixels, blended by
    /// the colour's alpha.
    void fillRect(const Rectangle& rect, Color color);
    /// Fills on whatever rendering context is current; reads no canvas state.
    static void fillCurrent(const Rectangle& rect, Color color);
    /// Draws the image with its top-left corner at (x, y).
    ///
    /// A textured image (Image::useTexture) is drawn as its texture at targetArea's
    /// size, any other from its bitmap, RGBA blended by alpha. Refuses an image
    /// without bitmap ("Memory Error").
    void drawImage(const Image& image, double x, double y);
    /// Draws on Canvas::current; refuses to draw when no canvas is open.
    static void drawImageCurrent(const Image& image, double x, double y);
    /// Writes text in the bitmap font; returns the number of lines.
    ///
    /// Text in the bitmap font; y is the row of the glyphs' bottom, lines 10 pixels
    /// apart. Alignment 0 runs right from x, 1 is centred on x, 2 ends at x. Lines
    /// break at CR, LF or CR LF, and before a glyph that would pass maxWidth; with
    /// maxWidth <= 0 the room is what the canvas has from x in the alignment's
    /// direction (both ways when centred). Returns the line count.
    ///
    /// The font has the 128 ASCII codes; any other byte shows as the dot of a control
    /// code. A null text draws nothing.
    int drawText(const char* text, double x, double y, Color color, int alignment, double maxWidth);
    /// Writes UTF-8 text in a TrueType or OpenType font; returns the number of lines.
    ///
    /// The text is shaped (kerning, ligatures, joining, clusters) and each paragraph
    /// ordered by the Unicode bidirectional algorithm, its direction taken from its first
    /// strong character. `y` is the first line's baseline, the row that letters without
    /// descenders end on; lines lie Font::lineHeight apart. Lines break at CR, LF and
    /// CR LF and, where `maxWidth` is above 0, before a word (after spaces) that would
    /// take the line past `maxWidth` pixels, dropping the spaces at the break; a word
    /// wider than that breaks between clusters. Alignment 0 runs right from x, 1 centres
    /// each line on x, 2 ends it at x. Each maximal ill-formed UTF-8 sequence shows as one
    /// U+FFFD.
    ///
    /// Glyphs lie on whole pixels (x and y are rounded to them), each showing its
    /// anti-aliased coverage, the colour blended by its alpha times the coverage; the
    /// pixels are those of Font::measure moved by the rounded x and y (alignment 0). The
    /// program's GL model-view matrix applies, as for the shapes, and the shader path
    /// needs OpenGL 3.3 as they do. A position that is not finite, or a NaN `maxWidth`,
    /// throws "Stimulark::Canvas [ARGUMENT ERROR] <argument> is out of range.".
    ///
    /// The layout is kept with the font, so that unchanged text costs no shaping on the
    /// next frame; glyphs are rasterised once and kept in a texture of the canvas, and
    /// a text is one draw.
    int drawText(const Font& font, std::string_view utf8, double x, double y, Color color, int alignment = 0,
                 double maxWidth = 0.0);
    /** \name Shapes
     * Drawn on the shader path, which needs OpenGL 3.3: on an older context they throw
     * "Stimulark::Canvas [API ERROR] OpenGL 3.3 is needed for this drawing; the display
     * offers <GL_VERSION>.". Coordinates are canvas pixels naming pixel centres, as a
     * Rectangle's do: pixel (i, j) spans i ± 0.5, so fillOval of the rectangle (0, 0)-(9,
     * 9) is a disc of diameter 10 centred at (4.5, 4.5). The program's GL model-view
     * matrix applies (without the canvas's own 0.375 offset). Edges are anti-aliased by
     * the part of each pixel that the shape covers; colours blend by their alpha. A
     * width, pen or diameter below 0, and any coordinate that is not a finite number,
     * throw "Stimulark::Canvas [ARGUMENT ERROR] <argument> is out of range.".
     */
    ///@{
    /// A straight line `lineWidth` pixels wide, with butt ends exactly at its end points.
    void drawLine(double x1, double y1, double x2, double y2, double lineWidth, Color color);
    /// A connected line through the points, joined by mitres up to 4 × `lineWidth` long,
    /// else bevels; its two ends are butt.
    void drawLines(std::span<const Point> points, double lineWidth, Color color);
    /// The rectangle's outline, the pen inside its bounds.
    void frameRect(const Rectangle& rect, double penWidth, Color color);
    /// The oval filling the bounds.
    void fillOval(const Rectangle& bounds, Color color);
    /// The oval's outline (a ring), the pen inside the bounds.
    void frameOval(const Rectangle& bounds, double penWidth, Color color);
    /// A wedge of the oval from `startAngle` over `arcAngle` degrees, clockwise from
    /// 12 o'clock as seen on the screen; a negative `arcAngle` runs anticlockwise.
    void fillArc(const Rectangle& bounds, double startAngle, double arcAngle, Color color);
    /// The polygon through the points, convex or not; where its outline crosses
    /// itself, by the even-odd rule.
    void fillPolygon(std::span<const Point> points, Color color);
    /// Round dots, all of one diameter and colour, in one draw.
    void drawDots(std::span<const Point> centres, double diameter, Color color);
    /// Round dots, each of its own diameter and colour, in one draw.
    void drawDots(std::span<const Dot> dots);
    ///@}

    /** \name Gratings, Gabor patches and noise
     * Computed per pixel on the shader path (OpenGL 3.3, refused as the shapes are) and
     * placed in canvas pixels: the GL model-view matrix does not apply. Each channel of
     * a pixel is the mean's channel times (1 + deviation), drawn opaquely (the mean's
     * alpha is not used) and rounded to the nearest of the display's levels. A channel
     * outside 0..1 is clipped, and clippedPixels counts it. A size or sigma not above 0,
     * a pixel size below 1, an unknown noise kind, a mean outside 0..1, and any number
     * that is not finite or beyond a billion, throw "Stimulark::Canvas [ARGUMENT ERROR]
     * <argument> is out of range.", before anything is drawn.
     */
    ///@{
    /// Gabor patches, in one draw. Patch pixel (i, j) with dx = i - x and dy = j - y
    /// (y down) and the orientation θ has x′ = dx cos θ + dy sin θ and y′ = -dx sin θ +
    /// dy cos θ, and the deviation contrast · sin(2π f x′ + phase) · exp(-(x′² +
    /// aspect² y′²) / (2σ²)). Patches are drawn in order, a later square covering an
    /// earlier one; into the float buffer (setFloatBuffer) each adds mean × deviation to
    /// what is there instead, so that overlapping patches sum (clear to the mean first).
    void drawGabors(std::span<const Gabor> patches, Color mean);
    /// A sine grating filling the area's pixels: the deviation c · sin(2π f x′ + phase),
    /// with x′ as for Gabor patches, measured from the area's centre. With a positive
    /// aperture radius R and edge e, c is the contrast up to R - e from the centre, the
    /// contrast × ½(1 + cos(π(r - R + e)/e)) from there to R, and 0 beyond R.
    void drawGrating(const Grating& grating, Color mean);
    /// White noise in square cells of `pixelSize` pixels, counted from the area's
    /// top-left pixel (the last ones may be cut by the area's edge). Cell (u, v) takes
    /// the 32-bit hash h = mix(v ^ mix(u ^ mix(seed))), mix being the lowbias32 mixer
    /// (x ^= x >> 16; x *= 0x7feb352d; x ^= x >> 15; x *= 0x846ca68b; x ^= x >> 16), and
    /// the same value in every channel:
    /// - NOISE_UNIFORM: mean × (1 + contrast (2U - 1)), U = (h's top 24 bits + 0.5) / 2²⁴;
    /// - NOISE_BINARY: mean × (1 + contrast) where h's top bit is set, else mean × (1 -
    ///   contrast);
    /// - NOISE_GAUSSIAN: mean × (1 + contrast z), z = sqrt(-2 ln U₁) cos(2π U₂) with U₁ and
    ///   U₂ = (h's upper and lower 16 bits + 0.5) / 2¹⁶: the standard deviation is
    ///   contrast × mean.
    ///
    /// The same seed gives the same cells on every driver and in every run, uniform and
    /// binary noise level for level, Gaussian noise within one level (drivers' logarithms
    /// and cosines differ); Image::fillNoise computes them on the CPU. A fresh seed each
    /// frame costs no upload.
    void drawNoise(const Rectangle& area, int pixelSize, int kind, double contrast, Color mean, unsigned seed);
    /// The pixels drawn out of range in the frame that flip showed last: the fragments
    /// of drawGabors, drawGrating and drawNoise with a channel clipped in the 8-bit buffer
    /// or, while the float buffer is on, every pixel clipped at its conversion. 0 before
    /// the first flip.
    long long clippedPixels() const { return clippedPixels_; }
    /// Pixels per degree of visual angle at the screen's centre: the canvas's width over
    /// the screen's, times the 2 d tan(0.5°) centimetres that one degree spans there.
    /// Refuses a width or distance that is not a positive number ("ARGUMENT ERROR").
    double pixelsPerDegree(const ViewingGeometry& geometry) const;
    /// Draws into a 32-bit float buffer of the canvas's size while on, so that Gabor
    /// patches add exactly and values stay finer than the display's levels.
    ///
    /// Everything the canvas draws goes there; flip converts it to the display's levels
    /// as its first step, before the overlays and glFinish, rounding to the nearest (or
    /// dithering, setDither), and counts the pixels clipped (clippedPixels). capture
    /// reads it converted; clear(FRONT_BUFFER) still clears the displayed buffer, and the
    /// auxiliary-buffer upload of textures and measureRefreshRate's frames use the
    /// window's own buffers. Turning it on takes in the frame drawn so far, and turning
    /// it off converts it back. A program's own GL that selects buffers (glDrawBuffer,
    /// glReadPixels) meets the float buffer's framebuffer while it is on. The display
    /// must offer OpenGL 3.3 and float buffers, or this throws "API ERROR"; without a
    /// window, "NO CANVAS".
    void setFloatBuffer(bool on);
    /// Spreads the float buffer's rounding by an 8 × 8 ordered (Bayer) dither, so that a
    /// large area's mean level is finer than the display's steps; off by default, no
    /// effect without the float buffer.
    void setDither(bool on) { dither_ = on; }
    ///@}

    /// Writes digits in the seven-segment font of the frame overlay.
    ///
    /// Text in the seven-segment font, 12-pixel cells: forward with the first glyph
    /// at x, or backward with the last glyph ending before x. The glyphs stand on
    /// row y and reach 16 pixels up. The font has the digits, '-', '!', A to J and O;
    /// any other character shows as a dot.
    void drawSegmentText(std::string_view text, double x, double y, Color color, bool forward);

    /// The platform half (window, rendering context, saved gamma ramp); null while
    /// closed. Its class is the backends' and is not among the installed headers.
    APICanvasProperties* platformPart() { return api; }

    /// The open canvas that drawing without a canvas goes to: the first to open,
    /// until it closes; then the oldest canvas still open, with its rendering context
    /// made current. Null while none is open.
    static Canvas* current;

    /// The colour of clear(int) and of measureRefreshRate's frames; black after opening.
    Color clearColor{0.0, 0.0, 0.0, 1.0};
    /// Whether the canvas is open.
    bool hasWindow = false;
    /** @{ */
    /// The size in pixels and bits per pixel of the display's current mode, and its
    /// refresh rate in Hz as the platform reports it, or 60 where it reports 0 or 1
    /// (usableRefreshRate).
    int width = 0;
    int height = 0;
    int colorDepth = 0;
    double refreshRate = 0.0;
    /** @} */
    /// The whole canvas, (0, 0) to (width - 1, height - 1).
    Rectangle area;

private:
    void initialize();
    void setupGL();
    void close();
    void drawFrameOverlay();
    Clock flipFrame(int frames, bool programFlip);
    [[noreturn]] static void refuseWithoutWindow();

    // Refuses to draw without a window; makes this canvas's context current if another
    // canvas's is.
    void useContext();
    // The shader path and the stimulus path of this canvas's context, made on first use.
    ShaderPath& shaderPath();
    StimulusPath& stimulusPath();
    ClipCounter& clipCounter();

    APICanvasProperties* api = nullptr;
    Canvas* nextOpen_ = nullptr;
    ShaderPath* shaderPath_ = nullptr;
    StimulusPath* stimulusPath_ = nullptr;
    FloatBuffer* floatBuffer_ = nullptr;
    ClipCounter* clipCounter_ = nullptr;
    bool floatOn_ = false;
    bool dither_ = false;
    long long clippedPixels_ = 0;
};

} // namespace Stimulark
