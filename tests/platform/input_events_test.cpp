// Timestamped key and button events on the scripted backend, whose pending input stands for the window system's.

#include "support/Scripted.hpp"

#include <tuple>
#include <vector>

namespace Stimulark::Testing {
namespace {

using InputEvents = ScriptedTest;

std::vector<std::tuple<int, bool, std::int64_t>> readKeys() {
    std::vector<std::tuple<int, bool, std::int64_t>> events;
    for (KeyEvent event{}; Keyboard::nextEvent(event);)
        events.emplace_back(event.code, event.pressed, event.time.ticks);
    return events;
}

// Events come oldest first with their own stamps, named by the first key code of their virtual key (-1 outside
// the table); reading them leaves the message queue and the key rows alone.
TEST_F(InputEvents, KeysComeInOrderWithTheirStampsAndTheFirstMatchingCode) {
    scripted().queueKey(VK_ESCAPE, true);
    scripted().pendingKeys = {{0x46, true, 500}, {0xBA, true, 600}, {0x70, true, 700}, {0x46, false, 800}};
    EXPECT_EQ(readKeys(), (std::vector<std::tuple<int, bool, std::int64_t>>{
                              {KEY_F, true, 500}, {64, true, 600}, {-1, true, 700}, {KEY_F, false, 800}}));
    EXPECT_EQ(scripted().queuedMessages(), 1u);
    EXPECT_TRUE(Keyboard::query(KEY_ESCAPE, PUSHED)) << "the message is still there for the query";
    KeyEvent event{};
    EXPECT_FALSE(Keyboard::nextEvent(event));
}

// Clearing forgets what was stamped before it, also what was still waiting to be pumped, and keeps later events;
// a full log drops the oldest and counts them until the next clear.
TEST_F(InputEvents, ClearingForgetsEarlierEventsAndAFullLogDropsTheOldestCountingThem) {
    scripted().counter = 1000;
    scripted().pendingKeys = {{0x46, true, 999}, {0x4A, true, 1000}};
    Platform& host = scripted();
    host.pumpInputEvents();
    scripted().pendingKeys = {{0x4A, false, 990}, {0x46, false, 1001}};
    Keyboard::clearEvents();
    EXPECT_EQ(readKeys(), (std::vector<std::tuple<int, bool, std::int64_t>>{{KEY_J, true, 1000}, {KEY_F, false, 1001}}));

    const int overflow = static_cast<int>(Platform::inputLogCapacity) + 5;
    for (int i = 0; i < overflow; ++i)
        scripted().pendingKeys.push_back({0x46, i % 2 == 0, 2000 + i});
    const auto events = readKeys();
    ASSERT_EQ(events.size(), Platform::inputLogCapacity);
    EXPECT_EQ(std::get<2>(events.front()), 2005) << "the five oldest went";
    EXPECT_EQ(Keyboard::lostEvents(), 5);
    Keyboard::clearEvents();
    EXPECT_EQ(Keyboard::lostEvents(), 0);
}

// Buttons are logged apart from keys, with the pointer's position; clearing one log leaves the other.
TEST_F(InputEvents, ButtonsHaveTheirOwnLogWithThePointersPosition) {
    scripted().counter = 100;
    scripted().pendingButtons = {{RIGHT_BUTTON, true, 12, 34, 50}, {RIGHT_BUTTON, false, 13, 35, 150}};
    scripted().pendingKeys = {{0x46, true, 60}};
    Keyboard::clearEvents();
    ButtonEvent event{};
    ASSERT_TRUE(Mouse::nextEvent(event));
    EXPECT_EQ(std::tuple(event.button, event.pressed, event.x, event.y, event.time.ticks),
              std::tuple(int{RIGHT_BUTTON}, true, 12, 34, std::int64_t{50}));
    Mouse::clearEvents();
    ASSERT_TRUE(Mouse::nextEvent(event)) << "stamped after the clear";
    EXPECT_EQ(std::tuple(event.pressed, event.x, event.y), std::tuple(false, 13, 35));
    scripted().pendingKeys = {{0x46, false, 70}};
    Mouse::clearEvents();
    EXPECT_EQ(readKeys(), (std::vector<std::tuple<int, bool, std::int64_t>>{{KEY_F, false, 70}}));
}

} // namespace
} // namespace Stimulark::Testing
