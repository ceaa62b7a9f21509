#include "stimulark/image/formats/PngBridge.hpp"

#include "stimulark/image/formats/PngCommon.hpp"
#include "stimulark/platform/FileServices.hpp"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

namespace Stimulark::IMAGE_FORMATS {

namespace {

constexpr int SIGNATURE_BYTES = 4;
constexpr int CHANNELS[3] = {1, 3, 4};
constexpr png_uint_32 IDAT = 0x49444154; // the chunk name as png_get_io_chunk_type gives it

// A valid file ends its compressed stream within a few bytes of the last row. What
// libpng reads after that, it inflates and discards at up to a megabyte of output per
// kilobyte of input, so reading stops beyond this allowance.
constexpr std::size_t DATA_AFTER_ROWS = 4 * 1024;

// Grey and RGB stay as they are; everything that carries transparency (an alpha
// channel or a tRNS chunk) and every palette file becomes RGBA.
PixelComponents layoutFor(png_structp png, png_infop info) {
    const int colorType = png_get_color_type(png, info);
    const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colorType == PNG_COLOR_TYPE_GRAY && !transparency)
        return GRAY;
    if (colorType == PNG_COLOR_TYPE_RGB && !transparency)
        return RGB;
    return RGBA;
}

// The functions below hold libpng's error return, which leaves them by longjmp:
// nothing in their frames may have a destructor, and nothing is changed after
// setjmp that is read after the jump.

bool readInfoGuarded(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_sig_bytes(png, SIGNATURE_BYTES);
    // Only IHDR, PLTE, tRNS, IDAT and IEND make the picture. Every other chunk is
    // skipped unread, so that a text or profile chunk claiming gigabytes costs nothing.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(png, info);
    return true;
}

// Asks libpng for 8-bit rows of the given layout. 8-bit grey, RGB and RGBA files
// without tRNS get no transformation at all.
bool setUpRowsGuarded(png_structp png, png_infop info, PixelComponents layout) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (bitDepth == 16)
        png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (transparency)
        png_set_tRNS_to_alpha(png);
    if (layout == RGBA && (colorType & PNG_COLOR_MASK_COLOR) == 0)
        png_set_gray_to_rgb(png);
    if (layout == RGBA && (colorType & PNG_COLOR_MASK_ALPHA) == 0 && !transparency)
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool readRowsGuarded(png_structp png, png_infop endInfo, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, endInfo);
    return true;
}

} // namespace

png_bytepp pngRowPointers(std::uint8_t* bitmap, int lineBytes, int height) {
    auto rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * static_cast<std::size_t>(height)));
    if (rows)
        for (int i = 0; i < height; ++i)
            rows[i] = bitmap + static_cast<std::size_t>(height - 1 - i) * static_cast<std::size_t>(lineBytes);
    return rows;
}

PNG_BRIDGE::~PNG_BRIDGE() {
    destroyStructs();
    close();
}

void PNG_BRIDGE::open(const char* path, const char* mode) {
    if (fileOpen)
        return;
    file = openRegularFile(path, mode);
    if (!file)
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    fileOpen = true;
}

void PNG_BRIDGE::close() {
    if (fileOpen)
        std::fclose(file);
    file = nullptr;
    fileOpen = false;
}

void PNG_BRIDGE::load(const char* path, Image& image) {
    open(path, "rb");
    readHeader();
    readPixels(image);
    destroyStructs();
    close();
}

void PNG_BRIDGE::load(const std::string& path, Image& image) {
    if (path.find('\0') != std::string::npos)
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    load(path.c_str(), image);
}

void PNG_BRIDGE::loadStream(std::FILE* stream, Image& image) {
    if (!stream)
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    close();
    file = stream;
    fileOpen = true;
    readHeader();
    readPixels(image);
    destroyStructs();
    close();
}

// libpng's input. Once the rows are complete, the compressed stream is read only up
// to the allowance; the jump out then ends the load with the picture whole.
void PNG_BRIDGE::readData(png_structp png, png_bytep data, std::size_t length) {
    auto* bridge = static_cast<PNG_BRIDGE*>(png_get_io_ptr(png));
    const bool rowsComplete =
        bridge->readingRows &&
        (bridge->interlaced ? png_get_current_pass_number(png) >= 7
                            : png_get_current_row_number(png) >= png_get_image_height(png, bridge->infoStruct));
    if (rowsComplete && png_get_io_chunk_type(png) == IDAT) {
        bridge->bytesAfterRows += length;
        if (bridge->bytesAfterRows > DATA_AFTER_ROWS) {
            bridge->stoppedAfterRows = true;
            png_chunk_warning(png, "Too much image data");
            png_longjmp(png, 1);
        }
    }
    if (std::fread(data, 1, length, bridge->file) != length)
        png_error(png, "Read Error");
}

// Everything the header declares is checked against the read limits, and against
// the largest bitmap an Image can have whatever the limits, before any memory is
// taken for the picture.
void PNG_BRIDGE::readHeader() {
    png_byte signature[SIGNATURE_BYTES];
    if (std::fread(signature, 1, SIGNATURE_BYTES, file) != SIGNATURE_BYTES)
        failReading();
    if (png_sig_cmp(signature, 0, SIGNATURE_BYTES) != 0)
        failReading();
    writing = false;
    readingRows = false;
    bytesAfterRows = 0;
    stoppedAfterRows = false;
    pngStruct = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!pngStruct)
        failReading();
    infoStruct = png_create_info_struct(pngStruct);
    if (!infoStruct)
        failReading();
    endInfoStruct = png_create_info_struct(pngStruct);
    if (!endInfoStruct)
        failReading();
    const ReadLimits limits = readLimits;
    png_set_read_fn(pngStruct, this, &PNG_BRIDGE::readData);
    png_set_user_limits(pngStruct, std::min<png_uint_32>(limits.maxWidth, PNG_UINT_31_MAX),
                        std::min<png_uint_32>(limits.maxHeight, PNG_UINT_31_MAX));
    png_set_chunk_malloc_max(pngStruct, std::clamp<std::uint64_t>(limits.maxBytes, 1, PNG_USER_CHUNK_MALLOC_MAX));
    if (!readInfoGuarded(pngStruct, infoStruct))
        failReading();

    const png_uint_32 width = png_get_image_width(pngStruct, infoStruct);
    const png_uint_32 height = png_get_image_height(pngStruct, infoStruct);
    const std::uint64_t unalignedLine = std::uint64_t{width} * CHANNELS[layoutFor(pngStruct, infoStruct)];
    const std::uint64_t lineBytes = (unalignedLine + BITMAP_ALIGNMENT - 1) / BITMAP_ALIGNMENT * BITMAP_ALIGNMENT;
    const std::uint64_t maxBytes = std::min<std::uint64_t>(limits.maxBytes, MAX_BITMAP_BYTES);
    if (width == 0 || height == 0 || width > limits.maxWidth || height > limits.maxHeight ||
        lineBytes > maxBytes / height)
        failReading();
    interlaced = png_get_interlace_type(pngStruct, infoStruct) != PNG_INTERLACE_NONE;
}

// The bitmap is allocated but not written: the rows fill it, and a file that stops
// early never touches the rest. A failure after the allocation releases the image
// again, so that a load either delivers the whole picture or leaves no bitmap.
void PNG_BRIDGE::readPixels(Image& image) {
    const PixelComponents layout = layoutFor(pngStruct, infoStruct);
    if (!setUpRowsGuarded(pngStruct, infoStruct, layout))
        failReading();
    const png_uint_32 width = png_get_image_width(pngStruct, infoStruct);
    const png_uint_32 height = png_get_image_height(pngStruct, infoStruct);
    if (png_get_bit_depth(pngStruct, infoStruct) != 8 || png_get_channels(pngStruct, infoStruct) != CHANNELS[layout])
        failReading();

    image.release();
    // libpng limits both dimensions to 31 bits, and readHeader the bitmap to what allocate takes.
    image.allocate(static_cast<int>(width), static_cast<int>(height), layout, BYTE);
    takeImageInfo(image);
    if (png_get_rowbytes(pngStruct, infoStruct) > static_cast<std::size_t>(lineBytes)) {
        image.release();
        failReading();
    }
    png_bytepp rows = pngRowPointers(bitmap, lineBytes, image.height);
    if (!rows) {
        image.release();
        destroyStructs();
        close();
        throw std::bad_alloc();
    }
    readingRows = true;
    const bool complete = readRowsGuarded(pngStruct, endInfoStruct, rows) || stoppedAfterRows;
    std::free(rows);
    if (!complete) {
        image.release();
        failReading();
    }
    image.zeroRowPadding();
}

void PNG_BRIDGE::destroyStructs() {
    if (!pngStruct)
        return;
    if (writing)
        png_destroy_write_struct(&pngStruct, &infoStruct);
    else
        png_destroy_read_struct(&pngStruct, &infoStruct, &endInfoStruct);
    pngStruct = nullptr;
    infoStruct = nullptr;
    endInfoStruct = nullptr;
}

void PNG_BRIDGE::failReading() {
    destroyStructs();
    close();
    refuse("FILE FORMAT ERROR", NOT_PNG);
}

} // namespace Stimulark::IMAGE_FORMATS
