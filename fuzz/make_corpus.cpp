// Writes the fuzzer's seed files into the folder given as the argument: one small
// PNG of every colour type and bit-depth family the reader converts, a few broken
// ones, and hand-made ones that no encoder writes.
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Seed {
    const char* name;
    png_uint_32 width;
    png_uint_32 height;
    int colorType;
    int bitDepth;
    int interlace;
    bool transparency;
};

bool writeGuarded(png_structp png, png_infop info, std::FILE* file, const Seed& seed, png_bytepp rows) {
    static const png_color palette[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {90, 90, 90}};
    static const png_byte paletteAlpha[2] = {0, 128};
    static const png_color_16 transparent = {0, 1, 2, 3, 4};
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, seed.width, seed.height, seed.bitDepth, seed.colorType, seed.interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (seed.colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, palette, 4);
    if (seed.transparency) {
        if (seed.colorType == PNG_COLOR_TYPE_PALETTE)
            png_set_tRNS(png, info, paletteAlpha, 2, nullptr);
        else
            png_set_tRNS(png, info, nullptr, 0, &transparent);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

bool writeSeed(const std::string& path, const Seed& seed) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const int channels = seed.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                       : seed.colorType == PNG_COLOR_TYPE_RGB       ? 3
                       : seed.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                     : 1;
    const std::size_t rowBytes = (seed.width * channels * seed.bitDepth + 7) / 8;
    std::vector<std::vector<png_byte>> pixels(seed.height, std::vector<png_byte>(rowBytes));
    std::vector<png_bytep> rows;
    for (std::size_t y = 0; y < pixels.size(); ++y) {
        for (std::size_t i = 0; i < rowBytes; ++i)
            // Palette indices stay below the palette's four entries, packed or not.
            pixels[y][i] = static_cast<png_byte>(seed.colorType != PNG_COLOR_TYPE_PALETTE ? 37 * y + 11 * i
                                                 : seed.bitDepth == 8                     ? (y + i) % 4
                                                                                          : (y + i) % 4 * 0x55);
        rows.push_back(pixels[y].data());
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file && writeGuarded(png, info, file, seed, rows.data());
    png_destroy_write_struct(&png, &info);
    return file && std::fclose(file) == 0 && written;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string bigEndian(std::uint32_t value) {
    return {char(value >> 24), char(value >> 16 & 0xFF), char(value >> 8 & 0xFF), char(value & 0xFF)};
}

std::string chunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    return bigEndian(std::uint32_t(data.size())) + body +
           bigEndian(std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

std::string greyHeader(std::uint32_t width, std::uint32_t height) {
    const std::string fields = bigEndian(width) + bigEndian(height) + std::string{8, 0, 0, 0, 0};
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", fields);
}

// A zlib stream of rows, then surplus (inflated after the last row), then the given
// count of empty stored blocks, which take input but give no output.
std::string streamWithSurplus(const std::string& rows, const std::string& surplus, int emptyBlocks) {
    z_stream z{};
    deflateInit(&z, 9);
    std::string out;
    auto put = [&](const std::string& data, int flush) {
        std::string piece(deflateBound(&z, uLong(data.size())) + 64, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z.avail_in = uInt(data.size());
        z.next_out = reinterpret_cast<Bytef*>(piece.data());
        z.avail_out = uInt(piece.size());
        deflate(&z, flush);
        out += piece.substr(0, piece.size() - z.avail_out);
    };
    put(rows, Z_SYNC_FLUSH);
    put(surplus, Z_SYNC_FLUSH);
    for (int i = 0; i < emptyBlocks; ++i)
        out += std::string("\0\0\0\xff\xff", 5);
    put("", Z_FINISH);
    deflateEnd(&z);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const Seed seeds[] = {
        {"grey8", 5, 3, PNG_COLOR_TYPE_GRAY, 8, PNG_INTERLACE_NONE, false},
        {"grey1", 9, 2, PNG_COLOR_TYPE_GRAY, 1, PNG_INTERLACE_NONE, false},
        {"grey4-trns", 5, 2, PNG_COLOR_TYPE_GRAY, 4, PNG_INTERLACE_NONE, true},
        {"grey16", 3, 2, PNG_COLOR_TYPE_GRAY, 16, PNG_INTERLACE_NONE, false},
        {"rgb8", 4, 3, PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_NONE, false},
        {"rgb8-trns", 3, 2, PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_NONE, true},
        {"rgb16-adam7", 13, 9, PNG_COLOR_TYPE_RGB, 16, PNG_INTERLACE_ADAM7, false},
        {"rgba8", 3, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, PNG_INTERLACE_NONE, false},
        {"rgba8-adam7", 9, 9, PNG_COLOR_TYPE_RGB_ALPHA, 8, PNG_INTERLACE_ADAM7, false},
        {"palette2-trns", 7, 3, PNG_COLOR_TYPE_PALETTE, 2, PNG_INTERLACE_NONE, true},
        {"palette8", 4, 4, PNG_COLOR_TYPE_PALETTE, 8, PNG_INTERLACE_NONE, false},
        {"grey-alpha8", 3, 3, PNG_COLOR_TYPE_GRAY_ALPHA, 8, PNG_INTERLACE_NONE, false},
        {"grey-alpha16", 2, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 16, PNG_INTERLACE_NONE, false},
    };
    for (const Seed& seed : seeds)
        if (!writeSeed(folder + seed.name + ".png", seed)) {
            std::fprintf(stderr, "could not write %s\n", seed.name);
            return 1;
        }

    const std::string good = readAll(folder + "rgb8.png");
    std::string badCrc = good;
    badCrc[good.find("IDAT") + 6] ^= 0x20;
    writeAll(folder + "broken-truncated.png", good.substr(0, good.size() - 20));
    writeAll(folder + "broken-idat-crc.png", badCrc);
    writeAll(folder + "broken-short.png", good.substr(0, 3));
    writeAll(folder + "broken-text.png", "not a picture\n");

    // 46340 x 46340 declared, no rows held; and rows followed by compressed data that
    // inflates to a mebibyte, or by enough empty blocks to pass the reader's allowance.
    const std::string iend = chunk("IEND", "");
    const std::string noRows = chunk("IDAT", streamWithSurplus("", "", 0)) + iend;
    writeAll(folder + "broken-huge-header.png", greyHeader(46340, 46340) + noRows);
    const std::string rows("\0\1\2\3\4\5\0\6\7\x08\x09\x0A", 12);
    const std::string mebibyte(1 << 20, '\0');
    const std::string inflated = chunk("IDAT", streamWithSurplus(rows, mebibyte, 0));
    const std::string emptyBlocks = chunk("IDAT", streamWithSurplus(rows, "", 3500));
    writeAll(folder + "surplus-inflated.png", greyHeader(5, 2) + inflated + iend);
    writeAll(folder + "surplus-empty-blocks.png", greyHeader(5, 2) + emptyBlocks + iend);
    return 0;
}
