#include "support/Scripted.hpp"

#include <gmock/gmock.h>

#include <climits>
#include <tuple>
#include <vector>

namespace Stimulark::Testing {
namespace {

using Exit = ScriptedPlatform::ProcessExit;
std::vector<Message> delivered;

std::intptr_t record(WindowHandle window, std::uint32_t code, std::uintptr_t wParam, std::intptr_t lParam) {
    delivered.push_back({window, code, wParam, lParam, 0});
    return 0;
}

// A scripted backend with a window whose procedure records what reaches it.
struct Scripted : ScriptedTest {
    void SetUp() override {
        ScriptedTest::SetUp();
        delivered.clear();
        scripted().registerClass({48, 0, &record, 0, 0, nullptr, nullptr, "Recording"});
        window = scripted().createWindow(0, "Recording", "", 0, 0, 0, 10, 10);
    }
    void queue(std::uint32_t code, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        scripted().queue({window, code, wParam, lParam, 0});
    }
    static bool query(int code, int state) { return Keyboard::query(code, state); }
    WindowHandle window = 0;
};

TEST_F(Scripted, MissingOrTooSlowCountersAreRefusedAndSpansDropTheRemainder) {
    for (const std::int64_t frequency : {0, 999, -1000}) {
        scripted().frequency = frequency;
        EXPECT_EQ(failureMessage(&Clock::initializeFrequency), "Stimulark::Clock [HARDWARE NOT SUPPORTED] "
                  "This computer does not support high-resolution performance counter.") << frequency;
    }
    scripted().frequency = 3'579'545;
    scripted().counter = 1'000'000 + 3579 * 16; // spans read long by 3579.545 / 3579
    Clock::initializeFrequency();
    const Clock end, start(1'000'000);
    EXPECT_EQ(
        (std::array{Clock::ticksPerMillisecond * 1.0, (end - start).milliseconds(), (start - end).milliseconds()}),
        (std::array{3579.0, 16.0, -16.0}));
}

// Pushed and released accumulate until queried and answer once; pressed follows the key; each query takes one
// message, so a press waits behind others; every pump refreshes keys and pointer, even with an empty queue.
TEST_F(Scripted, KeyRowsAccumulateAnswerOnceAndFollowTheQueueOneMessagePerQuery) {
    for (const bool down : {true, false, true, false})
        scripted().queueKey(VK_ESCAPE, down);
    for (int i = 0; i < 4; ++i) // none asks about Escape
        query(KEY_RETURN, PUSHED);
    EXPECT_EQ((std::array{query(KEY_ESCAPE, PUSHED), query(KEY_ESCAPE, PUSHED), query(KEY_ESCAPE, RELEASED),
                          query(KEY_ESCAPE, RELEASED), query(KEY_ESCAPE, PRESSED)}),
              (std::array{true, false, true, false, false})); // two presses count as one
    for (const std::uint32_t code : {WM_KEYDOWN, WM_MOUSEMOVE, WM_KEYUP})
        queue(code, VK_SHIFT);
    // A press alone releases nothing; the release makes the press previous.
    EXPECT_EQ((std::array{query(KEY_SHIFT, PRESSED), query(KEY_SHIFT, RELEASED), query(KEY_SHIFT, PREVIOUSLY_PRESSED),
                          query(KEY_SHIFT, PRESSED)}), (std::array{true, false, true, false}));
    delivered.clear();
    scripted().setKey(VK_SPACE, 0x81); // already down at the next snapshot: counts as pushed
    for (int i = 0; i < 9; ++i)
        queue(WM_MOUSEMOVE, 0, i);
    scripted().queueKey(VK_ESCAPE, true);
    for (std::size_t i = 1; i <= 9; ++i)
        EXPECT_EQ((std::pair{query(KEY_ESCAPE, PUSHED), delivered.size()}), (std::pair{false, i}));
    scripted().cursor = {321, 123};
    EXPECT_EQ((std::array{query(KEY_ESCAPE, PUSHED), query(KEY_SPACE, PUSHED), query(KEY_SPACE, PUSHED)}),
              (std::array{true, true, false}));
    EXPECT_EQ((std::array{Mouse::x.value, Mouse::y.value}), (std::array{321, 123}));
}

// A full queue that nobody reads makes room by putting its oldest input into the key rows, in order, as if handled;
// a close request at its head stays.
TEST_F(Scripted, AFullQueueMakesRoomFromItsOldestInputButKeepsACloseRequest) {
    for (std::size_t i = 0; i < Platform::queueCapacity; ++i)
        scripted().queueKey(i % 3 == 0 ? VK_SHIFT : VK_ESCAPE, i % 2 == 0);
    int applied = 0;
    while (scripted().applyOldestInput())
        ++applied;
    EXPECT_EQ(applied, int{Platform::queueCapacity});
    EXPECT_EQ((std::array{query(KEY_ESCAPE, PRESSED), query(KEY_SHIFT, PRESSED), query(KEY_ESCAPE, PUSHED)}),
              (std::array{true, false, true})) << "the last of each: Escape pressed, Shift released";
    queue(WM_CLOSE, 0);
    scripted().queueKey(VK_ESCAPE, true);
    EXPECT_FALSE(scripted().applyOldestInput());
    EXPECT_EQ(scripted().queuedMessages(), 2u);
}

TEST_F(Scripted, SharedOrMissingKeysAndOutOfRangeCodesAndStatesAnswerFalseClearingNothing) {
    scripted().queueKey(0xBA, true);
    queue(WM_LBUTTONDOWN);
    // 64 and 65 share a key: one byte, read once; no key produces 63's 0x40; 62 is the left button.
    EXPECT_EQ((std::array{query(64, PRESSED), query(65, PUSHED), query(64, PUSHED), query(63, PRESSED),
                          query(62, PUSHED)}), (std::array{true, true, false, false, true}));
    for (int v = 0; v < 256; ++v)
        scripted().setKey(static_cast<std::uint8_t>(v), 0x80); // every key down, even 0
    for (int i = 0; i < 2; ++i) // from here on refreshing changes no row
        query(KEY_A, PRESSED);
    const auto rows = Keyboard::keyStates;
    for (const int code : {60, 68, 255, -1, 256, 1 << 20}) // no key, virtual key 0, or no code
        EXPECT_FALSE(query(code, PUSHED)) << code;
    for (const int state : {-1, 4, 99})
        EXPECT_FALSE(query(KEY_ESCAPE, state));
    EXPECT_EQ(Keyboard::keyStates, rows);
}

TEST_F(Scripted, QuitCloseDestroyAltF4AndTheCanvasWindowsProcedureEndTheProcessWithCodeOne) {
    const auto endsWithOne = testing::Throws<Exit>(testing::Field(&Exit::code, 1));
    for (const std::uint32_t code : {WM_QUIT, WM_CLOSE, WM_DESTROY}) {
        queue(code);
        EXPECT_THAT(&pumpMessage, endsWithOne) << code;
    }
    for (const std::uint8_t key : {std::uint8_t{'X'}, std::uint8_t{VK_F4}}) { // Alt with another key asks nothing
        scripted().queueKey(key, true, true);
        pumpMessage();
    }
    EXPECT_EQ((std::pair{scripted().queuedMessages(), delivered.size()}), (std::pair<std::size_t, std::size_t>{1, 0}));
    EXPECT_THAT(&pumpMessage, endsWithOne);
    while (scripted().postMessage({window, WM_MOUSEMOVE, 0, 0, 0})) {}
    scripted().postQuitMessage(0); // not lost: delivered once there is room
    for (std::size_t i = scripted().queuedMessages(); i > 0; --i)
        ASSERT_NO_THROW(pumpMessage()) << i << " messages before it";
    EXPECT_THAT(&pumpMessage, endsWithOne);
    // Closing or destroying the canvas window makes the next key query end the process.
    EXPECT_EQ(windowProcedure(window, WM_CLOSE, 0, 0), 0);
    EXPECT_THROW(query(KEY_ESCAPE, PUSHED), Exit);
    scripted().registerClass({48, 0, &windowProcedure, 0, 0, nullptr, nullptr, "StimularkWindow"});
    scripted().destroyWindow(scripted().createWindow(0, "StimularkWindow", "", 0, 0, 0, 10, 10));
    EXPECT_THROW(query(KEY_ESCAPE, PUSHED), Exit);
}

TEST_F(Scripted, ButtonsSetTheMouseRowsKeysAreSwallowedAndEverythingElseIsDispatched) {
    const std::tuple<std::uint32_t, std::uintptr_t, std::intptr_t> messages[] = {
        {WM_LBUTTONDOWN, 0, 0}, {WM_LBUTTONUP, 0, 0}, {WM_RBUTTONDOWN, 0, 0}, {WM_MBUTTONDOWN, 0, 0},
        {WM_MBUTTONUP, 0, 0}, {WM_KEYDOWN, VK_ESCAPE, 0}, {WM_KEYUP, VK_ESCAPE, 0}, {WM_SYSKEYUP, VK_F4, 7},
        {WM_MOUSEMOVE, 0, 0x200010}};
    for (const auto& [code, wParam, lParam] : messages) {
        queue(code, wParam, lParam);
        pumpMessage();
    }
    // Rows: held (only the right button stays down), previously held (never set), pushed (kept until read), released.
    EXPECT_EQ(Mouse::buttons, (decltype(Mouse::buttons){{{0, 1, 0}, {0, 0, 0}, {1, 1, 1}, {1, 0, 1}}}));
    EXPECT_EQ((std::array{Mouse::pushed(RIGHT_BUTTON), Mouse::pushed(RIGHT_BUTTON), Mouse::pushed(7)}),
              (std::array{true, false, false}));
    const auto rows = Mouse::buttons;
    for (const int button : {-1, 3, 100000, INT_MIN}) { // pressed last, so that one taken would stay held
        Mouse::buttonUp(button);
        Mouse::buttonDown(button);
    }
    EXPECT_EQ(Mouse::buttons, rows) << "buttons that do not exist change nothing";
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ((std::tuple{delivered[0].window, delivered[0].code, delivered[0].wParam, delivered[0].lParam,
                          delivered[1].lParam}), (std::tuple{window, WM_SYSKEYUP, VK_F4, 7, 0x200010}));
}

// Timestamped key and button events, the scripted backend's pending input standing for the window system's.
using InputEvents = ScriptedTest;
using Events = std::vector<std::tuple<int, bool, std::int64_t>>;

Events readKeys() {
    Events events;
    for (KeyEvent event{}; Keyboard::nextEvent(event);)
        events.emplace_back(event.code, event.pressed, event.time.ticks);
    return events;
}

// Events come oldest first with their own stamps, named by the first key code of their virtual key (-1 outside
// the table); reading them leaves the message queue and the key rows alone.
TEST_F(InputEvents, KeysComeInOrderWithTheirStampsAndTheFirstMatchingCode) {
    scripted().queueKey(VK_ESCAPE, true);
    scripted().pendingKeys = {{0x46, true, 500}, {0xBA, true, 600}, {0x70, true, 700}, {0x46, false, 800}};
    EXPECT_EQ(readKeys(), (Events{{KEY_F, true, 500}, {64, true, 600}, {-1, true, 700}, {KEY_F, false, 800}}));
    EXPECT_EQ(scripted().queuedMessages(), 1u);
    EXPECT_TRUE(Keyboard::query(KEY_ESCAPE, PUSHED)) << "the message is still there for the query";
    EXPECT_EQ(readKeys(), Events{});
}

// Clearing forgets what was stamped before it, also what was still waiting to be pumped, and keeps later events;
// a full log drops the oldest and counts them until the next clear.
TEST_F(InputEvents, ClearingForgetsEarlierEventsAndAFullLogDropsTheOldestCountingThem) {
    scripted().counter = 1000;
    scripted().pendingKeys = {{0x46, true, 999}, {0x4A, true, 1000}};
    scripted().pumpInputEvents();
    scripted().pendingKeys = {{0x4A, false, 990}, {0x46, false, 1001}};
    Keyboard::clearEvents();
    EXPECT_EQ(readKeys(), (Events{{KEY_J, true, 1000}, {KEY_F, false, 1001}}));
    // Where the window system gives no time, what waited is stamped as it is taken, and goes too.
    scripted().stampWhenTaken = true;
    scripted().counterStep = 10;
    scripted().pendingKeys = {{0x46, true, 0}};
    scripted().pendingButtons = {{LEFT_BUTTON, true, 1, 2, 0}};
    Keyboard::clearEvents();
    Mouse::clearEvents();
    ButtonEvent button{};
    EXPECT_EQ(std::pair(readKeys(), Mouse::nextEvent(button)), std::pair(Events{}, false));
    scripted().stampWhenTaken = false;
    scripted().counterStep = 0;

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
    EXPECT_EQ(readKeys(), (Events{{KEY_F, false, 70}}));
}

} // namespace
} // namespace Stimulark::Testing
