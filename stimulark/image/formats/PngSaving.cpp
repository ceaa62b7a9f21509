#include "stimulark/image/formats/PngBridge.hpp"

#include "stimulark/platform/SafeFileWriter.hpp"
#include "stimulark/image/formats/PngCommon.hpp"

#include <csetjmp>
#include <cstdlib>
#include <new>

namespace Stimulark::IMAGE_FORMATS {

namespace {

// Holds libpng's error return, which leaves it by longjmp: nothing in its frame may
// have a destructor.
bool writeGuarded(png_structp png, png_infop info, std::FILE* file, png_uint_32 width,
                  png_uint_32 height, int colorType, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_write_status_fn(png, nullptr);
    png_set_IHDR(png, info, width, height, 8, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

} // namespace

// Nothing is opened for an image that cannot be written, and an existing file is
// changed only once a complete PNG is on the disk. A failure on the way leaves the
// writer to discard what it holds.
void PNG_BRIDGE::save(const char* path, Image& image) {
    if (!image.haveBitmap || image.precision != BYTE)
        refuse("FILE FORMAT ERROR", NOT_WRITABLE);
    SafeFileWriter output;
    if (!output.open(path ? path : ""))
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    writeHeader();
    writePixels(image, output.stream());
    destroyStructs();
    switch (output.commit()) {
    case SafeFileWriter::Outcome::written: return;
    case SafeFileWriter::Outcome::writeFailed: refuse("FILE FORMAT ERROR", NOT_WRITABLE);
    case SafeFileWriter::Outcome::notReplaced: refuse("FILE ACCESS ERROR", NOT_OPENED);
    }
}

void PNG_BRIDGE::save(const std::string& path, Image& image) {
    if (path.find('\0') != std::string::npos)
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    save(path.c_str(), image);
}

void PNG_BRIDGE::writeHeader() {
    writing = true;
    pngStruct = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!pngStruct)
        failWriting();
    infoStruct = png_create_info_struct(pngStruct);
    if (!infoStruct)
        failWriting();
}

void PNG_BRIDGE::writePixels(Image& image, std::FILE* output) {
    static constexpr int COLOR_TYPES[3] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    takeImageInfo(image);
    if (precision != BYTE)
        failWriting();
    const int width = static_cast<int>(image.getWidth());
    const int height = static_cast<int>(image.getHeight());
    png_bytepp rows = pngRowPointers(bitmap, lineBytes, height);
    if (!rows) {
        destroyStructs();
        throw std::bad_alloc();
    }
    const bool complete = writeGuarded(pngStruct, infoStruct, output, static_cast<png_uint_32>(width),
                                       static_cast<png_uint_32>(height), COLOR_TYPES[components], rows);
    std::free(rows);
    if (!complete)
        failWriting();
}

void PNG_BRIDGE::failWriting() {
    destroyStructs();
    refuse("FILE FORMAT ERROR", NOT_WRITABLE);
}

} // namespace Stimulark::IMAGE_FORMATS
