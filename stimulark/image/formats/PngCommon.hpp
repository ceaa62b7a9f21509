#pragma once

#include "stimulark/core/Exception.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

namespace Stimulark::IMAGE_FORMATS {

inline const char* const NOT_PNG = "The requested file is not PNG.";
inline const char* const NOT_WRITABLE = "The requested data is not able to be put as a PNG file.";
inline const char* const NOT_OPENED = "Failed to open the requested file.";

// PNG row i is image line i, which the bottom-up bitmap holds in row height - 1 - i.
// The array is malloc'd because it crosses the frames that libpng's errors leave by longjmp.
png_bytepp pngRowPointers(std::uint8_t* bitmap, int lineBytes, int height);

[[noreturn]] inline void refuse(const char* title, const char* message) {
    throw Exception(typeid(PNG_BRIDGE), title, message);
}

} // namespace Stimulark::IMAGE_FORMATS
