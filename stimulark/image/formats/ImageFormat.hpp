#pragma once

/// \file
/// The interface of the image file formats.

#include "stimulark/image/Image.hpp"

#include <cstdint>

/// Image file formats: each class reads and writes one kind of file.
namespace Stimulark::IMAGE_FORMATS {

/// A file format bridge: reads a file into an image and writes an image to a
/// file. Paths are already resolved; a bridge object serves one call.
class IMAGE_FORMAT {
public:
    virtual ~IMAGE_FORMAT() = default;
    /// Reads the file into the image, allocating it.
    virtual void load(const char* path, Image& image) = 0;
    /// Writes the image to the file; an existing regular file is changed only once the
    /// complete picture is written.
    virtual void save(const char* path, Image& image) = 0;

protected:
    /// Copies the image's layout into the fields below, for writing.
    void takeImageInfo(const Image& image) {
        bitmap = image.byteBitmap;
        lineBytes = image.lineBytes;
        components = image.components;
        precision = image.precision;
    }

    /** @{ */
    /// The layout of the image being written.
    std::uint8_t* bitmap = nullptr;
    int lineBytes = 0;
    PixelComponents components = RGB;
    PixelPrecision precision = BYTE;
    /** @} */
};

} // namespace Stimulark::IMAGE_FORMATS
