// Costs of the canvas's per-frame work on the real backend (run under Xvfb when
// there is no display). Each benchmark opens its own canvas.

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/canvas/FrameDisplay.hpp"
#include "stimulark/canvas/VariableMonitor.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/geometry/Rectangle.hpp"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

namespace {

// Counts every allocation of the process, so that a benchmark can show that its
// loop allocates nothing.
std::atomic<long> allocations{0};

} // namespace

// Kept out of line: inlined next to free(), GCC takes the pair for a mismatch.
[[gnu::noinline]] void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace Stimulark;

constexpr const char* demoLine = "Move mouse to change the velocity";
constexpr int drawsPerBatch = 100;

std::unique_ptr<Canvas> openCanvas() {
    initializeToolkit();
    return std::make_unique<Canvas>(0);
}

// The renderer compiles its shaders on first use; those allocations are not ours.
// Returns the allocation count after the warm-up.
template <typename Work>
long warmUp(const Work& work) {
    for (int i = 0; i < 3; ++i)
        work();
    return allocations.load();
}

// Wall time per call, the batch's rendering (finished by glFinish) included.
void reportPerCall(benchmark::State& state, long allocationsBefore) {
    const long allocated = allocations.load() - allocationsBefore; // before the counters allocate
    state.counters["per_call"] = benchmark::Counter(static_cast<double>(state.iterations()) * drawsPerBatch,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocs"] = static_cast<double>(allocated);
}

void BM_DrawText(benchmark::State& state) {
    auto canvas = openCanvas();
    const auto batch = [&] {
        for (int i = 0; i < drawsPerBatch; ++i)
            canvas->drawText(demoLine, 100.0, 100.0, Color::white, 0, -1.0);
        glFinish();
    };
    const long before = warmUp(batch);
    for (auto _ : state)
        batch();
    reportPerCall(state, before);
}
BENCHMARK(BM_DrawText)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FillRect(benchmark::State& state) {
    auto canvas = openCanvas();
    const Rectangle panel(200.0, 150.0);
    const Color translucent(0.0, 0.0, 0.0, 0.5);
    const auto batch = [&] {
        for (int i = 0; i < drawsPerBatch; ++i)
            canvas->fillRect(panel, translucent);
        glFinish();
    };
    const long before = warmUp(batch);
    for (auto _ : state)
        batch();
    reportPerCall(state, before);
}
BENCHMARK(BM_FillRect)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_MonitorPanelOfThree(benchmark::State& state) {
    auto canvas = openCanvas();
    MonitoredInt trials("trials", 10, 1, 10);
    MonitoredDouble contrast("contrast", 0.5, 0.01, 0.1, 0.0, 1.0);
    MonitoredDouble speed("speed", 90.0, 1.0, 15.0);
    const auto batch = [] {
        for (int i = 0; i < drawsPerBatch; ++i)
            drawVariableMonitor();
        glFinish();
    };
    const long before = warmUp(batch);
    for (auto _ : state)
        batch();
    reportPerCall(state, before);
}
BENCHMARK(BM_MonitorPanelOfThree)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The demo's frame without the picture: clear, one line of text, flip(1).
void BM_FrameLoop(benchmark::State& state) {
    auto canvas = openCanvas();
    const Color grey(0.5);
    const auto frame = [&] {
        canvas->clear(grey, BACK_BUFFER);
        canvas->drawText(demoLine, 100.0, 100.0, Color::white, 0, -1.0);
        canvas->flip(1);
    };
    const long before = warmUp(frame);
    for (auto _ : state)
        frame();
    const long allocated = allocations.load() - before;
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["allocs"] = static_cast<double>(allocated);
}
BENCHMARK(BM_FrameLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

// The swap's bookkeeping on a display whose swaps return at once and which reports
// repaints, without (0) and with (1) the frame-interval log: what the onsets, the
// counters and recording add to every flip, and the allocations they make (the log
// doubles its reserve, after the swap's stamps, whenever it fills).
class InstantDisplay final : public FrameDisplay {
public:
    void swap() override { shown_ = Clock().ticks; }
    int swapInterval() override { return 1; }
    unsigned requestReports(std::uint64_t swap, unsigned sources) override {
        swap_ = swap;
        return sources & compositorRepaint;
    }
    std::size_t takeReports(PresentationReport* out, std::size_t max, std::int64_t) override {
        if (swap_ == 0 || max == 0)
            return 0;
        out[0] = PresentationReport{swap_, compositorRepaint, true, shown_, 0, false};
        swap_ = 0;
        return 1;
    }

private:
    std::uint64_t swap_ = 0;
    std::int64_t shown_ = 0;
};

class Bookkeeping : public FrameTiming {
public:
    using FrameTiming::skipNextWait;
    using FrameTiming::swapWhenDue;
};

void BM_FlipBookkeeping(benchmark::State& state) {
    Clock::initializeFrequency();
    Bookkeeping timing;
    InstantDisplay display;
    timing.resetFrameStatistics();
    timing.frameDuration = 1000.0 / 60.0;
    timing.countFrames = true;
    timing.recordFrameIntervals(state.range(0) != 0);
    timing.swapWhenDue(1, display);
    const long before = allocations.load();
    for (auto _ : state) {
        timing.skipNextWait(); // the bookkeeping, not the pacing
        timing.swapWhenDue(1, display);
    }
    state.counters["allocs"] = static_cast<double>(allocations.load() - before);
    state.counters["logged"] = static_cast<double>(timing.frameIntervals().size());
}
BENCHMARK(BM_FlipBookkeeping)->Arg(0)->Arg(1);

} // namespace
