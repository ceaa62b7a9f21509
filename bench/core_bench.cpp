// The small value operations every frame leans on: colours and pixel rounding.

#include "stimulark/color/Color.hpp"
#include "stimulark/math/Random.hpp"

#include <benchmark/benchmark.h>

#include <array>

namespace {

using Stimulark::Color;

// Inputs cycle through in-range, out-of-range and boundary values, so neither the
// compiler nor the branch predictor sees one constant.
constexpr std::array<double, 8> inputs{0.25, 1.5, -0.2, 0.0, 1.0, 0.75, 0.5, 2.0};

void ColorConstruction(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        const double v = inputs[i++ & 7];
        Color c(v, 1.0 - v, v * 0.5, 1.0);
        benchmark::DoNotOptimize(c);
    }
}
BENCHMARK(ColorConstruction);

void ColorSet(benchmark::State& state) {
    Color c;
    std::size_t i = 0;
    for (auto _ : state) {
        const double v = inputs[i++ & 7];
        c.set(v, v, 1.0 - v, v);
        benchmark::DoNotOptimize(c);
    }
}
BENCHMARK(ColorSet);

void RoundToInt(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        const double x = inputs[i & 7] * 1000.0 - 400.0 + static_cast<double>(i & 1023) * 0.37;
        ++i;
        benchmark::DoNotOptimize(Stimulark::roundToInt(x));
    }
}
BENCHMARK(RoundToInt);

} // namespace
