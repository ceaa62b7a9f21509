// The SDL backend's reports of shown frames, asked of the platform directly around the canvas's own swaps. The
// headless sway answers frame callbacks only; the nested one (scripts/with-compositor --nested, on Xvfb) answers
// presentation feedback as well. Tolerances are wide: the compositor, Xvfb and the test share two cores.

#include "../canvas/display_canvas.hpp"

#include "stimulark/canvas/APICanvasProperties.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <type_traits>
#include <vector>

namespace Stimulark::Testing {
namespace {

constexpr std::int64_t ms = 1'000'000;
constexpr double period = 1000.0 / 60.0;
// Beyond 32 bits, so that a backend that kept less of the identity shows.
constexpr std::uint64_t firstSwap = (std::uint64_t{1} << 40) + 7;

std::int64_t now() { return platform().counterValue(); }

template <typename T> std::size_t countOf(const std::vector<T>& values, std::type_identity_t<T> value) {
    return static_cast<std::size_t>(std::count(values.begin(), values.end(), value));
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Swaps made with reports asked for, by index (the swap's identity less firstSwap), and what came back.
struct Swaps {
    std::vector<std::int64_t> start, end;
    std::vector<unsigned> asked;
    std::vector<double> takeMicroseconds; // the take right after each swap, which never waits
    std::vector<PresentationReport> reports;

    std::size_t indexOf(const PresentationReport& report) const { return report.swap - firstSwap; }
};

class Reports : public DisplayTest {
protected:
    explicit Reports(const char* compositor) : compositor_(compositor) {}
    void SetUp() override {
        const char* running = std::getenv("STIMULARK_COMPOSITOR");
        if (!running || std::strcmp(running, compositor_) != 0)
            GTEST_SKIP() << "for the " << compositor_ << " sway of scripts/with-compositor";
        DisplayTest::SetUp();
        window = canvas->platformPart()->window;
        ASSERT_TRUE(canvas->setSwapInterval(1));
        // Until the compositor has put the new window on its output, it discards feedback; the answers to what the
        // canvas asked while opening are left behind too.
        Swaps settling;
        for (int i = 0; i < 20; ++i)
            swap(settling, 0);
        std::array<PresentationReport, 16> out;
        while (platform().takePresentationReports(window, out.data(), out.size(), now() + 50 * ms) > 0) {
        }
    }

    // One frame, asking `sources` of it, then what has arrived.
    void swap(Swaps& swaps, unsigned sources) {
        canvas->clear(Color::gray, BACK_BUFFER);
        const std::uint64_t id = firstSwap + swaps.start.size();
        swaps.start.push_back(now());
        swaps.asked.push_back(sources != 0 ? platform().requestPresentationReports(window, id, sources) : 0);
        platform().swapBuffers(window);
        swaps.end.push_back(now());
        const std::int64_t before = now();
        take(swaps, before);
        swaps.takeMicroseconds.push_back(static_cast<double>(now() - before) / 1000.0);
    }
    // What has arrived for the test's swaps; the canvas's own, whose identities have the top bit set, are left out.
    std::size_t take(Swaps& swaps, std::int64_t deadline) {
        std::array<PresentationReport, 16> out;
        const std::size_t taken = platform().takePresentationReports(window, out.data(), out.size(), deadline);
        const std::size_t before = swaps.reports.size();
        std::copy_if(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(taken), std::back_inserter(swaps.reports),
                     [](const PresentationReport& report) { return report.swap >> 63 == 0; });
        return swaps.reports.size() - before;
    }
    // Takes until `quiet` nanoseconds pass without a report.
    void drain(Swaps& swaps, std::int64_t quiet) {
        while (take(swaps, now() + quiet) > 0) {
        }
    }
    static double elapsedMilliseconds(std::int64_t since) { return static_cast<double>(now() - since) / ms; }

    WindowHandle window = 0;

private:
    const char* compositor_;
};

struct HeadlessReports : Reports {
    HeadlessReports() : Reports("headless") {}
};
struct NestedReports : Reports {
    NestedReports() : Reports("nested") {}
};

// Every swap's frame callback answers once, for that swap, stamped by the repaint that composed it: after the swap
// began and within about two periods of its return. The feedback wlroots 0.15 offers here never answers: its headless
// output reports presentation before the commit that the feedback waits for. A take that does not wait is cheap.
TEST_F(HeadlessReports, FrameCallbacksAnswerEverySwapWithItsRepaintAndFeedbackNever) {
    constexpr std::size_t count = 300;
    Swaps swaps;
    for (std::size_t i = 0; i < count; ++i)
        swap(swaps, compositorRepaint | presentationFeedback);
    drain(swaps, 100 * ms);
    ASSERT_EQ(countOf(swaps.asked, compositorRepaint | presentationFeedback), count);

    std::vector<int> answers(count);
    std::vector<double> afterReturn;
    int presented = 0, discarded = 0;
    for (const PresentationReport& report : swaps.reports) {
        if (report.source == presentationFeedback) {
            ++(report.shown ? presented : discarded);
            continue;
        }
        const std::size_t i = swaps.indexOf(report);
        ASSERT_LT(i, count) << report.swap;
        ++answers[i];
        EXPECT_TRUE(report.shown && report.wholeMilliseconds) << i;
        EXPECT_GE(report.ticks, swaps.start[i] - ms) << i;
        EXPECT_LT(report.ticks, swaps.end[i] + static_cast<std::int64_t>(2 * period * ms) + 8 * ms) << i;
        afterReturn.push_back(static_cast<double>(report.ticks - swaps.end[i]) / ms);
    }
    EXPECT_EQ(countOf(answers, 1), count) << "each swap answered exactly once";
    EXPECT_EQ(presented, 0) << "a newer wlroots may present here: then feedback can be tested on this stack too";
    const double takeCost = median(swaps.takeMicroseconds);
    EXPECT_LT(takeCost, 1000.0) << "µs";
    std::printf("headless: %zu of %zu repaints answered, repaint - swap return %.2f ms median; feedback %d presented, "
                "%d discarded; take without waiting %.1f µs median\n",
                afterReturn.size(), count, median(afterReturn), presented, discarded, takeCost);
}

// A deadline not after now returns at once, a later one is waited for when nothing comes, and an answer that
// arrives meanwhile ends the wait.
TEST_F(HeadlessReports, TakeWaitsForAnAnswerUntilItsDeadlineAndNoLonger) {
    Swaps swaps;
    swap(swaps, presentationFeedback);
    ASSERT_EQ(swaps.asked[0], presentationFeedback);

    std::int64_t since = now();
    EXPECT_EQ(take(swaps, since - ms), 0u);
    EXPECT_LT(elapsedMilliseconds(since), 5.0);
    since = now();
    EXPECT_EQ(take(swaps, since + 60 * ms), 0u);
    EXPECT_GE(elapsedMilliseconds(since), 60.0);
    EXPECT_LT(elapsedMilliseconds(since), 100.0);

    swap(swaps, compositorRepaint);
    const auto repainted = [&swaps] {
        return std::any_of(swaps.reports.begin(), swaps.reports.end(), [&swaps](const PresentationReport& report) {
            return report.source == compositorRepaint && swaps.indexOf(report) == 1;
        });
    };
    since = now();
    while (!repainted() && elapsedMilliseconds(since) < 2000.0)
        take(swaps, since + 2000 * ms);
    EXPECT_TRUE(repainted());
    EXPECT_LT(elapsedMilliseconds(since), 4 * period) << "the repaint's answer ends the wait";
}

// SDL does not commit a hidden window's swap, and what was asked would be answered for a later one: nothing is
// asked then. Shown again, the window's swaps are answered under their own identity.
TEST_F(HeadlessReports, NothingIsAskedForAHiddenWindow) {
    Swaps swaps;
    swap(swaps, compositorRepaint);
    platform().showWindow(window, 0);
    swap(swaps, compositorRepaint | presentationFeedback);
    platform().showWindow(window, 1);
    for (int i = 0; i < 3; ++i)
        swap(swaps, compositorRepaint);
    drain(swaps, 100 * ms);

    EXPECT_EQ(swaps.asked, (std::vector<unsigned>{compositorRepaint, 0, compositorRepaint, compositorRepaint,
                                                  compositorRepaint}));
    std::vector<std::size_t> answered;
    for (const PresentationReport& report : swaps.reports)
        answered.push_back(swaps.indexOf(report));
    std::sort(answered.begin(), answered.end());
    EXPECT_EQ(answered, (std::vector<std::size_t>{0, 2, 3, 4}));
}

// On the nested sway feedback answers nearly every swap, presented at retraces one apart and after the swap began.
// The answer to a swap can wait for the next commit, so a few swaps without requests end the run.
TEST_F(NestedReports, PresentationFeedbackAnswersNearlyEverySwapOneRetraceApart) {
    constexpr std::size_t count = 300;
    Swaps swaps;
    for (std::size_t i = 0; i < count; ++i)
        swap(swaps, presentationFeedback);
    for (int i = 0; i < 3; ++i)
        swap(swaps, 0);
    drain(swaps, 200 * ms);
    ASSERT_EQ(countOf(swaps.asked, presentationFeedback), count);

    std::vector<std::uint64_t> retrace(count);
    std::vector<double> afterReturn;
    for (const PresentationReport& report : swaps.reports) {
        const std::size_t i = swaps.indexOf(report);
        ASSERT_LT(i, count) << report.swap;
        EXPECT_EQ(report.source, presentationFeedback);
        if (!report.shown)
            continue;
        EXPECT_FALSE(report.wholeMilliseconds);
        EXPECT_GT(report.ticks, swaps.start[i]) << i;
        EXPECT_EQ(retrace[i], 0u) << "answered twice: " << i;
        retrace[i] = report.retrace;
        afterReturn.push_back(static_cast<double>(report.ticks - swaps.end[i]) / ms);
    }
    EXPECT_GE(afterReturn.size(), count * 95 / 100);
    std::size_t pairs = 0, oneApart = 0;
    for (std::size_t i = 1; i < count; ++i)
        if (retrace[i - 1] != 0 && retrace[i] != 0) {
            ++pairs;
            EXPECT_GT(retrace[i], retrace[i - 1]) << i;
            oneApart += retrace[i] - retrace[i - 1] == 1;
        }
    EXPECT_GE(oneApart, pairs * 9 / 10) << "of " << pairs;
    std::printf("nested: %zu of %zu presented, presented - swap return %.2f ms median, %zu of %zu pairs one retrace "
                "apart; take without waiting %.1f µs median\n",
                afterReturn.size(), count, median(afterReturn), oneApart, pairs, median(swaps.takeMicroseconds));
}

} // namespace
} // namespace Stimulark::Testing
