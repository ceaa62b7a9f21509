// Feeds arbitrary bytes to the PNG reader through the same steps as Image::load,
// on an in-memory stream instead of a file.
#include "stimulark/core/Exception.hpp"
#include "stimulark/image/Image.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Pictures of up to 16 MiB keep every allocation under the fuzzer's -malloc_limit_mb=64;
    // the limits on the sides stay as they ship, so that they are fuzzed too.
    Stimulark::IMAGE_FORMATS::PNG_BRIDGE::readLimits.maxBytes = std::uint64_t{16} << 20;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    std::FILE* stream = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    Stimulark::Image image;
    try {
        Stimulark::IMAGE_FORMATS::PNG_BRIDGE bridge;
        bridge.loadStream(stream, image);
    } catch (const Stimulark::Exception&) {
        if (image.haveBitmap)
            __builtin_trap(); // a failed load must leave the image empty
        return 0;
    }
    if (!image.haveBitmap || image.precision != Stimulark::BYTE || image.lineBytes < image.width * image.pixelBytes)
        __builtin_trap();
    return 0;
}
