// The monitor's keys on the scripted backend, the ready holders, and the panel on a real canvas.

#include "display_canvas.hpp"

#include "stimulark/canvas/VariableMonitor.hpp"
#include "support/Scripted.hpp"

#include <gmock/gmock.h>

#include <cfloat>
#include <cmath>
#include <stdexcept>

namespace Stimulark {
namespace {

using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::StrictMock;
using namespace Testing;

class MockHolder : public VariableMonitor_Holder {
public:
    MOCK_METHOD(const char*, name, (), (const, override));
    MOCK_METHOD(void, draw, (double x, double y, bool selected, int flags), (override));
    MOCK_METHOD(double, value, (), (const, override));
    MOCK_METHOD(void, setValue, (double value), (override));
    MOCK_METHOD(double, step, (), (const, override));
    MOCK_METHOD(double, largeStep, (), (const, override));
    MOCK_METHOD(void, decrement, (bool shift), (override));
    MOCK_METHOD(void, increment, (bool shift), (override));
};

// Lists holders for one test; afterwards the list is empty and the first entry selected.
struct Listed {
    explicit Listed(std::vector<VariableMonitor_Holder*> holders) { variableMonitors = std::move(holders); }
    ~Listed() {
        variableMonitors.clear();
        selectedMonitor = 0;
    }
};

class VariableMonitorKeys : public ScriptedTest {
protected:
    void hold(std::initializer_list<std::uint8_t> keys, std::uint8_t state = 0x80) {
        for (std::uint8_t key : keys)
            scripted().setKey(key, state);
    }
};
using VariableMonitorDisplay = DisplayTest;

TEST_F(VariableMonitorKeys, EmptyListQueriesNoKeyAndHandlesNoMessage) {
    hold({VK_RIGHT});
    for (int i = 0; i < 3; ++i)
        scripted().queue(Message{0, WM_MOUSEMOVE, 0, 0, 0});
    drawVariableMonitor();
    EXPECT_EQ(scripted().queuedMessages(), 3u);
    EXPECT_EQ(Keyboard::keyStates[PRESSED][VK_RIGHT], 0) << "no query refreshed the keyboard snapshot";
}

TEST_F(VariableMonitorKeys, StepsGoToTheEntrySelectedBeforeThisFlipsMoves) {
    StrictMock<MockHolder> a, b, c;
    const Listed listed({&a, &b, &c});
    selectedMonitor = 1;
    {
        InSequence order;
        EXPECT_CALL(b, increment(false));
        EXPECT_CALL(b, decrement(false));
        EXPECT_CALL(a, draw(0.0, 0.0, false, 0));
        EXPECT_CALL(b, draw(0.0, 50.0, false, 0));
        EXPECT_CALL(c, draw(0.0, 100.0, true, 0));
    }
    hold({VK_RIGHT, VK_LEFT, VK_DOWN});
    drawVariableMonitor();
    EXPECT_EQ(selectedMonitor, 2);
}

TEST_F(VariableMonitorKeys, ShiftAsksForTheLargeStepAndAHeldArrowStepsOnce) {
    NiceMock<MockHolder> a, b, c;
    const Listed listed({&a, &b, &c});
    {
        InSequence order;
        EXPECT_CALL(a, increment(true));
        EXPECT_CALL(a, decrement(false));
    }
    hold({VK_SHIFT, VK_RIGHT});
    drawVariableMonitor();
    drawVariableMonitor();
    hold({VK_SHIFT, VK_RIGHT}, 0);
    hold({VK_LEFT});
    drawVariableMonitor();
}

TEST_F(VariableMonitorKeys, UpAndDownWrapAroundTheList) {
    NiceMock<MockHolder> a, b, c;
    const Listed listed({&a, &b, &c});
    scripted().queueKey(VK_UP, true);
    drawVariableMonitor();
    EXPECT_EQ(selectedMonitor, 2) << "up from the first entry";
    scripted().queueKey(VK_UP, false);
    scripted().queueKey(VK_DOWN, true);
    drawVariableMonitor();
    EXPECT_EQ(selectedMonitor, 0) << "down from the last entry";
}

TEST_F(VariableMonitorKeys, StepOnAStaleSelectionRaisesOutOfRange) {
    StrictMock<MockHolder> a, b, c;
    const Listed listed({&a, &b, &c});
    for (auto [stale, key] : {std::pair{3, VK_RIGHT}, std::pair{-1, VK_LEFT}}) {
        selectedMonitor = stale;
        hold({key});
        EXPECT_THROW(drawVariableMonitor(), std::out_of_range);
        EXPECT_EQ(selectedMonitor, stale) << "the selection is not corrected";
    }
}

TEST_F(VariableMonitorKeys, HoldersJoinTheListWhenMadeAndLeaveWhenDestroyed) {
    MonitoredInt first("first", 1, 1, 10);
    {
        MonitoredDouble second("second", 0.5, 0.1, 1.0);
        MonitoredInt third("third", 3, 1, 10);
        EXPECT_EQ(variableMonitors, (std::vector<VariableMonitor_Holder*>{&first, &second, &third}));
    }
    EXPECT_EQ(variableMonitors, std::vector<VariableMonitor_Holder*>{&first});
}

TEST_F(VariableMonitorKeys, HoldersStepClampAndRoundWithinTheirBounds) {
    MonitoredInt level("level", 5, 1, 10, 0, 20), high("high", INT_MAX - 1, 1, 1000), low("low", INT_MIN + 3, 1, 1000);
    MonitoredDouble contrast("contrast", 0.5, 0.01, 0.25, 0.0, 1.0), huge("huge", 1e308, 1e308, 1e308);
    constexpr bool up = true, down = false, big = true, small = false;
    const struct {
        VariableMonitor_Holder& holder;
        bool increment, shift;
        double expected;
    } steps[] = {
        {level, up, small, 6},        {level, up, big, 16},         {level, up, big, 20},
        {level, down, big, 10},       {level, down, big, 0},        {level, down, small, 0},
        {contrast, up, small, 0.51},  {contrast, up, big, 0.76},    {contrast, up, big, 1},
        {contrast, down, big, 0.75},  {high, up, big, INT_MAX},     {low, down, big, INT_MIN},
        {huge, up, small, DBL_MAX}, // sums saturate instead of overflowing
    };
    for (const auto& s : steps) {
        s.increment ? s.holder.increment(s.shift) : s.holder.decrement(s.shift);
        EXPECT_DOUBLE_EQ(s.holder.value(), s.expected)
            << s.holder.name() << (s.increment ? " up" : " down") << (s.shift ? " with shift" : "");
    }

    MonitoredInt count("count", 0, 1, 5, -10, 10);
    MonitoredDouble angle("angle", 400.0, 1.0, 15.0, 0.0, 360.0);
    EXPECT_DOUBLE_EQ(angle.get(), 360.0) << "the initial value is clamped";
    const struct {
        VariableMonitor_Holder& holder;
        double value, expected;
    } sets[] = {{count, 2.5, 3}, {count, -2.5, -3}, {count, 1e300, 10}, {count, NAN, 10}, {angle, -1, 0}};
    for (const auto& s : sets) {
        s.holder.setValue(s.value);
        EXPECT_DOUBLE_EQ(s.holder.value(), s.expected) << s.holder.name() << " set to " << s.value;
    }
    angle.set(NAN);
    EXPECT_DOUBLE_EQ(angle.get(), 0.0) << "an undefined value is ignored";
}

TEST_F(VariableMonitorKeys, HoldersRefuseNegativeStepsAndReversedBounds) {
    const std::string steps = "[ARGUMENT ERROR] steps must not be negative.";
    const std::string bounds = "[ARGUMENT ERROR] lower bound must not exceed upper bound.";
    EXPECT_THAT(failureMessage([] { MonitoredInt("a", 0, -1, 1); }), ::testing::EndsWith(steps));
    EXPECT_THAT(failureMessage([] { MonitoredDouble("b", 0.0, 0.1, NAN); }), ::testing::EndsWith(steps));
    EXPECT_THAT(failureMessage([] { MonitoredInt("c", 0, 1, 1, 5, 4); }), ::testing::EndsWith(bounds));
    EXPECT_THAT(failureMessage([] { MonitoredDouble("d", 0.0, 1.0, 1.0, NAN, 1.0); }), ::testing::EndsWith(bounds));
    EXPECT_TRUE(variableMonitors.empty()) << "a refused holder stays out of the list";
}

TEST_F(VariableMonitorDisplay, PanelCoversTwoHundredPixelsByFiftyPerEntry) {
    NiceMock<MockHolder> a, b, c; // drawing nothing, so the panel alone shows
    const Listed listed({&a, &b, &c});
    canvas->clear(Color::white, BACK_BUFFER);
    drawVariableMonitor();
    const std::uint32_t panel = readPixels(0, 0, 1, 1).pixels[0];
    EXPECT_NEAR(static_cast<int>(panel & 0xFF), 128, 1) << "half-transparent black over white";
    EXPECT_EQ(inkIn(0, 0, 200, 150, panel).count, 0) << "(0,0)-(199,149) evenly covered";
    EXPECT_EQ(inkIn(200, 0, 1, 151, white).count, 0) << "column 200 untouched";
    EXPECT_EQ(inkIn(0, 150, 201, 1, white).count, 0) << "row 150 untouched";
}

TEST_F(VariableMonitorDisplay, HolderDrawsNameAndValueInItsOwnRow) {
    MonitoredInt selected("selected", 1, 1, 10), trials("trials", 7, 1, 10);
    drawVariableMonitor();
    // The selected first row: a white bar four pixels wide over a faint highlight.
    const std::uint32_t highlight = readPixels(150, 5, 1, 1).pixels[0];
    EXPECT_EQ(inkIn(0, 0, 4, 50, white).count, 0);
    EXPECT_NEAR(static_cast<int>(highlight & 0xFF), 64, 2);
    EXPECT_EQ(readPixels(4, 5, 1, 1).pixels[0], highlight);

    // The second row, not highlighted: name and value ten pixels in, on rows 68 and 90.
    for (const char* shown : {"7", "8"}) {
        canvas->clear(Color::black, BACK_BUFFER);
        drawVariableMonitor();
        const PixelBlock rows = readPixels(0, 50, 256, 150);
        canvas->clear(Color::black, BACK_BUFFER);
        canvas->drawText("trials", 10, 68, Color::white, 0, -1);
        canvas->drawText(shown, 10, 90, Color::white, 0, -1);
        EXPECT_TRUE(readPixels(0, 50, 256, 150) == rows) << "trials at " << shown;
        trials.increment(false);
    }
}

} // namespace
} // namespace Stimulark
