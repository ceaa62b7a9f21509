#include "stimulark/canvas/VariableMonitor.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "support/Scripted.hpp"

#include <gmock/gmock.h>

#include <stdexcept>

namespace Stimulark {
namespace {

using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::StrictMock;

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

class VariableMonitorKeys : public Testing::ScriptedTest {
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

    template <typename Holder>
    void registerAll(Holder& a, Holder& b, Holder& c) {
        variableMonitors = {&a, &b, &c};
    }
    void hold(std::uint8_t key) { scripted().setKey(key, 0x80); }
    void release(std::uint8_t key) { scripted().setKey(key, 0); }
    void queueMoves(int count) {
        for (int i = 0; i < count; ++i)
            scripted().queue(Message{0, WM_MOUSEMOVE, 0, 0, 0});
    }
};

TEST_F(VariableMonitorKeys, EmptyListQueriesNoKeyAndHandlesNoMessage) {
    hold(VK_RIGHT);
    queueMoves(3);
    drawVariableMonitor();
    EXPECT_EQ(scripted().queuedMessages(), 3u);
    EXPECT_EQ(Keyboard::keyStates[PRESSED][VK_RIGHT], 0) << "the keyboard snapshot was refreshed";
    EXPECT_EQ(selectedMonitor, 0);
}

TEST_F(VariableMonitorKeys, EachKeyIsQueriedOncePerFlip) {
    NiceMock<MockHolder> a, b, c;
    registerAll(a, b, c);
    queueMoves(10);
    drawVariableMonitor();
    EXPECT_EQ(scripted().queuedMessages(), 6u) << "four arrow queries, no shift query without a step";

    hold(VK_RIGHT);
    hold(VK_LEFT);
    drawVariableMonitor();
    EXPECT_EQ(scripted().queuedMessages(), 0u) << "four arrow queries and two shift queries";
}

TEST_F(VariableMonitorKeys, StepsGoToTheEntrySelectedBeforeThisFlipsMoves) {
    StrictMock<MockHolder> a, b, c;
    registerAll(a, b, c);
    selectedMonitor = 1;
    {
        InSequence order;
        EXPECT_CALL(b, increment(false));
        EXPECT_CALL(b, decrement(false));
        EXPECT_CALL(a, draw(0.0, 0.0, false, 0));
        EXPECT_CALL(b, draw(0.0, 50.0, false, 0));
        EXPECT_CALL(c, draw(0.0, 100.0, true, 0));
    }
    hold(VK_RIGHT);
    hold(VK_LEFT);
    hold(VK_DOWN);
    drawVariableMonitor();
    EXPECT_EQ(selectedMonitor, 2);
}

TEST_F(VariableMonitorKeys, ShiftHeldAsksForTheLargeStep) {
    NiceMock<MockHolder> a, b, c;
    registerAll(a, b, c);
    {
        InSequence order;
        EXPECT_CALL(a, increment(true));
        EXPECT_CALL(a, decrement(false));
    }
    hold(VK_SHIFT);
    hold(VK_RIGHT);
    drawVariableMonitor();
    release(VK_SHIFT);
    release(VK_RIGHT);
    hold(VK_LEFT);
    drawVariableMonitor();
}

TEST_F(VariableMonitorKeys, HoldingAnArrowStepsOncePerPress) {
    NiceMock<MockHolder> a, b, c;
    registerAll(a, b, c);
    EXPECT_CALL(a, increment(false)).Times(2);
    hold(VK_RIGHT);
    for (int frame = 0; frame < 3; ++frame)
        drawVariableMonitor();
    release(VK_RIGHT);
    drawVariableMonitor();
    hold(VK_RIGHT);
    drawVariableMonitor();
}

TEST_F(VariableMonitorKeys, UpAndDownWrapAroundTheList) {
    NiceMock<MockHolder> a, b, c;
    registerAll(a, b, c);
    // Real key messages: each query handles one of them.
    scripted().queueKey(VK_UP, true);
    drawVariableMonitor();
    EXPECT_EQ(selectedMonitor, 2) << "up from the first entry";

    scripted().queueKey(VK_UP, false);
    scripted().queueKey(VK_DOWN, true);
    drawVariableMonitor();
    EXPECT_EQ(selectedMonitor, 0) << "down from the last entry";

    scripted().queueKey(VK_DOWN, false);
    scripted().queueKey(VK_DOWN, true);
    drawVariableMonitor();
    EXPECT_EQ(selectedMonitor, 1);
}

TEST_F(VariableMonitorKeys, StepOnAStaleSelectionRaisesOutOfRange) {
    StrictMock<MockHolder> a, b, c;
    registerAll(a, b, c);
    selectedMonitor = 3;
    hold(VK_RIGHT);
    EXPECT_THROW(drawVariableMonitor(), std::out_of_range);
    EXPECT_EQ(selectedMonitor, 3) << "the selection is not corrected";

    release(VK_RIGHT);
    selectedMonitor = -1;
    hold(VK_LEFT);
    EXPECT_THROW(drawVariableMonitor(), std::out_of_range);
}

} // namespace
} // namespace Stimulark
