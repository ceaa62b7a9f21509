#pragma once

#include <png.h>

#include <optional>
#include <string>
#include <vector>

namespace Stimulark::Testing {

// A PNG as stored: rows top first, packed or 16-bit big-endian as the file holds them.
struct PngPicture {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    int interlace = PNG_INTERLACE_NONE;
    std::vector<png_color> palette{};
    std::vector<png_byte> paletteAlpha{};       // tRNS of a palette file
    std::optional<png_color_16> transparent{};  // tRNS of a grey or RGB file
    std::vector<std::vector<png_byte>> rows{};
};

// Written and read with bare libpng, without transformations.
bool writePng(const std::string& path, const PngPicture& picture);
std::optional<PngPicture> readPng(const std::string& path);

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// A fresh folder under the system's temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string operator/(const std::string& name) const { return root + "/" + name; }
    std::vector<std::string> names() const;

    std::string root;
};

} // namespace Stimulark::Testing
