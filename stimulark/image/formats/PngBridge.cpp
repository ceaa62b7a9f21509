#include "stimulark/image/formats/PngBridge.hpp"

#include "stimulark/app/Exception.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdlib>
#include <new>

namespace Stimulark::IMAGE_FORMATS {

namespace {

constexpr int SIGNATURE_BYTES = 4;
constexpr int CHANNELS[3] = {1, 3, 4};

const char* const NOT_PNG = "The requested file is not PNG.";
const char* const NOT_WRITABLE = "The requested data is not able to be put as a PNG file.";
const char* const NOT_OPENED = "Failed to open the requested file.";

[[noreturn]] void refuse(const char* title, const char* message) {
    throw Exception(typeid(PNG_BRIDGE), title, message);
}

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

bool readInfoGuarded(png_structp png, png_infop info, std::FILE* file) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
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

// PNG row i is image line i, which the bottom-up bitmap holds in row height - 1 - i.
// The array is malloc'd because it crosses the guarded frames.
png_bytepp rowPointers(std::uint8_t* bitmap, int lineBytes, int height) {
    auto rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * static_cast<std::size_t>(height)));
    if (rows)
        for (int i = 0; i < height; ++i)
            rows[i] = bitmap + static_cast<std::size_t>(height - 1 - i) * static_cast<std::size_t>(lineBytes);
    return rows;
}

// The mode a file written by fopen would get: that of the file it replaces, or
// 0666 less the umask.
mode_t modeForReplacing(const char* path) {
    struct stat existing {};
    if (::stat(path, &existing) == 0)
        return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

PNG_BRIDGE::~PNG_BRIDGE() {
    destroyStructs();
    discardTemporary();
    close();
}

void PNG_BRIDGE::open(const char* path, const char* mode) {
    if (fileOpen)
        return;
    file = std::fopen(path, mode);
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

void PNG_BRIDGE::readHeader() {
    png_byte signature[SIGNATURE_BYTES];
    if (std::fread(signature, 1, SIGNATURE_BYTES, file) != SIGNATURE_BYTES)
        failReading();
    if (png_sig_cmp(signature, 0, SIGNATURE_BYTES) != 0)
        failReading();
    writing = false;
    pngStruct = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!pngStruct)
        failReading();
    infoStruct = png_create_info_struct(pngStruct);
    if (!infoStruct)
        failReading();
    endInfoStruct = png_create_info_struct(pngStruct);
    if (!endInfoStruct)
        failReading();
    if (!readInfoGuarded(pngStruct, infoStruct, file))
        failReading();
}

// A failure after the image was allocated releases it again: a load either
// delivers the whole picture or leaves the image without bitmap.
void PNG_BRIDGE::readPixels(Image& image) {
    const PixelComponents layout = layoutFor(pngStruct, infoStruct);
    if (!setUpRowsGuarded(pngStruct, infoStruct, layout))
        failReading();
    // libpng limits both dimensions to 31 bits; Image::set refuses what does not fit.
    const png_uint_32 width = png_get_image_width(pngStruct, infoStruct);
    const png_uint_32 height = png_get_image_height(pngStruct, infoStruct);
    if (png_get_bit_depth(pngStruct, infoStruct) != 8 || png_get_channels(pngStruct, infoStruct) != CHANNELS[layout])
        failReading();

    image.release();
    image.set(static_cast<int>(width), static_cast<int>(height), layout, BYTE);
    takeImageInfo(image);
    if (png_get_rowbytes(pngStruct, infoStruct) > static_cast<std::size_t>(lineBytes)) {
        image.release();
        failReading();
    }
    png_bytepp rows = rowPointers(bitmap, lineBytes, image.height);
    if (!rows) {
        image.release();
        destroyStructs();
        close();
        throw std::bad_alloc();
    }
    const bool complete = readRowsGuarded(pngStruct, endInfoStruct, rows);
    std::free(rows);
    if (!complete) {
        image.release();
        failReading();
    }
}

// Nothing is opened for an image that cannot be written, and the file at the path
// is replaced only by a complete PNG.
void PNG_BRIDGE::save(const char* path, Image& image) {
    if (!image.haveBitmap || image.precision != BYTE)
        refuse("FILE FORMAT ERROR", NOT_WRITABLE);
    openTemporary(path);
    writeHeader();
    writePixels(image);
    destroyStructs();
    commitTemporary(path);
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

void PNG_BRIDGE::writePixels(Image& image) {
    static constexpr int COLOR_TYPES[3] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    takeImageInfo(image);
    if (precision != BYTE)
        failWriting();
    const int width = static_cast<int>(image.getWidth());
    const int height = static_cast<int>(image.getHeight());
    png_bytepp rows = rowPointers(bitmap, lineBytes, height);
    if (!rows) {
        destroyStructs();
        discardTemporary();
        throw std::bad_alloc();
    }
    const bool complete = writeGuarded(pngStruct, infoStruct, file, static_cast<png_uint_32>(width),
                                       static_cast<png_uint_32>(height), COLOR_TYPES[components], rows);
    std::free(rows);
    if (!complete)
        failWriting();
}

void PNG_BRIDGE::openTemporary(const char* path) {
    if (fileOpen)
        close();
    // Replacing by rename would ignore a write-protected file that fopen refuses.
    if (::access(path, F_OK) == 0 && ::access(path, W_OK) != 0)
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    temporaryPath = std::string(path) + ".XXXXXX";
    const int descriptor = ::mkstemp(temporaryPath.data());
    if (descriptor < 0) {
        temporaryPath.clear();
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    }
    (void)::fchmod(descriptor, modeForReplacing(path));
    file = ::fdopen(descriptor, "wb");
    if (!file) {
        ::close(descriptor);
        discardTemporary();
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    }
    fileOpen = true;
}

// Buffered write errors (a full disk) surface only here, before the rename.
void PNG_BRIDGE::commitTemporary(const char* path) {
    bool written = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
    written = std::fclose(file) == 0 && written;
    file = nullptr;
    fileOpen = false;
    if (!written) {
        discardTemporary();
        refuse("FILE FORMAT ERROR", NOT_WRITABLE);
    }
    if (std::rename(temporaryPath.c_str(), path) != 0) {
        discardTemporary();
        refuse("FILE ACCESS ERROR", NOT_OPENED);
    }
    temporaryPath.clear();
}

void PNG_BRIDGE::discardTemporary() {
    if (temporaryPath.empty())
        return;
    close();
    std::remove(temporaryPath.c_str());
    temporaryPath.clear();
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

void PNG_BRIDGE::failWriting() {
    destroyStructs();
    discardTemporary();
    refuse("FILE FORMAT ERROR", NOT_WRITABLE);
}

} // namespace Stimulark::IMAGE_FORMATS
