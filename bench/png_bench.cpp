// Image::load of a 2048 x 2048 RGBA PNG against a bare libpng decode of the same
// file into a buffer of its own; and hostile files, each loaded in a child process
// whose peak resident memory and loading time are reported.
#include "stimulark/core/Exception.hpp"
#include "stimulark/image/Image.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// ---- hostile files, each loaded in a child process ----

void putBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(value >> shift & 0xFF);
}

std::string chunk(const std::string& type, const std::string& data) {
    std::string out;
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    out += type + data;
    const auto* body = reinterpret_cast<const Bytef*>(out.data() + 4);
    putBigEndian(out, static_cast<std::uint32_t>(crc32(0, body, static_cast<uInt>(out.size() - 4))));
    return out;
}

// Signature and IHDR of an 8-bit picture.
std::string header(std::uint32_t width, std::uint32_t height, char colorType) {
    std::string fields;
    putBigEndian(fields, width);
    putBigEndian(fields, height);
    fields += std::string{8, colorType, 0, 0, 0};
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", fields);
}

// Raw deflate of data, ended on a byte boundary by a full flush, or closing the stream.
std::string rawDeflate(const std::string& data, int flush) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, flush);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A zlib stream that inflates to prefix followed by zeros zero bytes. One compressed
// mebibyte of zeros is repeated, so that gigabytes take milliseconds to make.
std::string zlibStream(const std::string& prefix, std::uint64_t zeros) {
    constexpr std::uint64_t MEBIBYTE = 1 << 20;
    const std::string zeroMebibyte(MEBIBYTE, '\0');
    const std::string repeated = rawDeflate(zeroMebibyte, Z_FULL_FLUSH);
    const uLong mebibyteSum = adler32(1, reinterpret_cast<const Bytef*>(zeroMebibyte.data()), MEBIBYTE);
    std::string out = "\x78\xDA" + rawDeflate(prefix, Z_FULL_FLUSH);
    uLong sum = adler32(1, reinterpret_cast<const Bytef*>(prefix.data()), static_cast<uInt>(prefix.size()));
    for (std::uint64_t i = 0; i < zeros / MEBIBYTE; ++i) {
        out += repeated;
        sum = adler32_combine(sum, mebibyteSum, MEBIBYTE);
    }
    const std::string rest(zeros % MEBIBYTE, '\0');
    out += rawDeflate(rest, Z_FINISH);
    sum = adler32_combine(sum, adler32(1, reinterpret_cast<const Bytef*>(rest.data()), static_cast<uInt>(rest.size())),
                          static_cast<z_off_t>(rest.size()));
    putBigEndian(out, static_cast<std::uint32_t>(sum));
    return out;
}

// The image data in IDAT chunks of at most a mebibyte, then IEND.
std::string imageData(const std::string& stream) {
    std::string out;
    for (std::size_t at = 0; at < stream.size(); at += 1 << 20)
        out += chunk("IDAT", stream.substr(at, 1 << 20));
    return out + chunk("IEND", "");
}

struct HostileFiles {
    HostileFiles() {
        constexpr std::uint32_t SIDE = 46340; // the largest square grey picture under 2 GiB
        write(hugeHeader, header(SIDE, SIDE, 0) + imageData(zlibStream("", 0)));
        write(bomb, header(SIDE, SIDE, 0) + imageData(zlibStream("", std::uint64_t{SIDE} * (SIDE + 1))));
        std::string rows;
        for (int y = 0; y < 64; ++y)
            rows += '\0' + std::string(64, static_cast<char>(y * 4));
        write(surplus, header(64, 64, 0) + imageData(zlibStream(rows, std::uint64_t{3900} << 20)));
        write(small, header(64, 64, 0) + imageData(zlibStream(rows, 0)));
        // The largest picture the shipped limits let through: 16384 x 16384 RGBA, 1 GiB.
        const std::uint64_t limitRows = std::uint64_t{16384} * (16384 * 4 + 1);
        write(bombAtLimit, header(16384, 16384, 6) + imageData(zlibStream("", limitRows)));
    }
    ~HostileFiles() { std::filesystem::remove_all(folder); }

    static void write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    const std::string folder = [] {
        std::string name = std::filesystem::temp_directory_path() / "stimulark-png-bench-XXXXXX";
        if (!::mkdtemp(name.data()))
            std::abort();
        return name;
    }();
    const std::string hugeHeader = folder + "/huge-header.png", bomb = folder + "/bomb.png";
    const std::string surplus = folder + "/surplus.png", small = folder + "/small.png";
    const std::string bombAtLimit = folder + "/bomb-at-limit.png";
};

const HostileFiles& hostileFiles() {
    static const HostileFiles instance;
    return instance;
}

struct ChildLoad {
    double seconds = 0.0;
    long peakKilobytes = 0;
    std::string outcome;
};

// The child times the load alone and reports its outcome through a pipe; libpng's
// messages are silenced.
ChildLoad loadInChild(const std::string& path, Stimulark::IMAGE_FORMATS::PngReadLimits limits) {
    int channel[2];
    if (::pipe(channel) != 0)
        std::abort();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, 2);
        Stimulark::IMAGE_FORMATS::PNG_BRIDGE::readLimits = limits;
        std::string outcome = "loaded";
        const auto start = std::chrono::steady_clock::now();
        try {
            Stimulark::Image image;
            image.load(path);
        } catch (const Stimulark::Exception& failure) {
            outcome = failure.title;
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        const std::string report = std::to_string(elapsed.count()) + " " + outcome;
        std::_Exit(::write(channel[1], report.data(), report.size()) == static_cast<ssize_t>(report.size()) ? 0 : 1);
    }
    ::close(channel[1]);
    std::string report;
    char buffer[256];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    ::close(channel[0]);
    int status = 0;
    rusage usage{};
    ChildLoad load;
    if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        load.outcome = "child failed";
    else {
        const std::size_t space = report.find(' ');
        load.seconds = std::stod(report.substr(0, space));
        load.outcome = report.substr(space + 1);
    }
    load.peakKilobytes = usage.ru_maxrss;
    return load;
}

void HostileFile(benchmark::State& state, const std::string HostileFiles::*file,
                 Stimulark::IMAGE_FORMATS::PngReadLimits limits) {
    const HostileFiles& files = hostileFiles();
    long peak = 0;
    std::string outcome;
    for (auto _ : state) {
        const ChildLoad load = loadInChild(files.*file, limits);
        state.SetIterationTime(load.seconds);
        peak = std::max(peak, load.peakKilobytes);
        outcome = load.outcome;
    }
    state.counters["peak_MB"] = static_cast<double>(peak) / 1024.0;
    state.counters["file_kB"] = static_cast<double>(std::filesystem::file_size(files.*file)) / 1024.0;
    state.SetLabel(outcome);
}

constexpr Stimulark::IMAGE_FORMATS::PngReadLimits SHIPPED{};
// Room for the 46340 x 46340 files: what the toolkit itself costs while the rows never come.
constexpr Stimulark::IMAGE_FORMATS::PngReadLimits RAISED{46340, 46340, std::uint64_t{1} << 31};

// A small valid file gives the child's own peak, against which the others are read.
BENCHMARK_CAPTURE(HostileFile, small_valid_file, &HostileFiles::small, SHIPPED)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(HostileFile, huge_header_no_rows, &HostileFiles::hugeHeader, SHIPPED)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(HostileFile, huge_header_no_rows_limits_raised, &HostileFiles::hugeHeader, RAISED)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(HostileFile, decompression_bomb, &HostileFiles::bomb, SHIPPED)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(HostileFile, decompression_bomb_at_shipped_limit, &HostileFiles::bombAtLimit, SHIPPED)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(HostileFile, surplus_after_rows, &HostileFiles::surplus, SHIPPED)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
