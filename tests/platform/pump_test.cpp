#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "support/Scripted.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace Stimulark;
using Exit = ScriptedPlatform::ProcessExit;

std::vector<Message> delivered;

std::intptr_t recordingProcedure(WindowHandle window, std::uint32_t code, std::uintptr_t wParam, std::intptr_t lParam) {
    delivered.push_back({window, code, wParam, lParam, 0});
    return 0;
}

// A window whose procedure records what reaches it.
class Pump : public Testing::ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        delivered.clear();
        scripted().registerClass({48, 0, &recordingProcedure, 0, 0, nullptr, nullptr, "Recording"});
        window = scripted().createWindow(0, "Recording", "", 0, 0, 0, 10, 10);
        ASSERT_NE(window, 0u);
    }
    void queue(std::uint32_t code, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        scripted().queue({window, code, wParam, lParam, 0});
    }

    WindowHandle window = 0;
};

TEST_F(Pump, QuitCloseAndDestroyEndTheProcessWithCodeOneWithoutTheProcedure) {
    for (const std::uint32_t code : {WM_QUIT, WM_CLOSE, WM_DESTROY}) {
        queue(code);
        try {
            pumpMessage();
            ADD_FAILURE() << "message " << code << " did not end the process";
        } catch (const Exit& exit) {
            EXPECT_EQ(exit.code, 1);
        }
    }
    EXPECT_TRUE(delivered.empty());
}

TEST_F(Pump, AltF4PostsAQuitThatTheNextPumpTurnsIntoTheExit) {
    scripted().queueKey('X', true, true); // Alt with another key asks nothing
    scripted().queueKey(VK_F4, true, true);
    pumpMessage();
    pumpMessage();
    EXPECT_EQ(scripted().queuedMessages(), 1u);
    EXPECT_THROW(pumpMessage(), Exit);
    EXPECT_TRUE(delivered.empty());
}

TEST_F(Pump, ButtonsSetTheMouseRowsAndNeverReachTheProcedure) {
    for (const std::uint32_t code : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_MBUTTONUP})
        queue(code);
    pumpMessage();
    EXPECT_EQ(Mouse::buttons[BUTTON_PUSHED][LEFT_BUTTON], 1);
    EXPECT_EQ(Mouse::buttons[HELD][LEFT_BUTTON], 1);
    for (int i = 0; i < 4; ++i)
        pumpMessage();
    const std::array<std::array<std::uint8_t, 3>, 4> rows{{
        {0, 1, 0}, // held: only the right button stays down
        {0, 0, 0}, // previously held: never set
        {1, 1, 1}, // pushed, kept until read
        {1, 0, 1}, // released
    }};
    EXPECT_EQ(Mouse::buttons, rows);
    EXPECT_TRUE(Mouse::pushed(RIGHT_BUTTON));
    EXPECT_FALSE(Mouse::pushed(RIGHT_BUTTON));
    EXPECT_FALSE(Mouse::pushed(7));
    EXPECT_TRUE(delivered.empty());
}

TEST_F(Pump, KeyMessagesAreSwallowedAndEverythingElseIsDispatched) {
    queue(WM_KEYDOWN, VK_ESCAPE);
    queue(WM_KEYUP, VK_ESCAPE);
    queue(WM_SYSKEYUP, VK_F4, 7);
    queue(WM_MOUSEMOVE, 0, 0x00200010);
    for (int i = 0; i < 4; ++i)
        pumpMessage();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0].window, window);
    EXPECT_EQ(delivered[0].code, WM_SYSKEYUP);
    EXPECT_EQ(delivered[0].wParam, VK_F4);
    EXPECT_EQ(delivered[0].lParam, 7);
    EXPECT_EQ(delivered[1].lParam, 0x00200010);
}

TEST_F(Pump, EveryPumpRefreshesKeyboardAndPointerEvenWithAnEmptyQueue) {
    scripted().setKey(VK_SHIFT, 0x80);
    scripted().cursor = {321, 123};
    pumpMessage();
    EXPECT_EQ(Keyboard::keyStates[PUSHED][VK_SHIFT], 0x80);
    EXPECT_EQ(Mouse::x.value, 321);
    EXPECT_EQ(Mouse::y.value, 123);
    scripted().cursor = {5, 6};
    EXPECT_EQ(static_cast<int>(Mouse::x), 5); // reading a coordinate refreshes both
    EXPECT_EQ(Mouse::y.value, 6);
}

TEST_F(Pump, ClosingOrDestroyingTheCanvasWindowMakesTheNextKeyQueryEndTheProcess) {
    EXPECT_EQ(windowProcedure(window, WM_CLOSE, 0, 0), 0);
    EXPECT_THROW(Keyboard::query(KEY_ESCAPE, PUSHED), Exit);

    scripted().registerClass({48, 0, &windowProcedure, 0, 0, nullptr, nullptr, "StimularkWindow"});
    scripted().destroyWindow(scripted().createWindow(0, "StimularkWindow", "", 0, 0, 0, 10, 10));
    EXPECT_THROW(Keyboard::query(KEY_ESCAPE, PUSHED), Exit);
}

TEST_F(Pump, TenQueuedMessagesTakeTenQueries) {
    for (int i = 0; i < 10; ++i)
        queue(WM_MOUSEMOVE, 0, i);
    for (int i = 0; i < 10; ++i) {
        Keyboard::query(KEY_ESCAPE, PUSHED);
        ASSERT_EQ(delivered.size(), static_cast<std::size_t>(i + 1));
        EXPECT_EQ(delivered.back().lParam, i);
    }
}

TEST_F(Pump, AQuitPostedIntoAFullQueueIsDeliveredOnceThereIsRoom) {
    while (scripted().postMessage({window, WM_MOUSEMOVE, 0, 0, 0})) {
    }
    const std::size_t full = scripted().queuedMessages();
    scripted().postQuitMessage(0);
    for (std::size_t i = 0; i < full; ++i)
        ASSERT_NO_THROW(pumpMessage()) << "after " << i << " messages";
    EXPECT_THROW(pumpMessage(), Exit);
}

} // namespace
