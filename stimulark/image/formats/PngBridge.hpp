#pragma once

/// \file
/// PNG files: reading with limits, and saving that never leaves a half-written file.

#include "stimulark/image/formats/ImageFormat.hpp"

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace Stimulark::IMAGE_FORMATS {

/// The limits a PNG file's picture must keep to. maxBytes counts the decoded
/// bitmap with its row padding: a palette file decodes
/// to RGBA.
struct PngReadLimits {
    /** @{ */
    /// The widest and tallest picture taken, in pixels, and the most bitmap bytes.
    std::uint32_t maxWidth = 16384;
    std::uint32_t maxHeight = 16384;
    std::uint64_t maxBytes = std::uint64_t{1} << 30;
    /** @} */
};

/// PNG files through libpng and C streams. Reads 8-bit grey, RGB and RGBA as
/// stored; 16-bit, low-bit-depth, palette, grey-with-alpha and tRNS files are
/// converted by libpng to 8-bit GRAY, RGB or RGBA. Writes 8-bit BYTE images.
/// libpng's own error and warning output is kept.
///
/// Reading takes only regular files. A file whose picture exceeds readLimits, or
/// MAX_BITMAP_BYTES however high they are set, is refused from its header, before
/// any memory is taken for the picture;
/// compressed data after the last row is read only up to a few kilobytes and
/// otherwise ignored, as libpng ignores it.
///
/// Saving follows symbolic links and writes where they lead. A regular file is
/// replaced by renaming a complete temporary file (".<name>.XXXXXX" beside it)
/// over it, keeping its mode and, where permitted, its owner and group; a
/// regular file with other hard links is rewritten in place once the new
/// picture is complete, so that every name shows it. A FIFO or a character
/// device is written straight through; a FIFO without a reader is refused at
/// once. Other kinds of files are refused. The file handling is SafeFileWriter's.
class PNG_BRIDGE : public IMAGE_FORMAT {
public:
    /** @{ */
    /// The largest picture a file may decode to. Images made by a program are not
    /// limited. Not synchronised: set it before loading on other threads.
    using ReadLimits = PngReadLimits;
    static inline ReadLimits readLimits{};
    /** @} */

    PNG_BRIDGE() = default;
    ~PNG_BRIDGE() override;
    PNG_BRIDGE(const PNG_BRIDGE&) = delete;
    PNG_BRIDGE& operator=(const PNG_BRIDGE&) = delete;

    /// Reads the regular file at path, as it is written (no placeholders).
    void load(const char* path, Image& image) override;
    /// Writes a BYTE image to path, as it is written (no placeholders).
    void save(const char* path, Image& image) override;
    /** @{ */
    /// load and save for a path in a string. One holding a NUL, which no file's name
    /// has and the system would cut short, is refused before anything is opened with
    /// "[FILE ACCESS ERROR] Failed to open the requested file.".
    void load(const std::string& path, Image& image);
    void save(const std::string& path, Image& image);
    /** @} */
    /// The reading of load on a stream that is already open; the bridge closes it.
    void loadStream(std::FILE* stream, Image& image);

    /// Opens the file as fopen would with `mode`, unless a file is open already; only
    /// a regular file is taken, and a FIFO is refused at once rather than waited for.
    void open(const char* path, const char* mode);
    /// Closes the file opened by open or handed to loadStream; harmless when none is.
    void close();

    /** @{ */
    /// The open file and libpng's state for the call in progress.
    std::FILE* file = nullptr;
    bool fileOpen = false;
    png_structp pngStruct = nullptr;
    png_infop infoStruct = nullptr;
    png_infop endInfoStruct = nullptr;
    /** @} */

private:
    static void readData(png_structp png, png_bytep data, std::size_t length);

    void readHeader();
    void readPixels(Image& image);
    void writeHeader();
    void writePixels(Image& image, std::FILE* output);
    void destroyStructs();
    [[noreturn]] void failReading();
    [[noreturn]] void failWriting();

    bool writing = false;
    // Reading: whether the rows are interlaced and being read, and the compressed data
    // read after the last of them.
    bool interlaced = false;
    bool readingRows = false;
    std::size_t bytesAfterRows = 0;
    bool stoppedAfterRows = false;
};

} // namespace Stimulark::IMAGE_FORMATS
