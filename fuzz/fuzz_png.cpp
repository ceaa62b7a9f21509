// Feeds arbitrary bytes to the PNG reader through the same steps as Image::load,
// on an in-memory stream instead of a file.
#include "stimulark/app/Exception.hpp"
#include "stimulark/image/Image.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// Pictures larger than this are legal but only slow the fuzzer down with
// allocation and clearing; the header's dimensions sit at a fixed place.
constexpr std::uint64_t MAX_PIXELS = std::uint64_t{1} << 22;

std::uint32_t bigEndian(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

bool declaresHugePicture(const std::uint8_t* data, std::size_t size) {
    return size >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0 &&
           std::uint64_t{bigEndian(data + 16)} * bigEndian(data + 20) > MAX_PIXELS;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || declaresHugePicture(data, size))
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
