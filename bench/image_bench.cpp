#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/image/Image.hpp"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace Stimulark;

void fillWholeImage(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    Image image(side, side, RGBA, BYTE);
    const Color colors[2] = {Color(0.2, 0.4, 0.6, 0.8), Color(0.7, 0.5, 0.3, 0.1)};
    int i = 0;
    for (auto _ : state) {
        image.clear(colors[i ^= 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * side * side);
    state.SetLabel("items = pixels");
}
BENCHMARK(fillWholeImage)->Arg(4096)->Unit(benchmark::kMillisecond);

// One call per iteration, walking the image so that the accesses are not all cached.
void setPixelPerCall(benchmark::State& state) {
    Image image(1024, 1024, static_cast<PixelComponents>(state.range(0)), static_cast<PixelPrecision>(state.range(1)));
    const Color color(0.2, 0.4, 0.6, 0.8);
    int x = 0, y = 0;
    for (auto _ : state) {
        image.setPixel(x, y, color);
        if (++x == 1024) {
            x = 0;
            y = (y + 1) & 1023;
        }
    }
    benchmark::DoNotOptimize(image.getBitmap());
}
BENCHMARK(setPixelPerCall)->ArgNames({"layout", "precision"})->Args({RGBA, BYTE})->Args({GRAY, BYTE})->Args({RGBA, FLOAT});

void getPixelPerCall(benchmark::State& state) {
    Image image(1024, 1024, static_cast<PixelComponents>(state.range(0)), static_cast<PixelPrecision>(state.range(1)));
    int x = 0, y = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(image.getPixel(x, y));
        if (++x == 1024) {
            x = 0;
            y = (y + 1) & 1023;
        }
    }
}
BENCHMARK(getPixelPerCall)->ArgNames({"layout", "precision"})->Args({RGBA, BYTE})->Args({GRAY, BYTE})->Args({RGBA, FLOAT});

// The canvas opens once, on first use; without a display the upload benchmarks are skipped.
Canvas* sharedCanvas(std::string& why) {
    static std::unique_ptr<Canvas> canvas;
    static std::string failure;
    if (!canvas && failure.empty()) {
        try {
            initializeToolkit();
            canvas = std::make_unique<Canvas>(0);
        } catch (const Exception& e) {
            failure = e.fullMessage();
        } catch (...) {
            failure = "the canvas could not be opened";
        }
    }
    why = "no display, upload not measured: " + failure;
    return canvas.get();
}

// range(0): side; range(1): 1 to create the texture every time, 0 to replace its contents.
void uploadTexture(benchmark::State& state) {
    std::string why;
    if (sharedCanvas(why) == nullptr) {
        state.SkipWithError(why.c_str());
        return;
    }
    const int side = static_cast<int>(state.range(0));
    const bool create = state.range(1) != 0;
    Image image(side, side, RGBA, BYTE);
    image.clear(Color(0.2, 0.4, 0.6, 0.8));
    image.useTexture(true);
    for (auto _ : state) {
        if (create)
            image.useTexture(false);
        image.useTexture(true);
        glFinish();
    }
}
BENCHMARK(uploadTexture)
    ->ArgNames({"side", "create"})
    ->Args({2048, 1})
    ->Args({2048, 0})
    ->Args({2000, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace
