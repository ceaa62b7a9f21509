#include "stimulark/app/Exception.hpp"
#include "stimulark/canvas/VariableMonitor.hpp"
#include "support/Scripted.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace Stimulark {
namespace {

class MonitoredVariableTest : public Testing::ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        variableMonitors.clear();
        selectedMonitor = 0;
    }
    void TearDown() override {
        variableMonitors.clear();
        selectedMonitor = 0;
        ScriptedTest::TearDown();
    }
};

TEST_F(MonitoredVariableTest, JoinsTheListWhenMadeAndLeavesWhenDestroyed) {
    MonitoredInt first("first", 1, 1, 10);
    {
        MonitoredDouble second("second", 0.5, 0.1, 1.0);
        MonitoredInt third("third", 3, 1, 10);
        ASSERT_EQ(variableMonitors.size(), 3u);
        EXPECT_EQ(variableMonitors[1], &second);
        EXPECT_STREQ(variableMonitors[1]->name(), "second");
        EXPECT_EQ(variableMonitors[2], &third);
    }
    ASSERT_EQ(variableMonitors.size(), 1u);
    EXPECT_EQ(variableMonitors[0], &first);
}

TEST_F(MonitoredVariableTest, StepsAndLargeStepsStayWithinTheBounds) {
    MonitoredInt level("level", 5, 1, 10, 0, 20);
    level.increment(false);
    EXPECT_EQ(level.get(), 6);
    level.increment(true);
    EXPECT_EQ(level.get(), 16);
    level.increment(true);
    EXPECT_EQ(level.get(), 20);
    level.decrement(true);
    level.decrement(true);
    level.decrement(false);
    EXPECT_EQ(level.get(), 0);

    MonitoredInt wide("wide", INT_MAX - 1, 1, 1000);
    wide.increment(true);
    EXPECT_EQ(wide.get(), INT_MAX) << "steps saturate instead of overflowing";
    wide.set(INT_MIN + 3);
    wide.decrement(true);
    EXPECT_EQ(wide.get(), INT_MIN);

    MonitoredDouble contrast("contrast", 0.5, 0.01, 0.25, 0.0, 1.0);
    contrast.increment(false);
    EXPECT_DOUBLE_EQ(contrast.get(), 0.51);
    contrast.increment(true);
    contrast.increment(true);
    EXPECT_DOUBLE_EQ(contrast.get(), 1.0);
    contrast.decrement(true);
    EXPECT_DOUBLE_EQ(contrast.get(), 0.75);

    MonitoredDouble huge("huge", 1e308, 1e308, 1e308);
    huge.increment(false);
    EXPECT_EQ(huge.get(), std::numeric_limits<double>::max());
}

TEST_F(MonitoredVariableTest, SetValueClampsRoundsAndIgnoresNaN) {
    MonitoredInt count("count", 0, 1, 5, -10, 10);
    count.setValue(2.5);
    EXPECT_EQ(count.get(), 3);
    count.setValue(-2.5);
    EXPECT_EQ(count.get(), -3);
    count.setValue(1e300);
    EXPECT_EQ(count.get(), 10);
    count.setValue(std::nan(""));
    EXPECT_EQ(count.get(), 10);

    MonitoredDouble angle("angle", 400.0, 1.0, 15.0, 0.0, 360.0);
    EXPECT_DOUBLE_EQ(angle.get(), 360.0) << "the initial value is clamped";
    angle.setValue(-1.0);
    EXPECT_DOUBLE_EQ(angle.get(), 0.0);
    angle.set(std::nan(""));
    EXPECT_DOUBLE_EQ(angle.get(), 0.0);
}

TEST_F(MonitoredVariableTest, RefusesNegativeStepsAndReversedBounds) {
    auto expectRefused = [](auto make, const char* message) {
        try {
            make();
            ADD_FAILURE() << "accepted: " << message;
        } catch (const Exception& e) {
            EXPECT_EQ(e.title, "ARGUMENT ERROR");
            EXPECT_EQ(e.message, message);
        }
    };
    expectRefused([] { MonitoredInt("a", 0, -1, 1); }, "steps must not be negative.");
    expectRefused([] { MonitoredDouble("b", 0.0, 0.1, std::nan("")); }, "steps must not be negative.");
    expectRefused([] { MonitoredInt("c", 0, 1, 1, 5, 4); }, "lower bound must not exceed upper bound.");
    expectRefused([] { MonitoredDouble("d", 0.0, 1.0, 1.0, std::nan(""), 1.0); },
                  "lower bound must not exceed upper bound.");
    EXPECT_TRUE(variableMonitors.empty()) << "a refused holder stays out of the list";
}

TEST_F(MonitoredVariableTest, ArrowKeysStepTheSelectedVariable) {
    MonitoredInt trials("trials", 10, 1, 10);
    MonitoredDouble speed("speed", 1.0, 0.5, 2.0);
    scripted().setKey(VK_DOWN, 0x80);
    drawVariableMonitor();
    scripted().setKey(VK_DOWN, 0);
    scripted().setKey(VK_SHIFT, 0x80);
    scripted().setKey(VK_RIGHT, 0x80);
    drawVariableMonitor();
    EXPECT_DOUBLE_EQ(speed.get(), 3.0);
    EXPECT_EQ(trials.get(), 10);
}

} // namespace
} // namespace Stimulark
