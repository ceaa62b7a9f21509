// Image::load of a 2048 x 2048 RGBA PNG against a bare libpng decode of the same
// file into a buffer of its own.
#include "stimulark/image/Image.hpp"

#include <benchmark/benchmark.h>
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr png_uint_32 SIDE = 2048;

bool writeGuarded(png_structp png, png_infop info, std::FILE* file, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, SIDE, SIDE, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// Smooth gradients with a little noise, which compress about as well as a photograph.
class Picture {
public:
    Picture() : path((std::filesystem::temp_directory_path() / "stimulark-png-bench.png").string()) {
        std::vector<png_byte> pixels(std::size_t{SIDE} * SIDE * 4);
        std::uint32_t noise = 2463534242u;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const std::size_t pixel = i / 4, x = pixel % SIDE, y = pixel / SIDE;
            const std::size_t base[4] = {x / 8, y / 8, (x + y) / 16, 255 - x / 16};
            pixels[i] = static_cast<png_byte>(base[i % 4] + (noise & 7));
        }
        std::vector<png_bytep> rows;
        for (std::size_t y = 0; y < SIDE; ++y)
            rows.push_back(pixels.data() + y * SIDE * 4);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        const bool written = file && writeGuarded(png, info, file, rows.data());
        png_destroy_write_struct(&png, &info);
        if (!file || std::fclose(file) != 0 || !written)
            std::abort();
    }
    ~Picture() { std::filesystem::remove(path); }

    const std::string path;
};

const Picture& picture() {
    static const Picture instance;
    return instance;
}

bool readGuarded(png_structp png, png_infop info, std::FILE* file, png_bytepp* rows, png_bytep* pixels) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_read_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    *pixels = static_cast<png_bytep>(std::malloc(rowBytes * height));
    *rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * height));
    for (png_uint_32 y = 0; y < height; ++y)
        (*rows)[y] = *pixels + y * rowBytes;
    png_read_image(png, *rows);
    png_read_end(png, nullptr);
    return true;
}

void ImageLoad(benchmark::State& state) {
    const std::string& path = picture().path;
    Stimulark::Image image;
    for (auto _ : state) {
        image.load(path);
        benchmark::DoNotOptimize(image.byteBitmap);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * SIDE * SIDE * 4);
}

void BareLibpng(benchmark::State& state) {
    const std::string& path = picture().path;
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_bytepp rows = nullptr;
        png_bytep pixels = nullptr;
        if (!readGuarded(png, info, file, &rows, &pixels))
            state.SkipWithError("libpng failed");
        benchmark::DoNotOptimize(pixels);
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        std::free(rows);
        std::free(pixels);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * SIDE * SIDE * 4);
}

BENCHMARK(ImageLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BareLibpng)->Unit(benchmark::kMillisecond);

} // namespace
