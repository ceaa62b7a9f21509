#include "stimulark/canvas/FrameIntervalFiles.hpp"

#include "stimulark/canvas/Fonts.hpp"
#include "stimulark/canvas/FrameTiming.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/file/File.hpp"
#include "stimulark/platform/SafeFileWriter.hpp"
#include "stimulark/image/Image.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <string_view>

namespace Stimulark {

namespace {

namespace Plot = FrameIntervalPlot;
using Ink = Plot::Ink;

[[noreturn]] void refuseArgument(const char* message) {
    throw Exception(typeid(File), "ARGUMENT ERROR", message);
}

// Both files count in refresh periods. A zero, negative or undefined period is the
// caller's bug, and any period guessed in its place would mislabel every frame.
void checkFrameDuration(double ms) {
    if (!(ms > 0.0) || !std::isfinite(ms))
        refuseArgument("The frame duration must be a positive, finite number of milliseconds.");
}

// Up to `digits` significant digits, the same in every locale.
std::string number(double value, int digits) {
    char buffer[64];
    return {buffer, std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits).ptr};
}

// 1, 2 or 5 times a power of ten, at least range / count; 0 where that is no finite
// normal number.
double niceStep(double range, double count) {
    const double raw = range / count;
    if (!(raw >= DBL_MIN) || !std::isfinite(raw))
        return 0.0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (m * magnitude >= raw)
            return std::isfinite(m * magnitude) ? m * magnitude : 0.0;
    return 0.0;
}

// The intervals on a log scale, 16 bins an octave: percentiles within 6.25 % in fixed
// memory however long the log. A double's exponent and first four fraction bits are
// its bin; negative values share bin 0 with zero, and infinity has the last bin.
constexpr int infinityBin = 0x7FF0;

int logBin(double v) {
    return v > 0.0 ? static_cast<int>(std::bit_cast<std::uint64_t>(v) >> 48) : 0;
}

double logBinTop(int bin) {
    return bin < infinityBin ? std::bit_cast<double>(static_cast<std::uint64_t>(bin + 1) << 48) : HUGE_VAL;
}

// Where a panel's plotting area lies; its frame surrounds it.
struct Panel {
    int left, top, right, bottom;
    constexpr int width() const { return right - left + 1; }
    constexpr int height() const { return bottom - top + 1; }
};
constexpr Panel upper{80, 60, 969, 299};
constexpr Panel lower{80, 370, 969, 589};
constexpr int barWidth = 2;
constexpr int histogramBins = lower.width() / barWidth;

// The interval axis: up and across in the upper panel, across in the lower one.
struct IntervalAxis {
    double top = 0.0;
    double step = 0.0; // between ticks; 0 where only the ends are labelled

    // Rounded by adding a half: lround is a library call, too slow for every flip.
    int rowOf(double v) const {
        return upper.bottom - static_cast<int>(std::clamp(v, 0.0, top) / top * (upper.height() - 1) + 0.5);
    }
    int columnOf(double v) const {
        return lower.left + static_cast<int>(std::clamp(v, 0.0, top) / top * (lower.width() - 1) + 0.5);
    }
};

// From 0 to a tenth beyond the larger of 4 periods and the 99th percentile, rounded
// up to a tick. Intervals over 16 times the median (or the period) are pauses, not
// frames, and left out of the percentile, so that even a short log's one pause
// cannot squash the rest.
IntervalAxis intervalAxis(const std::vector<double>& intervals, double period) {
    std::vector<std::uint64_t> bins(infinityBin + 1);
    std::uint64_t numbers = 0;
    double largestFinite = 0.0;
    for (const double v : intervals) {
        if (std::isnan(v))
            continue;
        ++bins[static_cast<std::size_t>(logBin(v))];
        ++numbers;
        if (std::isfinite(v))
            largestFinite = std::max(largestFinite, v);
    }
    // The top of the bin holding the rank-th smallest interval.
    auto ranked = [&](std::uint64_t rank) {
        std::uint64_t seen = 0;
        int bin = 0;
        while (bin < infinityBin && (seen += bins[static_cast<std::size_t>(bin)]) < rank)
            ++bin;
        return std::min(logBinTop(bin), largestFinite);
    };
    double percentile = 0.0;
    if (numbers > 0) {
        const double fence = 16.0 * std::max(ranked(numbers - numbers / 2), period);
        std::uint64_t frames = 0;
        for (int bin = 0; bin <= infinityBin && logBinTop(bin) <= fence; ++bin)
            frames += bins[static_cast<std::size_t>(bin)];
        percentile = ranked(std::max<std::uint64_t>(frames - frames / 100, 1));
    }
    const double wanted = std::min(std::max(4.0 * period, percentile) * 1.1, DBL_MAX);
    const double step = niceStep(wanted, 5.0);
    const double rounded = step > 0.0 ? std::ceil(wanted / step) * step : wanted;
    return std::isfinite(rounded) ? IntervalAxis{rounded, step} : IntervalAxis{wanted, 0.0};
}

// The log reduced to what the picture shows, in one pass.
struct Digest {
    std::vector<double> lowest = std::vector<double>(static_cast<std::size_t>(upper.width()), HUGE_VAL);
    std::vector<double> highest = std::vector<double>(lowest.size(), -HUGE_VAL);
    std::vector<std::uint64_t> bins = std::vector<std::uint64_t>(histogramBins + 1); // the last: beyond the axis
    std::uint64_t beyond = 0;
    std::uint64_t notNumbers = 0;
    double largest = -HUGE_VAL;

    Digest(const std::vector<double>& intervals, const IntervalAxis& axis) {
        // Flip i lies in column (i + 0.5) / flips * columns, rounded down: column c's
        // flips begin at firstOf(c).
        const auto flips = static_cast<double>(intervals.size());
        const auto columns = static_cast<double>(lowest.size());
        auto firstOf = [&](std::size_t c) { return static_cast<std::size_t>(std::ceil(c / columns * flips - 0.5)); };
        std::size_t column = 0;
        std::size_t next = firstOf(1);
        for (std::size_t i = 0; i < intervals.size(); ++i) {
            while (i >= next && column + 1 < lowest.size())
                next = firstOf(++column + 1);
            const double v = intervals[i];
            if (std::isnan(v)) {
                ++notNumbers;
                continue;
            }
            lowest[column] = std::min(lowest[column], v);
            highest[column] = std::max(highest[column], v);
            // A bin holds the values whose column falls on its bar, so that a period
            // line always crosses the bar of the intervals lasting so many periods.
            const int bin = v > axis.top ? histogramBins : (axis.columnOf(v) - lower.left) / barWidth;
            ++bins[static_cast<std::size_t>(bin)];
            beyond += v > axis.top || v < 0.0;
            largest = std::max(largest, v);
        }
    }
};

class Painter {
public:
    Painter() : image(Plot::width, Plot::height, RGB, BYTE) {
        fill(0, 0, Plot::width - 1, Plot::height - 1, Plot::paper);
    }

    // Clipped to the picture.
    void fill(int left, int top, int right, int bottom, Ink ink) {
        left = std::max(left, 0);
        top = std::max(top, 0);
        right = std::min(right, Plot::width - 1);
        bottom = std::min(bottom, Plot::height - 1);
        if (left <= right && top <= bottom)
            image.fill(Rectangle().set(left, top, right, bottom),
                       Color(ink.r / 255.0, ink.g / 255.0, ink.b / 255.0, 1.0));
    }

    static int textWidth(std::string_view text, int scale = 1) {
        int width = -1;
        for (const char c : text)
            width += glyphWidths[glyph(c)] + 1;
        return std::max(width, 0) * scale;
    }

    // (x, y): the top-left corner of the glyphs' seven rows.
    void text(int x, int y, std::string_view text, Ink ink, int scale = 1) {
        for (const char c : text) {
            const int g = glyph(c);
            for (int row = 0; row < glyphHeight; ++row)
                for (int column = 0; column < glyphWidths[g]; ++column)
                    if (glyphRows[g][row] & (0x80 >> column))
                        fill(x + column * scale, y + row * scale, x + column * scale + scale - 1,
                             y + row * scale + scale - 1, ink);
            x += (glyphWidths[g] + 1) * scale;
        }
    }

    void frame(const Panel& p) {
        fill(p.left - 1, p.top - 1, p.right + 1, p.top - 1, Plot::text);
        fill(p.left - 1, p.bottom + 1, p.right + 1, p.bottom + 1, Plot::text);
        fill(p.left - 1, p.top, p.left - 1, p.bottom, Plot::text);
        fill(p.right + 1, p.top, p.right + 1, p.bottom, Plot::text);
    }

    void xTick(const Panel& p, int x, const std::string& label) {
        fill(x, p.bottom + 2, x, p.bottom + 4, Plot::text);
        text(x - textWidth(label) / 2, p.bottom + 8, label, Plot::text);
    }

    void yTick(const Panel& p, int y, const std::string& label) {
        fill(p.left - 5, y, p.left - 2, y, Plot::text);
        text(p.left - 8 - textWidth(label), y - 3, label, Plot::text);
    }

    Image image;

private:
    static int glyph(char c) { return static_cast<unsigned char>(c) < 128 ? c : '?'; }
};

// The periods between marks: 1, or the nice number that keeps the upper panel's
// lines 8 pixels apart; 0 where no such number exists.
double periodsPerMark(double period, double top) {
    const double spacing = period / top * (upper.height() - 1);
    return spacing >= 8.0 ? 1.0 : niceStep(8.0 / spacing, 1.0);
}

// Calls mark with every marked multiple of the period up to top.
template <typename Mark>
void wholePeriods(double period, double top, Mark mark) {
    const double step = periodsPerMark(period, top);
    for (double k = step; step > 0.0 && std::isfinite(k) && k * period <= top; k += step)
        mark(k * period);
}

// Ticks at multiples of step from 0 to top, or at the ends only.
template <typename Tick>
void ticks(double top, double step, Tick tick) {
    if (step <= 0.0 || top / step > 20.0) {
        tick(0.0);
        tick(top);
        return;
    }
    for (double i = 0.0; i * step <= top * (1.0 + 1e-9); ++i)
        tick(i * step);
}

void drawIntervals(Painter& paint, const Digest& digest, const IntervalAxis& axis, std::size_t flips, double period) {
    const int dot = flips <= static_cast<std::size_t>(upper.width() / 3) ? 1 : 0;
    for (std::size_t c = 0; c < digest.lowest.size(); ++c) {
        if (digest.lowest[c] > digest.highest[c])
            continue;
        const int x = upper.left + static_cast<int>(c);
        paint.fill(x - dot, std::max(axis.rowOf(digest.highest[c]) - 1, upper.top), x + dot,
                   std::min(axis.rowOf(digest.lowest[c]) + 1, upper.bottom), Plot::data);
        if (digest.highest[c] > axis.top)
            paint.fill(x - 1, upper.top - 5, x + 1, upper.top - 3, Plot::clipped);
        if (digest.lowest[c] < 0.0)
            paint.fill(x - 1, upper.bottom + 3, x + 1, upper.bottom + 5, Plot::clipped);
    }
    // Over the intervals: where these crowd around a period, they would hide its line.
    wholePeriods(period, axis.top, [&](double v) {
        paint.fill(upper.left, axis.rowOf(v), upper.right, axis.rowOf(v), Plot::period);
    });
    ticks(axis.top, axis.step, [&](double v) { paint.yTick(upper, axis.rowOf(v), number(v, 3)); });
    const double flipStep = std::max(1.0, std::ceil(niceStep(static_cast<double>(flips), 8.0)));
    for (double f = 1.0; f <= static_cast<double>(flips); f = f == 1.0 && flipStep > 1.0 ? flipStep : f + flipStep)
        paint.xTick(upper, upper.left + static_cast<int>((f - 0.5) / static_cast<double>(flips) * upper.width()),
                    number(f, 10));
    if (flips == 0) {
        constexpr std::string_view empty = "no frame intervals recorded";
        paint.text((upper.left + upper.right - Painter::textWidth(empty, 2)) / 2, (upper.top + upper.bottom) / 2 - 7,
                   empty, Plot::text, 2);
    }
}

void drawHistogram(Painter& paint, const Digest& digest, const IntervalAxis& axis, double period) {
    // Under the bars, so that a bar at a period keeps its full height.
    wholePeriods(period, axis.top, [&](double v) {
        paint.fill(axis.columnOf(v), lower.top, axis.columnOf(v), lower.bottom, Plot::period);
    });
    const auto& bins = digest.bins;
    const std::uint64_t most = std::max<std::uint64_t>(1, *std::max_element(bins.begin(), bins.end()));
    const double countStep = std::max(1.0, niceStep(static_cast<double>(most), 4.0));
    const double countTop = std::ceil(static_cast<double>(most) / countStep) * countStep;
    for (std::size_t b = 0; b < bins.size(); ++b) {
        const bool beyond = b + 1 == bins.size();
        const int x = beyond ? lower.right + 4 : lower.left + static_cast<int>(b) * barWidth;
        const auto bar = std::max(beyond ? 3 : 1, static_cast<int>(std::lround(bins[b] / countTop * lower.height())));
        if (bins[b] > 0)
            paint.fill(x, lower.bottom + 1 - bar, x + barWidth - 1 + (beyond ? 2 : 0), lower.bottom,
                       beyond ? Plot::clipped : Plot::data);
    }
    ticks(axis.top, axis.step, [&](double v) { paint.xTick(lower, axis.columnOf(v), number(v, 3)); });
    ticks(countTop, countStep, [&](double v) {
        paint.yTick(lower, lower.bottom - static_cast<int>(std::lround(v / countTop * (lower.height() - 1))),
                    number(v, 10));
    });
}

void drawLabels(Painter& paint, const Digest& digest, const IntervalAxis& axis, std::size_t flips, double period) {
    paint.text(upper.left, 10, "Frame intervals: " + std::to_string(flips) + " flips, refresh period " +
                                   number(period, 5) + " ms", Plot::text, 2);
    paint.text(upper.left, upper.top - 20, "interval (ms)", Plot::text);
    paint.text(upper.right - Painter::textWidth("flip"), upper.bottom + 20, "flip", Plot::text);
    paint.text(lower.left, lower.top - 20, "flips", Plot::text);
    paint.text(lower.right - Painter::textWidth("interval (ms)"), lower.bottom + 20, "interval (ms)", Plot::text);
    std::string note;
    if (digest.beyond > 0)
        note = std::to_string(digest.beyond) + " beyond 0.." + number(axis.top, 3) + " ms drawn at the edge" +
               (digest.largest > axis.top ? " (largest " + number(digest.largest, 6) + " ms)" : "");
    if (digest.notNumbers > 0)
        note += (note.empty() ? "" : "; ") + std::to_string(digest.notNumbers) + " not a number (NaN), left out";
    paint.text(upper.right - Painter::textWidth(note), upper.top - 20, note, Plot::clipped);
    const double step = periodsPerMark(period, axis.top);
    const std::string marks = step == 1.0 ? "whole refresh periods" : "every " + number(step, 3) + " refresh periods";
    paint.fill(upper.left, Plot::height - 13, upper.left + 19, Plot::height - 12, Plot::period);
    paint.text(upper.left + 26, Plot::height - 16, marks, Plot::text);
    paint.fill(upper.left + 260, Plot::height - 14, upper.left + 262, Plot::height - 12, Plot::clipped);
    paint.text(upper.left + 270, Plot::height - 16, "beyond the axis, drawn at its edge", Plot::clipped);
}

} // namespace

void writeFrameIntervalsCsv(const std::string& path, const std::vector<FrameJudgement>& flips,
                            double frameDurationMs) {
    checkFrameDuration(frameDurationMs);
    SafeFileWriter output;
    // A NUL would cut the name short where the system takes it.
    bool written = path.find('\0') == std::string::npos && output.open(path);
    std::FILE* stream = output.stream();
    constexpr std::string_view header = "flip,interval_ms,frames,dropped,onset_source\n";
    written = written && std::fwrite(header.data(), 1, header.size(), stream) == header.size();
    // The longest line: a 20-digit flip, a sign and 313 characters of interval, two
    // 11-character counts, a 21-character source, four commas and the newline.
    char line[400];
    char* const end = line + sizeof line;
    for (std::size_t i = 0; written && i < flips.size(); ++i) {
        const FrameJudgement& flip = flips[i];
        char* at = line;
        const auto put = [&at, end](std::string_view text) {
            at = std::copy(text.begin(), text.begin() + std::min<std::ptrdiff_t>(end - at, std::ssize(text)), at);
        };
        at = std::to_chars(at, end, i + 1).ptr;
        put(",");
        if (!std::isnan(flip.intervalMs))
            at = std::to_chars(at, end, flip.intervalMs, std::chars_format::fixed, 3).ptr;
        put(",");
        at = std::to_chars(at, end, flip.heldFrames).ptr;
        put(",");
        at = std::to_chars(at, end, flip.dropped).ptr;
        put(",");
        put(onsetSourceName(flip.source));
        put("\n");
        const auto length = static_cast<std::size_t>(at - line);
        written = std::fwrite(line, 1, length, stream) == length;
    }
    if (!written || output.commit() != SafeFileWriter::Outcome::written)
        throw Exception(typeid(File), "FILE ACCESS ERROR", "Failed to open the requested file.");
}

void plotFrameIntervalsPng(const std::string& path, const std::vector<double>& intervalsMs, double frameDurationMs) {
    checkFrameDuration(frameDurationMs);
    const IntervalAxis axis = intervalAxis(intervalsMs, frameDurationMs);
    const Digest digest(intervalsMs, axis);
    Painter paint;
    paint.frame(upper);
    paint.frame(lower);
    drawIntervals(paint, digest, axis, intervalsMs.size(), frameDurationMs);
    drawHistogram(paint, digest, axis, frameDurationMs);
    drawLabels(paint, digest, axis, intervalsMs.size(), frameDurationMs);
    IMAGE_FORMATS::PNG_BRIDGE().save(path, paint.image);
}

} // namespace Stimulark
