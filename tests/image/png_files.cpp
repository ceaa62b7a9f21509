#include "image/png_files.hpp"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace Stimulark::Testing {

namespace {

// libpng leaves these by longjmp; their frames hold nothing with a destructor.
bool writeGuarded(png_structp png, png_infop info, std::FILE* file, const PngPicture& p, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, p.width, p.height, p.bitDepth, p.colorType, p.interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!p.palette.empty())
        png_set_PLTE(png, info, p.palette.data(), static_cast<int>(p.palette.size()));
    if (!p.paletteAlpha.empty())
        png_set_tRNS(png, info, p.paletteAlpha.data(), static_cast<int>(p.paletteAlpha.size()), nullptr);
    if (p.transparent)
        png_set_tRNS(png, info, nullptr, 0, &*p.transparent);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

bool readInfoGuarded(png_structp png, png_infop info, std::FILE* file) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_read_info(png, info);
    return true;
}

bool readRowsGuarded(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_interlace_handling(png);
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

} // namespace

bool writePng(const std::string& path, const PngPicture& picture) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    for (const auto& row : picture.rows)
        rows.push_back(const_cast<png_bytep>(row.data()));
    const bool written = writeGuarded(png, info, file, picture, rows.data());
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}

std::optional<PngPicture> readPng(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return std::nullopt;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::optional<PngPicture> picture;
    if (readInfoGuarded(png, info, file)) {
        PngPicture p;
        p.width = png_get_image_width(png, info);
        p.height = png_get_image_height(png, info);
        p.colorType = png_get_color_type(png, info);
        p.bitDepth = png_get_bit_depth(png, info);
        p.interlace = png_get_interlace_type(png, info);
        p.rows.assign(p.height, std::vector<png_byte>(png_get_rowbytes(png, info)));
        std::vector<png_bytep> rows;
        for (auto& row : p.rows)
            rows.push_back(row.data());
        if (readRowsGuarded(png, rows.data()))
            picture = std::move(p);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return picture;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "stimulark-png-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
        root = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!root.empty())
        std::filesystem::remove_all(root, ignored);
}

std::vector<std::string> TempFolder::names() const {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(root))
        found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace Stimulark::Testing
