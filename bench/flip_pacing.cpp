// Measures how evenly Canvas::flip paces buffer swaps: flips a fixed frame count
// at 60 Hz and reports how far each interval between swaps strays from its target.
//
//     flip_pacing [--flips N] [--frames K] [--csv FILE]
//
// The CSV has one line per flip: index, the interval between the ends of two
// swaps (what the canvas records), the interval between their starts (what the
// flip paces) and how long the swap itself took, all in milliseconds.

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/platform/Clock.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

namespace {

using namespace Stimulark;

struct Options {
    int flips = 300;
    int frames = 3;
    const char* csvPath = nullptr;
};

bool parseCount(const char* text, int& out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 100000)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--flips") == 0 && hasValue) {
            if (!parseCount(argv[++i], options.flips))
                return false;
        } else if (std::strcmp(argv[i], "--frames") == 0 && hasValue) {
            if (!parseCount(argv[++i], options.frames))
                return false;
        } else if (std::strcmp(argv[i], "--csv") == 0 && hasValue) {
            options.csvPath = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

// Nearest-rank percentile of already sorted values.
double percentile(const std::vector<double>& sorted, double p) {
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

struct Deviation {
    double median, p99, worst;
};

Deviation deviations(const std::vector<double>& intervals, double target) {
    std::vector<double> off;
    off.reserve(intervals.size());
    for (double interval : intervals)
        off.push_back(std::fabs(interval - target));
    std::sort(off.begin(), off.end());
    return {percentile(off, 50.0), percentile(off, 99.0), off.back()};
}

int run(const Options& options) {
    initializeToolkit();
    Canvas canvas(0);
    if (canvas.refreshRate != 60.0) {
        std::printf("display reports %.3f Hz; pacing at 60 Hz\n", canvas.refreshRate);
        canvas.frameDuration = 1000.0 / 60.0;
    }
    const double target = options.frames * canvas.frameDuration;

    std::vector<double> swapEnds, swapStarts, swapTimes;
    swapEnds.reserve(static_cast<std::size_t>(options.flips));
    swapStarts.reserve(static_cast<std::size_t>(options.flips));
    swapTimes.reserve(static_cast<std::size_t>(options.flips));

    // The first flip's wait follows the blanking flips, not this count: not measured.
    canvas.clear(Color::gray, BACK_BUFFER);
    canvas.flip(options.frames);
    for (int i = 0; i < options.flips; ++i) {
        const Clock previousStart = canvas.lastSwapStart;
        canvas.clear(Color::gray, BACK_BUFFER);
        canvas.flip(options.frames);
        swapEnds.push_back(canvas.lastFrameInterval);
        swapStarts.push_back((canvas.lastSwapStart - previousStart).milliseconds());
        swapTimes.push_back((canvas.lastSwapEnd - canvas.lastSwapStart).milliseconds());
    }

    if (options.csvPath != nullptr) {
        std::FILE* csv = std::fopen(options.csvPath, "w");
        if (csv == nullptr) {
            std::fprintf(stderr, "flip_pacing: cannot write %s\n", options.csvPath);
            return 1;
        }
        std::fprintf(csv, "flip,interval_ms,swap_start_interval_ms,swap_ms\n");
        for (std::size_t i = 0; i < swapEnds.size(); ++i)
            std::fprintf(csv, "%zu,%.6f,%.6f,%.6f\n", i, swapEnds[i], swapStarts[i], swapTimes[i]);
        if (std::fclose(csv) != 0) {
            std::fprintf(stderr, "flip_pacing: cannot write %s\n", options.csvPath);
            return 1;
        }
    }

    const Deviation ends = deviations(swapEnds, target);
    const Deviation starts = deviations(swapStarts, target);
    std::printf("%d flips of %d frames at 60 Hz, target interval %.3f ms\n", options.flips, options.frames, target);
    std::printf("|interval - target|, swap ends:   median %.4f ms, p99 %.4f ms, worst %.4f ms\n", ends.median,
                ends.p99, ends.worst);
    std::printf("|interval - target|, swap starts: median %.4f ms, p99 %.4f ms, worst %.4f ms\n", starts.median,
                starts.p99, starts.worst);
    std::vector<double> sortedSwaps = swapTimes;
    std::sort(sortedSwaps.begin(), sortedSwaps.end());
    std::printf("swap duration: median %.4f ms, p99 %.4f ms\n", percentile(sortedSwaps, 50.0),
                percentile(sortedSwaps, 99.0));
    const bool met = ends.median < 0.05 && ends.p99 < 0.25;
    std::printf("targets (median < 0.05 ms, p99 < 0.25 ms): %s\n", met ? "met" : "missed");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: flip_pacing [--flips N] [--frames K] [--csv FILE]\n");
        return 2;
    }
    try {
        return run(options);
    } catch (const Exception& e) {
        std::fprintf(stderr, "flip_pacing: %s\n", e.fullMessage().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "flip_pacing: %s\n", e.what());
    }
    return 1;
}
