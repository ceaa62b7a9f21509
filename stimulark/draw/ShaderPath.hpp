#pragma once

#include "stimulark/color/Color.hpp"
#include "stimulark/draw/Outline.hpp"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace Stimulark {

class GlyphAtlas;

// One shape for the instanced shape program: its bounds (edges, not pixel centres),
// its parameters and its colour.
struct ShapeInstance {
    enum Kind { fillRect, frameRect, fillOval, frameOval, fillArc };
    float left, top, right, bottom;
    float pen, start, sweep, kind;
    float r, g, b, a;
};

// One dot: its centre, its diameter and its colour.
struct DotInstance {
    float x, y, diameter, unused;
    float r, g, b, a;
};

// A canvas's shader-path drawing: its programs, buffers and coverage mask, made in its
// rendering context on first use and deleted with it. The GL state the fixed-function
// drawing relies on is as it was after every call.
class ShaderPath {
public:
    static constexpr int maskFloats = 20; // a mask instance: its box and four edges
    // A glyph quad: the left, top, width and height of its pixels (whole pixels from the
    // text's origin) and the texel of its top-left pixel in the glyph atlas.
    static constexpr int glyphFloats = 6;
    ShaderPath(int width, int height);
    ~ShaderPath();
    ShaderPath(const ShaderPath&) = delete;
    ShaderPath& operator=(const ShaderPath&) = delete;

    // Analytic shapes in canvas coordinates, through the program's GL matrix, in one draw.
    void drawShapes(std::span<const ShapeInstance> shapes);
    // Dots likewise, in one draw; `largest` is the largest diameter among them.
    void drawDots(std::span<const DotInstance> dots, double largest);
    // The union of convex pieces (lines and their joins), in canvas coordinates.
    void fillPieces(std::span<const Piece> pieces, Color color);
    // A polygon by the even-odd rule, its edges anti-aliased by distance.
    void fillPolygon(std::span<const Point> points, Color color);
    // The glyph texture of this context, with the text program, made on first use.
    GlyphAtlas& glyphAtlas();
    // Glyph quads from the atlas (glyphFloats each) at the origin, through the program's
    // GL matrix, in one draw: the colour blended by its alpha times the glyphs' coverage.
    void drawGlyphs(std::span<const float> quads, double originX, double originY, Color color);

private:
    // From canvas coordinates to window pixels (from the bottom left), as the program's
    // GL matrices place them.
    struct Placement {
        std::array<double, 16> matrix{}; // column-major, to clip space
        double width = 0.0, height = 0.0;
        Point toWindow(Point p) const;
    };
    Placement placement() const;
    // Makes `program` current with the placement's matrix and pixel size, blending as
    // the canvas does.
    void useTransformed(unsigned program, int transform, int pixelHalf);
    void uploadInstances(const void* data, std::size_t bytes);
    void uploadPlain(const float* data, std::size_t bytes);
    // Readies the mask over a box of the window (clipped to it); false when nothing of
    // it is on the window.
    bool beginMask(float left, float bottom, float right, float top);
    // The mask's box as two triangles.
    void drawBox();
    void compositeMask(Color color, unsigned target);

    int width_, height_;
    unsigned shapeProgram_ = 0, dotProgram_ = 0, maskProgram_ = 0, compositeProgram_ = 0, textProgram_ = 0;
    int textTransform_ = -1, textOrigin_ = -1, textColour_ = -1, textGlyphs_ = -1;
    unsigned textArray_ = 0;
    std::unique_ptr<GlyphAtlas> atlas_;
    int shapeTransform_ = -1, shapePixelHalf_ = -1, dotTransform_ = -1, dotPixelHalf_ = -1, maskWindow_ = -1,
        maskPass_ = -1, compositeWindow_ = -1, compositeColour_ = -1,
        compositeFill_ = -1, compositeMask_ = -1;
    unsigned cornerBuffer_ = 0, instanceBuffer_ = 0, plainBuffer_ = 0;
    std::size_t instanceCapacity_ = 0, plainCapacity_ = 0;
    unsigned shapeArray_ = 0, dotArray_ = 0, pointArray_ = 0, maskArray_ = 0, plainArray_ = 0;
    unsigned pointProgram_ = 0;
    int pointTransform_ = -1, pointScale_ = -1, pointSqueeze_ = -1, pointViewport_ = -1;
    double largestPoint_ = 0.0; // the largest sprite the display draws, in window pixels
    unsigned maskFramebuffer_ = 0, maskTexture_ = 0, maskStencil_ = 0;
    int maskBox_[4] = {}; // the scissor box of the mask in use
    std::vector<float> staging_, windowPoints_;
};

} // namespace Stimulark
