#pragma once

#include "stimulark/image/Image.hpp"

#include <cstdint>

namespace Stimulark::IMAGE_FORMATS {

// A file format bridge: reads a file into an image and writes an image to a
// file. Paths are already resolved; a bridge object serves one call.
class IMAGE_FORMAT {
public:
    virtual ~IMAGE_FORMAT() = default;
    // Reads the file into the image, allocating it.
    virtual void load(const char* path, Image& image) = 0;
    // Writes the image to the file; an existing regular file is changed only once the
    // complete picture is written.
    virtual void save(const char* path, Image& image) = 0;

protected:
    void takeImageInfo(const Image& image) {
        bitmap = image.byteBitmap;
        lineBytes = image.lineBytes;
        components = image.components;
        precision = image.precision;
    }

    std::uint8_t* bitmap = nullptr;
    int lineBytes = 0;
    PixelComponents components = RGB;
    PixelPrecision precision = BYTE;
};

} // namespace Stimulark::IMAGE_FORMATS
