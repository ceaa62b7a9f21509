// Measures how evenly Canvas::flip paces frames: flips a fixed frame count and
// reports how far each interval between onsets strays from its target, what the
// onsets were taken from and how long after its swap returned each onset came.
//
//     flip_pacing [--flips N] [--frames K] [--measure] [--no-onset-wait] [--csv FILE]
//
// --measure paces by measureRefreshRate's period instead of 60 Hz; --no-onset-wait
// makes flips return at once (Canvas::setOnsetWait(false)). The CSV has one line per
// flip: index, the interval between two onsets (what the canvas records), the
// interval between the swaps' starts, how long the swap itself took and the onset
// less the swap's completion, all in milliseconds.

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
    bool measure = false;
    bool onsetWait = true;
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
        } else if (std::strcmp(argv[i], "--measure") == 0) {
            options.measure = true;
        } else if (std::strcmp(argv[i], "--no-onset-wait") == 0) {
            options.onsetWait = false;
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
    if (options.measure && canvas.measureRefreshRate() == 0.0)
        std::printf("no retrace found; pacing at the reported rate\n");
    if (!options.measure && canvas.refreshRate != 60.0) {
        std::printf("display reports %.3f Hz; pacing at 60 Hz\n", canvas.refreshRate);
        canvas.frameDuration = 1000.0 / 60.0;
    }
    canvas.setOnsetWait(options.onsetWait);
    const double target = options.frames * canvas.frameDuration;

    std::vector<double> swapStarts, swapTimes, onsetLags;
    std::vector<Clock> swapEnds;
    for (auto* v : {&swapStarts, &swapTimes, &onsetLags})
        v->reserve(static_cast<std::size_t>(options.flips));
    swapEnds.reserve(static_cast<std::size_t>(options.flips));

    // The first flip's wait follows the blanking flips, not this count: not measured.
    canvas.clear(Color::gray, BACK_BUFFER);
    canvas.flip(options.frames);
    canvas.recordFrameIntervals(true);
    const Clock began;
    for (int i = 0; i < options.flips; ++i) {
        const Clock previousStart = canvas.lastSwapStart;
        canvas.clear(Color::gray, BACK_BUFFER);
        canvas.flip(options.frames);
        swapStarts.push_back((canvas.lastSwapStart - previousStart).milliseconds());
        swapTimes.push_back((canvas.lastSwapEnd - canvas.lastSwapStart).milliseconds());
        swapEnds.push_back(canvas.lastSwapEnd);
    }
    const double seconds = (Clock() - began).milliseconds() / 1000.0;
    // The onsets as known now, reports that came late included.
    const std::vector<double> onsets = canvas.frameIntervals();
    const long long last = canvas.flipCount();
    const char* source = canvas.onsetSourceOf(last - 1);
    for (long long f = std::max(last - options.flips + 1, last - 1000); f <= last; ++f)
        onsetLags.push_back((canvas.onsetOf(f) - swapEnds[static_cast<std::size_t>(f - (last - options.flips + 1))])
                                .milliseconds());

    if (options.csvPath != nullptr) {
        std::FILE* csv = std::fopen(options.csvPath, "w");
        if (csv == nullptr) {
            std::fprintf(stderr, "flip_pacing: cannot write %s\n", options.csvPath);
            return 1;
        }
        std::fprintf(csv, "flip,interval_ms,swap_start_interval_ms,swap_ms\n");
        for (std::size_t i = 0; i < onsets.size(); ++i)
            std::fprintf(csv, "%zu,%.6f,%.6f,%.6f\n", i, onsets[i], swapStarts[i], swapTimes[i]);
        if (std::fclose(csv) != 0) {
            std::fprintf(stderr, "flip_pacing: cannot write %s\n", options.csvPath);
            return 1;
        }
    }

    const Deviation ends = deviations(onsets, target);
    const Deviation starts = deviations(swapStarts, target);
    std::printf("%d flips of %d frames at %.3f Hz, target interval %.3f ms, %.1f flips a second\n", options.flips,
                options.frames, 1000.0 / canvas.frameDuration, target, options.flips / seconds);
    std::printf("onsets: %s; flips that gave up waiting for their report: %d\n", source, canvas.lateOnsets());
    std::printf("|interval - target|, onsets:      median %.4f ms, p99 %.4f ms, worst %.4f ms\n", ends.median,
                ends.p99, ends.worst);
    std::printf("|interval - target|, swap starts: median %.4f ms, p99 %.4f ms, worst %.4f ms\n", starts.median,
                starts.p99, starts.worst);
    std::vector<double> sortedSwaps = swapTimes;
    std::sort(sortedSwaps.begin(), sortedSwaps.end());
    std::printf("swap duration: median %.4f ms, p99 %.4f ms\n", percentile(sortedSwaps, 50.0),
                percentile(sortedSwaps, 99.0));
    std::sort(onsetLags.begin(), onsetLags.end());
    std::printf("onset - swap completion (last flips): median %.3f ms, p05 %.3f ms, p95 %.3f ms\n", percentile(onsetLags, 50.0),
                percentile(onsetLags, 5.0), percentile(onsetLags, 95.0));
    const bool met = ends.median < 0.05 && ends.p99 < 0.25;
    std::printf("targets (median < 0.05 ms, p99 < 0.25 ms): %s\n", met ? "met" : "missed");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: flip_pacing [--flips N] [--frames K] [--measure] [--no-onset-wait] [--csv FILE]\n");
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
