#pragma once

#include "stimulark/file/File.hpp"
#include "stimulark/image/Image.hpp"
#include "stimulark/image/formats/PngBridge.hpp"
#include "support/Scripted.hpp"

#include <png.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>

namespace Stimulark::Testing {

inline std::string imageFailure(const std::string& title, const std::string& message) {
    return "Stimulark::Image [" + title + "] " + message;
}

inline const std::string outOfBound = imageFailure("Out Of Bound Exception", "Specified coordinate is out of bound.");
inline const std::string noBitmap = imageFailure("Memory Error", "The Image does not have bitmap instance.");

using Bytes = std::vector<png_byte>;

// A BYTE image's pixels, top line first, row padding left out.
inline Bytes imageLines(const Image& image) {
    Bytes lines;
    for (int y = image.height - 1; y >= 0; --y)
        lines.insert(lines.end(), image.byteBitmap + y * image.lineBytes,
                     image.byteBitmap + y * image.lineBytes + image.width * image.pixelBytes);
    return lines;
}

// PNG files made by hand, byte by byte, so that a test states every picture exactly as the file holds it.
inline std::string bigEndian(std::uint32_t value) {
    return {char(value >> 24), char(value >> 16 & 0xFF), char(value >> 8 & 0xFF), char(value & 0xFF)};
}

inline std::string pngChunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    return bigEndian(std::uint32_t(data.size())) + body +
           bigEndian(std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// The signature and the IHDR.
inline std::string pngHeader(png_uint_32 width, png_uint_32 height, char colorType, char depth = 8,
                             char interlace = 0) {
    return "\x89PNG\r\n\x1a\n" + pngChunk("IHDR", bigEndian(width) + bigEndian(height) +
                                                     std::string{depth, colorType, 0, 0, interlace});
}

// Raw deflate of data, ending on a byte boundary (Z_FULL_FLUSH) or closing the stream (Z_FINISH).
inline std::string rawDeflate(const std::string& data, int flush) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(data.size())) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, flush);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A zlib stream inflating to prefix and then mebibytes of zeros, about a kilobyte each.
inline std::string zlibStream(const std::string& prefix, int mebibytes) {
    std::string out = "\x78\xDA" + rawDeflate(prefix, Z_FULL_FLUSH);
    uLong sum = adler32(1, reinterpret_cast<const Bytef*>(prefix.data()), uInt(prefix.size()));
    const std::string zeros(mebibytes > 0 ? 1 << 20 : 0, '\0'), repeated = rawDeflate(zeros, Z_FULL_FLUSH);
    const uLong zerosSum = adler32(1, reinterpret_cast<const Bytef*>(zeros.data()), uInt(zeros.size()));
    for (int i = 0; i < mebibytes; ++i) {
        out += repeated;
        sum = adler32_combine(sum, zerosSum, z_off_t(zeros.size()));
    }
    return out + rawDeflate("", Z_FINISH) + bigEndian(std::uint32_t(sum));
}

// What follows the header and any PLTE or tRNS: the rows, each led by its filter byte (0: none), and the end.
inline std::string pngRows(const std::vector<Bytes>& rows) {
    std::string scanlines;
    for (const Bytes& row : rows)
        scanlines += '\0' + std::string(row.begin(), row.end());
    return pngChunk("IDAT", zlibStream(scanlines, 0)) + pngChunk("IEND", "");
}

inline std::string readBytes(const std::string& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

inline void writeBytes(const std::string& path, std::string_view s) { std::ofstream(path, std::ios::binary) << s; }

// A fresh folder under the system's temporary folder, only the user's, removed with its contents.
struct TempFolder {
    std::string root;
    TempFolder() {
        std::random_device entropy;
        for (int attempt = 0; attempt < 100 && root.empty(); ++attempt) {
            const std::filesystem::path candidate =
                std::filesystem::temp_directory_path() / ("stimulark-png-" + std::to_string(entropy()));
            if (std::filesystem::create_directory(candidate)) {
                std::filesystem::permissions(candidate, std::filesystem::perms::owner_all);
                root = candidate.string();
            }
        }
        EXPECT_FALSE(root.empty());
    }
    ~TempFolder() { std::filesystem::remove_all(root); }
    std::string operator/(const std::string& name) const { return root + "/" + name; }
    auto entries() const { return std::distance(std::filesystem::directory_iterator(root), {}); }
};

// What the PNG bridge reports, and pictures the PNG tests share.
using IMAGE_FORMATS::PNG_BRIDGE;
inline constexpr int GREY = PNG_COLOR_TYPE_GRAY;
inline const std::string bridge = "Stimulark::IMAGE_FORMATS::PNG_BRIDGE ";
inline const std::string notPng = bridge + "[FILE FORMAT ERROR] The requested file is not PNG.";
inline const std::string notOpened = bridge + "[FILE ACCESS ERROR] Failed to open the requested file.";
inline const std::string notWritable =
    bridge + "[FILE FORMAT ERROR] The requested data is not able to be put as a PNG file.";
inline const std::string unsupported = imageFailure("File Type Error", "Specified image type is not supported.");
inline const std::string grey5x2 = pngHeader(5, 2, GREY) + pngRows({{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
inline const Bytes grey5x2Lines{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
inline const std::string noRows = pngRows({}); // follows a header

// A temporary folder that is the application's folder (%APP%) while it lasts. Image::load and save reach it
// through the placeholder, whose folder is taken as it is: the rest of a name loses every ':', so a Windows
// path with its drive letter would not do.
struct AppFolder : TempFolder {
    std::string previous = std::exchange(File::pathIds()[File::APP].path, root + "/");
    ~AppFolder() { File::pathIds()[File::APP].path = previous; }
};

} // namespace Stimulark::Testing
