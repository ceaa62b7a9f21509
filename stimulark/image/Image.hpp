#pragma once

/// \file
/// Images: rasters in main memory, drawn on the canvas and read from PNG files.

#include "stimulark/canvas/Drawable.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/geometry/Rectangle.hpp"

#include <cstdint>
#include <limits>
#include <string>

namespace Stimulark {

/// The components of a pixel: one grey value, red green blue, or red green blue
/// alpha, stored in that order.
enum PixelComponents : int { GRAY = 0, RGB = 1, RGBA = 2 };
/// How a component is stored: an 8-bit byte for 0..255, or a 32-bit float.
enum PixelPrecision : int { BYTE = 0, FLOAT = 1 };

/// Bytes every bitmap row is padded to a multiple of, as OpenGL packs rows.
inline constexpr int BITMAP_ALIGNMENT = 4;
/// The most bytes a bitmap may take, row padding included: its sizes are ints.
inline constexpr std::int64_t MAX_BITMAP_BYTES = std::numeric_limits<int>::max();

/// The graphics platform's share of an image: its texture.
class APIImageProperties {
public:
    /// The OpenGL texture name, valid while Image::textured is true, and only in the
    /// rendering context of the canvas opening it was made in.
    std::uint32_t textureName = 0;
    /// Which canvas opening made the texture: its name means nothing in another's
    /// context, where a later texture may carry the same name.
    std::uint64_t canvasSerial = 0;
    /** @{ */
    /// The smallest powers of two, at least 2, that hold the image.
    int textureWidth = 0;
    int textureHeight = 0;
    /** @} */
};

class Image;
namespace IMAGE_FORMATS {
class PNG_BRIDGE;
}
/** @{ */
/// Writes or reads pixel (x, y), counted from the top-left corner, in one layout and
/// precision. Coordinates outside the image throw "Out Of Bound Exception"
/// ("Specified coordinate is out of bound.").
using PixelSetter = void (*)(Image& image, int x, int y, Color color);
using PixelGetter = Color (*)(const Image& image, int x, int y);
/** @} */

/** @{ */
/// The access functions of each format, indexed by precision * 3 + components.
extern const PixelSetter pixelSetters[6];
extern const PixelGetter pixelGetters[6];
/** @} */
/** @{ */
/// The dispatch of an image without bitmap: every coordinate is out of bound.
void setPixelWithoutBitmap(Image& image, int x, int y, Color color);
Color getPixelWithoutBitmap(const Image& image, int x, int y);
/** @} */

/// A raster in main memory: bottom-up rows aligned to 4 bytes, one layout
/// (GRAY, RGB, RGBA) and one precision (BYTE, FLOAT) fixed at allocation.
///
/// Pixel (x, y) counts from the top-left corner like the canvas; the bitmap holds the
/// bottom row first, as OpenGL does.
class Image : public Drawable {
public:
    /// An empty image, without bitmap: set() or load() gives it one.
    Image() = default;
    /// An image allocated as set() does.
    Image(int width, int height, PixelComponents components, PixelPrecision precision);
    /// Releases the bitmap and the texture (deleted only in the context it was made in).
    ~Image() override;
    /** @{ */
    /// An image owns its bitmap and texture: it moves, and is never copied.
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    /** @} */
    /// Takes the other image's bitmap, texture and places; the other is left empty,
    /// as after release().
    Image(Image&& other) noexcept;
    /// Releases what this image held, then takes the other's as the move
    /// constructor does.
    Image& operator=(Image&& other) noexcept;

    /// Refuses a second allocation, illegal sizes, layouts and precisions, and bitmaps
    /// whose byte count does not fit the 32-bit size fields; a refused set leaves the
    /// image as it was. The new bitmap is opaque black, its row padding zero.
    ///
    /// Refusals: "Memory Error" ("Image object already has its bitmap." or "The
    /// requested image is too large.") and "FORMAT ERROR" for a width or height
    /// below 1 or a layout or precision outside its enumeration.
    void set(int width, int height, PixelComponents components, PixelPrecision precision);
    /// Deletes the texture, the bitmap and the platform part; harmless when empty.
    void release();

    /** @{ */
    /// The image's size in pixels; 0 without bitmap.
    double getWidth() const { return width; }
    double getHeight() const { return height; }
    /** @} */
    /// The pixel data, bottom row first: byteBitmap or floatBitmap by precision.
    /// Refuses an image without bitmap with "Memory Error".
    void* getBitmap() const;

    /// Fills the whole image.
    void clear(Color color);
    /// Paints rect clipped to area, its edges rounded with roundToInt. A rect outside
    /// the image throws "SIZE ERROR"; an image without bitmap, "Out Of Bound Exception".
    void fill(Rectangle rect, Color color);
    /// Fills the area's pixels with the white noise that Canvas::drawNoise draws with
    /// the same arguments: the levels it shows in the 8-bit buffer, opaque (GRAY keeps
    /// the red channel). The cells count from the area's top-left pixel, even where the
    /// area reaches beyond the image; pixels outside the image are left out. Refusals
    /// are Canvas::drawNoise's ("Stimulark::Image [ARGUMENT ERROR] ...") and "Memory
    /// Error" without bitmap.
    void fillNoise(const Rectangle& rect, int pixelSize, int kind, double contrast, Color mean, unsigned seed);
    /// Writes pixel (x, y) through pixelSetter. BYTE stores each component as
    /// v x 255 + 0.5 truncated; GRAY keeps the red component and RGB drops alpha.
    void setPixel(int x, int y, Color color) { pixelSetter(*this, x, y, color); }
    /// Reads pixel (x, y) through pixelGetter; GRAY and RGB read as opaque.
    Color getPixel(int x, int y) const { return pixelGetter(*this, x, y); }

    /// Draws on Canvas::current, at targetArea's top-left corner or at (left, top).
    /// Without an open canvas it throws "NO CANVAS"; see Canvas::drawImage.
    void draw() const;
    /// \copydoc draw()
    void draw(double left, double top) const;
    /// true: uploads the pixels into a power-of-two texture (kept on later calls);
    /// false: deletes the texture. Needs an open canvas.
    ///
    /// Call it again after changing the pixels: a texture is drawn from what was
    /// uploaded. A texture belongs to the canvas it was made on: while another
    /// canvas, or none, draws, the image draws from its bitmap, true makes it a new
    /// texture, and the old one is never deleted, since its name may by then be
    /// another image's. Refuses an image without bitmap ("Memory Error"), no open
    /// canvas ("NO CANVAS") and sizes beyond the display's texture limit ("TEXTURE
    /// ERROR").
    void useTexture(bool on);
    /// Whether drawing now uses the texture: one was uploaded, on the canvas whose
    /// rendering context is current.
    bool textureInUse() const;

    /// Reads a PNG file into the image, releasing what it held; the result is BYTE
    /// GRAY, RGB or RGBA. The name takes the file placeholders (File::decodePath) and
    /// must end in ".png", in lower case, or it throws "File Type Error" ("Specified
    /// image type is not supported."). A file that cannot be read, or a name
    /// holding a NUL, throws "Stimulark::IMAGE_FORMATS::PNG_BRIDGE [FILE ACCESS
    /// ERROR] Failed to open the requested file."; one that is no PNG, or too large,
    /// "[FILE FORMAT ERROR] The requested file is not PNG.".
    void load(const char* fileName);
    /// \copydoc load(const char*)
    void load(std::string fileName);
    /// Writes a BYTE image as a PNG file. The name must end in ".png", as for load,
    /// and may use the same folder placeholders (File::decodePathForSaving, which
    /// creates a missing user folder). An existing file is replaced only once the
    /// whole new picture is written (see IMAGE_FORMATS::PNG_BRIDGE::save).
    /// Throws "File Type Error" for another name, "[FILE FORMAT ERROR] The
    /// requested data is not able to be put as a PNG file." for a FLOAT image or
    /// one without bitmap, and "[FILE ACCESS ERROR] Failed to open the requested
    /// file." when the file cannot be written or the name holds a NUL.
    void save(const char* fileName);
    /// \copydoc save(const char*)
    void save(std::string fileName);

    /// The texture's record; null without bitmap.
    APIImageProperties* api = nullptr;
    /** @{ */
    /// The size in pixels; 0 without bitmap.
    int width = 0;
    int height = 0;
    /** @} */
    /** @{ */
    /// The format fixed at allocation; RGB and BYTE without bitmap.
    PixelComponents components = RGB;
    PixelPrecision precision = BYTE;
    /** @} */
    /// The whole image, (0, 0) to (width - 1, height - 1).
    Rectangle area;
    /// Where draw() puts the image and, for a texture, the size it is drawn at; area
    /// after allocation.
    Rectangle targetArea;
    /// Whether the image has a bitmap.
    bool haveBitmap = false;
    /// Whether useTexture has uploaded a texture, which drawing then uses.
    bool textured = false;
    /** @{ */
    /// The pixel data of a FLOAT or of a BYTE image; the other pointer is null.
    float* floatBitmap = nullptr;
    std::uint8_t* byteBitmap = nullptr;
    /** @} */
    int pixelBytes = 0;     ///< bytes of one pixel
    int lineBytes = 0;      ///< bytes of a row, padding included
    int bitmapBytes = 0;    ///< lineBytes x height
    int lineElements = 0;   ///< components (bytes or floats) of a row, padding included
    int bitmapElements = 0; ///< lineElements x height
    /** @{ */
    /// Chosen at allocation from pixelSetters and pixelGetters.
    PixelSetter pixelSetter = &setPixelWithoutBitmap;
    PixelGetter pixelGetter = &getPixelWithoutBitmap;
    /** @} */

    /// Zeroes the bytes past each row's last pixel, which belong to no pixel.
    /// set() does it; a program writing whole rows into the bitmap may need it again.
    void zeroRowPadding();

private:
    // Everything of other's becomes this image's; other is left empty.
    void takeFrom(Image& other) noexcept;
    /// The PNG reader allocates without painting, since it writes every pixel.
    friend class IMAGE_FORMATS::PNG_BRIDGE;
    // set without painting: for readers that write every pixel themselves.
    void allocate(int width, int height, PixelComponents components, PixelPrecision precision);
};

} // namespace Stimulark
