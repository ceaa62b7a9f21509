#pragma once

#include "stimulark/canvas/Drawable.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/geometry/Rectangle.hpp"

#include <cstdint>
#include <string>

namespace Stimulark {

enum PixelComponents : int { GRAY = 0, RGB = 1, RGBA = 2 };
enum PixelPrecision : int { BYTE = 0, FLOAT = 1 };

inline constexpr int BITMAP_ALIGNMENT = 4;

// The graphics platform's share of an image: its texture.
class APIImageProperties {
public:
    std::uint32_t textureName = 0;
    int textureWidth = 0;
    int textureHeight = 0;
};

class Image;
namespace IMAGE_FORMATS {
class PNG_BRIDGE;
}
using PixelSetter = void (*)(Image& image, int x, int y, Color color);
using PixelGetter = Color (*)(const Image& image, int x, int y);

// The access functions of each format, indexed by precision * 3 + components.
extern const PixelSetter pixelSetters[6];
extern const PixelGetter pixelGetters[6];
// The dispatch of an image without bitmap: every coordinate is out of bound.
void setPixelWithoutBitmap(Image& image, int x, int y, Color color);
Color getPixelWithoutBitmap(const Image& image, int x, int y);

// A raster in main memory: bottom-up rows aligned to 4 bytes, one layout
// (GRAY, RGB, RGBA) and one precision (BYTE, FLOAT) fixed at allocation.
class Image : public Drawable {
public:
    Image() = default;
    Image(int width, int height, PixelComponents components, PixelPrecision precision);
    ~Image() override;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Refuses a second allocation, illegal sizes, layouts and precisions, and bitmaps
    // whose byte count does not fit the 32-bit size fields; a refused set leaves the
    // image without bitmap.
    void set(int width, int height, PixelComponents components, PixelPrecision precision);
    // Deletes the texture, the bitmap and the platform part; harmless when empty.
    void release();

    double getWidth() const { return width; }
    double getHeight() const { return height; }
    void* getBitmap() const;

    void clear(Color color);
    // Paints rect clipped to area, its edges rounded with roundToInt.
    void fill(Rectangle rect, Color color);
    void setPixel(int x, int y, Color color) { pixelSetter(*this, x, y, color); }
    Color getPixel(int x, int y) const { return pixelGetter(*this, x, y); }

    // Draws on Canvas::current, at targetArea's top-left corner or at (left, top).
    void draw();
    void draw(double left, double top);
    // true: uploads the pixels into a power-of-two texture (kept on later calls);
    // false: deletes the texture. Needs an open canvas.
    void useTexture(bool on);

    void load(const char* fileName);
    void load(std::string fileName);
    // Writes a BYTE image as a PNG file; the name must end in ".png", like load's,
    // and may use the same folder placeholders. An existing file is replaced only
    // once the whole new picture is written.
    void save(const char* fileName);
    void save(std::string fileName);

    APIImageProperties* api = nullptr;
    int width = 0;
    int height = 0;
    PixelComponents components = RGB;
    PixelPrecision precision = BYTE;
    Rectangle area;
    Rectangle targetArea;
    bool haveBitmap = false;
    bool textured = false;
    float* floatBitmap = nullptr;
    std::uint8_t* byteBitmap = nullptr;
    int pixelBytes = 0;
    int lineBytes = 0;
    int bitmapBytes = 0;
    int lineElements = 0;
    int bitmapElements = 0;
    PixelSetter pixelSetter = &setPixelWithoutBitmap;
    PixelGetter pixelGetter = &getPixelWithoutBitmap;

    // Zeroes the bytes past each row's last pixel, which belong to no pixel.
    void zeroRowPadding();

private:
    friend class IMAGE_FORMATS::PNG_BRIDGE;
    // set without painting: for readers that write every pixel themselves.
    void allocate(int width, int height, PixelComponents components, PixelPrecision precision);
};

} // namespace Stimulark
