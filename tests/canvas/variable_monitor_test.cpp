// The monitor's keys on the scripted backend, the ready holders, and the panel on a real canvas.

#include "display_canvas.hpp"

#include "support/MockHolder.hpp"

#include <cfloat>
#include <cmath>

namespace Stimulark {
namespace {

using namespace ::testing;
using namespace Testing;

struct VariableMonitorKeys : ScriptedTest {
    void hold(std::initializer_list<std::uint8_t> keys, std::uint8_t state = 0x80) {
        for (std::uint8_t key : keys)
            scripted().setKey(key, state);
    }
};
using VariableMonitorDisplay = DisplayTest;

TEST_F(VariableMonitorKeys, EmptyListQueriesNoKeyThenStepsGoToTheEntrySelectedBeforeMovesOnceAPushAndSelectionWraps) {
    hold({VK_RIGHT});
    for (int i = 0; i < 3; ++i)
        scripted().queue(Message{0, WM_MOUSEMOVE, 0, 0, 0});
    drawVariableMonitor();
    EXPECT_EQ(scripted().queuedMessages(), 3u) << "an empty list handles no message";
    EXPECT_EQ(Keyboard::keyStates[PRESSED][VK_RIGHT], 0) << "no query refreshed the keyboard snapshot";

    ListedHolders<StrictMock> m;
    selectedMonitor = 1;
    {
        InSequence order;
        EXPECT_CALL(m.b, increment(false));
        EXPECT_CALL(m.b, decrement(false));
        EXPECT_CALL(m.a, draw(0.0, 0.0, false, 0));
        EXPECT_CALL(m.b, draw(0.0, 50.0, false, 0));
        EXPECT_CALL(m.c, draw(0.0, 100.0, true, 0));
    }
    hold({VK_RIGHT, VK_LEFT, VK_DOWN});
    drawVariableMonitor();
    EXPECT_EQ(selectedMonitor, 2);
    for (MockHolder* holder : {&m.a, &m.b, &m.c})
        EXPECT_CALL(*holder, draw).Times(AnyNumber());
    hold({VK_LEFT, VK_DOWN}, 0);
    hold({VK_SHIFT});
    drawVariableMonitor(); // the right arrow, still held, steps no more
    EXPECT_CALL(m.c, decrement(true));
    hold({VK_LEFT});
    drawVariableMonitor();
    for (auto [key, selected] : {std::pair<std::uint8_t, int>{VK_DOWN, 0}, {VK_UP, 2}}) {
        hold({VK_DOWN, VK_UP, VK_LEFT, VK_RIGHT}, 0);
        hold({key});
        drawVariableMonitor();
        EXPECT_EQ(selectedMonitor, selected) << "wrapped " << (key == VK_UP ? "up" : "down");
    }
    // A selection left out of the list by the program comes back into it before a step.
    EXPECT_CALL(m.c, increment(true)); // shift is still held
    EXPECT_CALL(m.a, decrement(true));
    for (auto [stale, key, corrected] : {std::tuple<int, std::uint8_t, int>{3, VK_RIGHT, 2}, {-1, VK_LEFT, 0}}) {
        selectedMonitor = stale;
        hold({VK_DOWN, VK_UP, VK_LEFT, VK_RIGHT}, 0);
        hold({key});
        drawVariableMonitor();
        EXPECT_EQ(selectedMonitor, corrected);
    }
}

TEST_F(VariableMonitorKeys, HoldersJoinAndLeaveTheListAndRefuseNegativeStepsAndReversedBounds) {
    MonitoredInt first("first", 1, 1, 10);
    auto second = std::make_unique<MonitoredDouble>("second", 0.5, 0.1, 1.0);
    MonitoredInt third("third", 3, 1, 10);
    EXPECT_EQ(variableMonitors, (std::vector<VariableMonitor_Holder*>{&first, second.get(), &third}));
    auto fourth = std::make_unique<MonitoredInt>("fourth", 0, 1, 10);
    selectedMonitor = 2;
    second.reset();
    EXPECT_EQ(variableMonitors, (std::vector<VariableMonitor_Holder*>{&first, &third, fourth.get()}));
    EXPECT_EQ(selectedMonitor, 1) << "the selection stays on the third holder";
    selectedMonitor = 2;
    fourth.reset(); // the selected holder leaves: the step goes to the one now last
    hold({VK_RIGHT});
    drawVariableMonitor();
    EXPECT_EQ(std::pair(selectedMonitor, third.get()), std::pair(1, 4));

    const std::string steps = "[ARGUMENT ERROR] steps must not be negative.";
    const std::string bounds = "[ARGUMENT ERROR] lower bound must not exceed upper bound.";
    EXPECT_THAT(failureMessage([] { MonitoredInt("a", 0, -1, 1); }), EndsWith(steps));
    EXPECT_THAT(failureMessage([] { MonitoredDouble("b", 0.0, 0.1, NAN); }), EndsWith(steps));
    EXPECT_THAT(failureMessage([] { MonitoredInt("c", 0, 1, 1, 5, 4); }), EndsWith(bounds));
    EXPECT_THAT(failureMessage([] { MonitoredDouble("d", 0.0, 1.0, 1.0, NAN, 1.0); }), EndsWith(bounds));
    EXPECT_EQ(variableMonitors.size(), 2u) << "a refused holder stays out of the list";
}

TEST_F(VariableMonitorKeys, HoldersStepClampAndRoundWithinTheirBounds) {
    MonitoredInt level("level", 5, 1, 10, 0, 20), high("high", INT_MAX - 1, 1, 1000), low("low", INT_MIN + 3, 1, 1000),
        count("count", 0, 1, 5, -10, 10);
    MonitoredDouble contrast("contrast", 0.5, 0.01, 0.25, 0.0, 1.0), huge("huge", 1e308, 1e308, 1e308);
    MonitoredDouble angle("angle", 400.0, 1.0, 15.0, 0.0, 360.0);
    EXPECT_DOUBLE_EQ(angle.get(), 360.0) << "the initial value is clamped";
    // '+' and '-' step, by the large step when `arg` is 1; '=' sets `arg`. Sums saturate, never overflow.
    const struct { VariableMonitor_Holder& holder; char op; double arg, expected; } cases[] = {
        {level, '+', 0, 6}, {level, '+', 1, 16}, {level, '+', 1, 20}, {level, '-', 1, 10}, {level, '-', 1, 0},
        {level, '-', 0, 0}, {contrast, '+', 0, 0.51}, {contrast, '+', 1, 0.76}, {contrast, '+', 1, 1},
        {contrast, '-', 1, 0.75}, {high, '+', 1, INT_MAX}, {low, '-', 1, INT_MIN}, {huge, '+', 0, DBL_MAX},
        {count, '=', 2.5, 3}, {count, '=', -2.5, -3}, {count, '=', 1e300, 10}, {count, '=', NAN, 10},
        {angle, '=', -1, 0},
    };
    for (const auto& c : cases) {
        c.op == '=' ? c.holder.setValue(c.arg)
        : c.op == '+' ? c.holder.increment(c.arg != 0) : c.holder.decrement(c.arg != 0);
        EXPECT_DOUBLE_EQ(c.holder.value(), c.expected) << c.holder.name() << ' ' << c.op << ' ' << c.arg;
    }
    angle.set(NAN);
    EXPECT_DOUBLE_EQ(angle.get(), 0.0) << "an undefined value is ignored";
}

TEST_F(VariableMonitorDisplay, PanelCoversTwoHundredPixelsByFiftyPerEntryAndHoldersDrawInTheirRows) {
    {
        ListedHolders<NiceMock> m; // drawing nothing, so the panel alone shows
        canvas->clear(Color::white, BACK_BUFFER);
        drawVariableMonitor();
        const std::uint32_t panel = pixelAt(0, 0);
        EXPECT_NEAR(static_cast<int>(panel & 0xFF), 128, 1) << "half-transparent black over white";
        EXPECT_EQ(inkIn(0, 0, 200, 150, panel).count, 0) << "(0,0)-(199,149) evenly covered";
        EXPECT_EQ(inkIn(200, 0, 1, 151, white).count + inkIn(0, 150, 201, 1, white).count, 0)
            << "column 200 and row 150 untouched";
    }
    MonitoredInt selected("selected", 1, 1, 10), trials("trials", 7, 1, 10);
    trials.increment(false);
    canvas->clear(Color::black, BACK_BUFFER);
    drawVariableMonitor();
    EXPECT_EQ(inkIn(0, 0, 4, 50, white).count, 0) << "the selected row's white bar";
    // The second row, not highlighted: name and value ten pixels in, on rows 68 and 90.
    const PixelBlock rows = readPixels(0, 50, 256, 150);
    canvas->clear(Color::black, BACK_BUFFER);
    canvas->drawText("trials", 10, 68, Color::white, 0, -1);
    canvas->drawText("8", 10, 90, Color::white, 0, -1);
    EXPECT_TRUE(readPixels(0, 50, 256, 150) == rows);
}

} // namespace
} // namespace Stimulark
