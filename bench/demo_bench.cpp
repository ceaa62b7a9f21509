// The demo's frame as the demo runs it: key query, clear, text line, the picture
// as one rotated textured quad, flip(1). Reports frames per second; needs a display.

#include "gyrdex/Frame.hpp"
#include "gyrdex/Picture.hpp"
#include "stimulark/stimulark.hpp"

#include <benchmark/benchmark.h>

using namespace Stimulark;

// The library's entry wants a main routine; Google Benchmark brings its own main.
void applicationMain() {}

namespace {

void demoFrame(benchmark::State& state) {
    try {
        initializeToolkit();
        Canvas canvas(0);
        Image picture;
        Gyrdex::drawPicture(picture);
        picture.useTexture(true);

        double angle = 0.0;
        for (auto _ : state) {
            benchmark::DoNotOptimize(Keyboard::query(KEY_ESCAPE, PUSHED));
            Gyrdex::drawFrame(canvas, picture, angle);
        }
        state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
        state.counters["refresh_Hz"] = canvas.getRefreshRate();
    } catch (const Exception& e) {
        state.SkipWithError(e.fullMessage().c_str());
    }
}

BENCHMARK(demoFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

} // namespace
