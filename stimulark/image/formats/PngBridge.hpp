#pragma once

#include "stimulark/image/formats/ImageFormat.hpp"

#include <png.h>

#include <cstdio>
#include <string>

namespace Stimulark::IMAGE_FORMATS {

// PNG files through libpng and C streams. Reads 8-bit grey, RGB and RGBA as
// stored; 16-bit, low-bit-depth, palette, grey-with-alpha and tRNS files are
// converted by libpng to 8-bit GRAY, RGB or RGBA. Writes 8-bit BYTE images.
// libpng's own error and warning output is kept.
class PNG_BRIDGE : public IMAGE_FORMAT {
public:
    PNG_BRIDGE() = default;
    ~PNG_BRIDGE() override;
    PNG_BRIDGE(const PNG_BRIDGE&) = delete;
    PNG_BRIDGE& operator=(const PNG_BRIDGE&) = delete;

    void load(const char* path, Image& image) override;
    void save(const char* path, Image& image) override;
    // The reading of load on a stream that is already open; the bridge closes it.
    void loadStream(std::FILE* stream, Image& image);

    // Opens the file unless one is open already.
    void open(const char* path, const char* mode);
    void close();

    std::FILE* file = nullptr;
    bool fileOpen = false;
    png_structp pngStruct = nullptr;
    png_infop infoStruct = nullptr;
    png_infop endInfoStruct = nullptr;

private:
    void readHeader();
    void readPixels(Image& image);
    void writeHeader();
    void writePixels(Image& image);

    void openTemporary(const char* path);
    void commitTemporary(const char* path);
    void discardTemporary();
    void destroyStructs();
    [[noreturn]] void failReading();
    [[noreturn]] void failWriting();

    bool writing = false;
    std::string temporaryPath;
};

} // namespace Stimulark::IMAGE_FORMATS
