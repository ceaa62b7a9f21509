#include "stimulark/image/Image.hpp"

#include "stimulark/core/Exception.hpp"
#include "stimulark/math/Random.hpp"

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

namespace Stimulark {

namespace {

[[noreturn]] void refuse(const char* title, const char* message) {
    throw Exception(typeid(Image), title, message);
}

constexpr int componentsPerPixel[3] = {1, 3, 4};
constexpr int bytesPerComponent[2] = {1, 4};

} // namespace

Image::Image(int width_, int height_, PixelComponents components_, PixelPrecision precision_) {
    set(width_, height_, components_, precision_);
}

Image::~Image() { release(); }

Image::Image(Image&& other) noexcept { takeFrom(other); }

Image& Image::operator=(Image&& other) noexcept {
    if (this != &other) {
        release();
        takeFrom(other);
    }
    return *this;
}

void Image::takeFrom(Image& other) noexcept {
    api = std::exchange(other.api, nullptr);
    byteBitmap = std::exchange(other.byteBitmap, nullptr);
    floatBitmap = std::exchange(other.floatBitmap, nullptr);
    haveBitmap = std::exchange(other.haveBitmap, false);
    textured = std::exchange(other.textured, false);
    width = std::exchange(other.width, 0);
    height = std::exchange(other.height, 0);
    components = std::exchange(other.components, RGB);
    precision = std::exchange(other.precision, BYTE);
    pixelBytes = std::exchange(other.pixelBytes, 0);
    lineBytes = std::exchange(other.lineBytes, 0);
    bitmapBytes = std::exchange(other.bitmapBytes, 0);
    lineElements = std::exchange(other.lineElements, 0);
    bitmapElements = std::exchange(other.bitmapElements, 0);
    pixelSetter = std::exchange(other.pixelSetter, &setPixelWithoutBitmap);
    pixelGetter = std::exchange(other.pixelGetter, &getPixelWithoutBitmap);
    area = std::exchange(other.area, Rectangle());
    targetArea = std::exchange(other.targetArea, Rectangle());
}

void Image::set(int width_, int height_, PixelComponents components_, PixelPrecision precision_) {
    allocate(width_, height_, components_, precision_);
    zeroRowPadding();
    clear(Color::black);
}

// Everything is checked before anything is stored, so a refused call leaves the image
// as it was: in particular an empty image keeps width and height 0 and therefore still
// refuses every pixel access. The pixels are left unwritten.
void Image::allocate(int width_, int height_, PixelComponents components_, PixelPrecision precision_) {
    if (haveBitmap)
        refuse("Memory Error", "Image object already has its bitmap.");
    if (width_ <= 0)
        refuse("FORMAT ERROR", "The specified width is illegal");
    if (height_ <= 0)
        refuse("FORMAT ERROR", "The specified height is illegal");
    if (components_ < GRAY || components_ > RGBA)
        refuse("FORMAT ERROR", "The specified pixel component is illegal");
    if (precision_ < BYTE || precision_ > FLOAT)
        refuse("FORMAT ERROR", "The specified precision is illegal");

    // Every product is checked against the size fields' range before it is formed,
    // so no size can wrap into a small allocation.
    const int componentBytes = bytesPerComponent[precision_];
    const int pixelBytes_ = componentsPerPixel[components_] * componentBytes;
    const std::int64_t unalignedLine = std::int64_t{width_} * pixelBytes_; // at most 16 x (2^31 - 1)
    const std::int64_t lineBytes_ = (unalignedLine + BITMAP_ALIGNMENT - 1) / BITMAP_ALIGNMENT * BITMAP_ALIGNMENT;
    if (lineBytes_ > MAX_BITMAP_BYTES || lineBytes_ > MAX_BITMAP_BYTES / height_)
        refuse("Memory Error", "The requested image is too large.");
    const std::int64_t bitmapBytes_ = lineBytes_ * height_;

    const auto lineElements_ = static_cast<int>(lineBytes_ / componentBytes);
    const auto bitmapElements_ = static_cast<std::size_t>(lineElements_) * static_cast<std::size_t>(height_);
    auto newApi = std::make_unique<APIImageProperties>();
    std::unique_ptr<std::uint8_t[]> newBytes;
    std::unique_ptr<float[]> newFloats;
    if (precision_ == BYTE)
        newBytes.reset(new std::uint8_t[bitmapElements_]);
    else
        newFloats.reset(new float[bitmapElements_]);

    width = width_;
    height = height_;
    components = components_;
    precision = precision_;
    area.set(width_, height_);
    targetArea = area;
    pixelBytes = pixelBytes_;
    lineBytes = static_cast<int>(lineBytes_);
    bitmapBytes = static_cast<int>(bitmapBytes_);
    lineElements = lineElements_;
    bitmapElements = static_cast<int>(bitmapElements_);
    api = newApi.release();
    byteBitmap = newBytes.release();
    floatBitmap = newFloats.release();
    pixelSetter = pixelSetters[precision * 3 + components];
    pixelGetter = pixelGetters[precision * 3 + components];
    haveBitmap = true;
}

void Image::zeroRowPadding() {
    const int used = width * pixelBytes;
    if (used == lineBytes)
        return;
    auto* bytes = static_cast<std::uint8_t*>(getBitmap());
    for (int row = 0; row < height; ++row)
        std::memset(bytes + static_cast<std::size_t>(row) * lineBytes + used, 0, lineBytes - used);
}

void Image::release() {
    if (!haveBitmap)
        return;
    if (textured)
        useTexture(false);
    delete api;
    delete[] byteBitmap;
    delete[] floatBitmap;
    api = nullptr;
    byteBitmap = nullptr;
    floatBitmap = nullptr;
    haveBitmap = false;
    textured = false;
    width = 0;
    height = 0;
    components = RGB;
    precision = BYTE;
    pixelSetter = &setPixelWithoutBitmap;
    pixelGetter = &getPixelWithoutBitmap;
}

void* Image::getBitmap() const {
    if (!haveBitmap)
        refuse("Memory Error", "The Image does not have bitmap instance.");
    if (precision == FLOAT)
        return floatBitmap;
    return byteBitmap;
}

void Image::clear(Color color) { fill(area, color); }

// The colour is converted once, by the pixel setter writing the first pixel; that
// pixel's bytes are then doubled along the first row and the row copied to the others.
// The bytes written are exactly those of a per-pixel setPixel loop.
void Image::fill(Rectangle rect, Color color) {
    rect.clip(area);
    const int left = roundToInt(rect.left);
    const int top = roundToInt(rect.top);
    const int right = roundToInt(rect.right);
    const int bottom = roundToInt(rect.bottom);

    const bool inside = haveBitmap && left >= 0 && top >= 0 && right < width && bottom < height;
    if (!inside) {
        // Only reachable when area no longer matches the bitmap; the per-pixel path
        // refuses the first pixel outside it.
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                setPixel(x, y, color);
        return;
    }

    setPixel(left, top, color);
    auto* const bytes = static_cast<std::uint8_t*>(getBitmap());
    auto rowStart = [&](int y) {
        return bytes + static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(lineBytes) +
               static_cast<std::size_t>(left) * static_cast<std::size_t>(pixelBytes);
    };
    std::uint8_t* const first = rowStart(top);
    const std::size_t runBytes = static_cast<std::size_t>(right - left + 1) * static_cast<std::size_t>(pixelBytes);
    for (std::size_t done = static_cast<std::size_t>(pixelBytes); done < runBytes;) {
        const std::size_t chunk = done < runBytes - done ? done : runBytes - done;
        std::memcpy(first + done, first, chunk);
        done += chunk;
    }
    for (int y = top + 1; y <= bottom; ++y)
        std::memcpy(rowStart(y), first, runBytes);
}

} // namespace Stimulark
