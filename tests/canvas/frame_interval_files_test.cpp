// The frame-interval log as CSV and as a PNG plot, read back; refusals and failed writes.

#include "image/ImageTesting.hpp"

#include "stimulark/canvas/FrameIntervalFiles.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

#include <cfloat>
#include <climits>
#include <cmath>

namespace Stimulark::Testing {
namespace {

namespace Plot = FrameIntervalPlot;
const std::string badPeriod =
    "Stimulark::File [ARGUMENT ERROR] The frame duration must be a positive, finite number of milliseconds.";

constexpr int middle = Plot::height / 2; // between the panels

// A saved plot with the pixels of one ink counted along rows or columns.
struct Picture {
    Image image;
    explicit Picture(const std::string& path) { IMAGE_FORMATS::PNG_BRIDGE().load(path.c_str(), image); }
    int count(Plot::Ink ink, int x0, int x1, int y0, int y1) const {
        const auto byte = [](double v) { return std::uint8_t(std::lround(v * 255)); };
        int n = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const Color c = image.getPixel(x, y);
                n += Plot::Ink{byte(c.r), byte(c.g), byte(c.b)} == ink;
            }
        return n;
    }
    // The rows (or columns) between y0 and y1 holding at least `least` pixels of the ink.
    std::vector<int> lines(Plot::Ink ink, int y0, int y1, int least, bool rows) const {
        std::vector<int> found;
        for (int i = 0; i < (rows ? image.height : image.width); ++i)
            if ((rows ? (i >= y0 && i <= y1 ? count(ink, 0, image.width - 1, i, i) : 0)
                      : count(ink, i, i, y0, y1)) >= least)
                found.push_back(i);
        return found;
    }
    int across(Plot::Ink ink, int y0, int y1) const { return count(ink, 0, image.width - 1, y0, y1); }
    std::vector<int> periodRows() const { return lines(Plot::period, 0, middle, Plot::width / 2, true); }
};

testing::AssertionResult evenlySpaced(const std::vector<int>& at, std::size_t lines) {
    if (at.size() != lines)
        return testing::AssertionFailure() << at.size() << " lines, not " << lines;
    for (std::size_t i = 2; i < at.size(); ++i)
        if (std::abs(at[i] - at[i - 1] - (at[1] - at[0])) > 1)
            return testing::AssertionFailure() << "line " << i << " out of step";
    return testing::AssertionSuccess();
}

// Refused arguments and failed writes leave the old file as it was, with no temporary file beside it. A name
// holding a NUL, which the system would cut short, is refused before anything is opened.
TEST(FrameIntervalFiles, CsvHoldsEveryFlipWithItsJudgementAndRefusalsAndFailuresLeaveTheOldFile) {
    TempFolder folder;
    const std::string path = folder / "intervals.csv", header = "flip,interval_ms,frames,dropped,onset_source\n";
    writeBytes(path, "old");
    // on time, late, never shown, a paused program, extreme counts
    writeFrameIntervalsCsv(path,
                           {{16.6667, 1, 0, OnsetSource::compositorRepaint},
                            {40.0, 1, 1, OnsetSource::presentationFeedback},
                            {nan, 1, 2, OnsetSource::presentationFeedback},
                            {1e12, 1, 1'000'000'000, OnsetSource::swapCompletion},
                            {16.667, INT_MIN, INT_MAX, OnsetSource::swapCompletion}},
                           16.667);
    EXPECT_EQ(readBytes(path), header + "1,16.667,1,0,compositor repaint\n2,40.000,1,1,presentation feedback\n"
                                        "3,,1,2,presentation feedback\n"
                                        "4,1000000000000.000,1,1000000000,swap completion\n"
                                        "5,16.667,-2147483648,2147483647,swap completion\n");
    writeFrameIntervalsCsv(path, {}, 16.667);
    EXPECT_EQ(readBytes(path), header);
    const std::vector<FrameJudgement> one{{16.7, 1, 0, OnsetSource::swapCompletion}};
    for (const double period : {0.0, -16.7, nan, inf, -inf}) {
        EXPECT_EQ(failureMessage([&] { writeFrameIntervalsCsv(path, one, period); }), badPeriod) << period;
        EXPECT_EQ(failureMessage([&] { plotFrameIntervalsPng(path, {16.7}, period); }), badPeriod) << period;
    }
    const std::vector<double> intervals(2000, 16.7);
    const std::vector<FrameJudgement> flips(2000, one[0]);
    const std::string nul = folder / std::string("x\0.csv", 6);
    for (const std::string& where : std::vector{folder / "missing/x.csv", folder.root, nul}) {
        EXPECT_EQ(failureMessage([&] { writeFrameIntervalsCsv(where, flips, 16.7); }),
                  "Stimulark::File [FILE ACCESS ERROR] Failed to open the requested file.") << where;
        EXPECT_EQ(failureMessage([&] { plotFrameIntervalsPng(where, intervals, 16.7); }),
                  "Stimulark::IMAGE_FORMATS::PNG_BRIDGE [FILE ACCESS ERROR] Failed to open the requested file.")
            << where;
    }
    EXPECT_EQ(readBytes(path), header);
    EXPECT_EQ(folder.entries(), 1);
}

// Intervals of whole periods sit on the period lines above and make bars at them below,
// as tall as their counts.
TEST(FrameIntervalPlot, DrawsEveryIntervalOnItsPeriodLineAndBarsAsTallAsTheirCounts) {
    TempFolder folder;
    const std::string path = folder / "plot.png";
    std::vector<double> intervals(24, 10.0);
    intervals.insert(intervals.begin() + 5, 5, 20.0);
    intervals.push_back(30.0);
    plotFrameIntervalsPng(path, intervals, 10.0);
    const Picture plot(path);
    ASSERT_EQ(std::pair(plot.image.width, plot.image.height), std::pair(Plot::width, Plot::height));
    const std::vector<int> rows = plot.periodRows();
    ASSERT_TRUE(evenlySpaced(rows, 5)); // 10 to 50 ms: 4 periods and a tenth, rounded up to a tick
    EXPECT_NEAR(plot.lines(Plot::text, rows.back() + 1, middle, Plot::width / 2, true).at(0) - rows.back(),
                rows[4] - rows[3] + 1, 1) << "the first line lies one period above the zero row";
    // each dot: 3 by 3 pixels centred on its line, which crosses it
    const auto band = [&](int row) { return plot.across(Plot::data, row - 1, row + 1); };
    EXPECT_EQ(plot.across(Plot::data, 0, middle), band(rows[4]) + band(rows[3]) + band(rows[2]))
        << "a dot off its line";
    EXPECT_EQ(std::pair(band(rows[2]), band(rows[3])), std::pair(6, 30)) << "one 30 ms flip, five 20 ms flips";

    const std::vector<int> columns = plot.lines(Plot::period, middle, Plot::height - 20, 20, false);
    ASSERT_TRUE(evenlySpaced(columns, 5));
    auto bar = [&](int x) { return plot.count(Plot::data, x, x, middle, Plot::height - 1); };
    EXPECT_NEAR(bar(columns[0]) / double(bar(columns[1])), 24.0 / 5.0, 0.2);
    EXPECT_GT(bar(columns[2]), 0);
    EXPECT_EQ(bar(columns[0]) + bar(columns[1]) + bar(columns[2]),
              plot.across(Plot::data, middle, Plot::height - 1) / 2) << "a bar off its line";
    EXPECT_EQ(plot.across(Plot::clipped, 0, Plot::height - 20), 0);
}

// Nothing recorded, one flip, ten million with a paused program among them, values no
// clock gives, and periods far from any display's all make a readable plot.
TEST(FrameIntervalPlot, StaysReadableWithHostileLogs) {
    TempFolder folder;
    const std::string path = folder / "plot.png";
    plotFrameIntervalsPng(path, {}, 10.0);
    const Picture empty(path);
    const std::vector<int> rows = empty.periodRows();
    ASSERT_TRUE(evenlySpaced(rows, 5));
    EXPECT_EQ(empty.across(Plot::data, 0, Plot::height - 1), 0);
    EXPECT_GT(empty.count(Plot::text, 100, Plot::width - 100, rows[0] + 1, rows[4] - 1), 100) << "the note";

    std::vector<double> many(10'000'000, 16.667);
    many[1234] = 1e12;
    many[5678] = nan;
    plotFrameIntervalsPng(path, many, 16.667);
    const Picture paused(path);
    const std::vector<int> pausedRows = paused.periodRows();
    ASSERT_TRUE(evenlySpaced(pausedRows, 4)); // up to 80 ms
    EXPECT_EQ(paused.count(Plot::text, 100, Plot::width - 100, pausedRows[0] + 1, pausedRows[3] - 1), 0);
    // The note is right-aligned; the pause, near the first flip, is marked on the left.
    EXPECT_EQ(paused.count(Plot::clipped, 0, Plot::width / 5, 0, middle), 9) << "the pause marked";
    EXPECT_GT(paused.count(Plot::clipped, Plot::width - 40, Plot::width - 1, middle, Plot::height - 20), 0);
    plotFrameIntervalsPng(path, {16.667, 1e12, 16.667, 33.3}, 16.667);
    EXPECT_EQ(Picture(path).periodRows(), pausedRows) << "a short log's pause";

    const std::vector<std::pair<std::vector<double>, double>> hostile{
        {{16.7}, 16.7},        {{1e12}, 16.7},          {{inf, -inf, -5.0, nan, DBL_MAX, 0.0}, 16.7},
        {{16.7, 33.3}, 1e-300}, {{16.7, 33.3}, 1e300}, {{16.7}, DBL_MAX},
        {{0.0}, DBL_TRUE_MIN}};
    for (const auto& log : hostile) {
        EXPECT_EQ(failureMessage([&] { plotFrameIntervalsPng(path, log.first, log.second); }), "no failure")
            << log.second;
        EXPECT_EQ(Picture(path).image.width, Plot::width);
    }
}

} // namespace
} // namespace Stimulark::Testing
