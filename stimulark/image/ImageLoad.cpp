#include "stimulark/core/Exception.hpp"
#include "stimulark/file/File.hpp"
#include "stimulark/image/Image.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

namespace Stimulark {

void Image::load(const char* fileName) {
    // A null name has no extension and is refused like any other.
    load(std::string(fileName ? fileName : ""));
}

// The extension is taken from the name as written, before its placeholders are
// resolved, and compared case-sensitively.
namespace {
void refuseOtherTypes(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.compare(dot + 1, std::string::npos, "png") != 0)
        throw Exception(typeid(Image), "File Type Error", "Specified image type is not supported.");
}
} // namespace

void Image::load(std::string fileName) {
    release();
    refuseOtherTypes(fileName);
    IMAGE_FORMATS::PNG_BRIDGE bridge;
    bridge.load(File::decodePath(fileName), *this);
}

void Image::save(const char* fileName) { save(std::string(fileName ? fileName : "")); }

void Image::save(std::string fileName) {
    refuseOtherTypes(fileName);
    IMAGE_FORMATS::PNG_BRIDGE bridge;
    bridge.save(File::decodePathForSaving(fileName), *this);
}

} // namespace Stimulark
