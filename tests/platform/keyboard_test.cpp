#include "stimulark/platform/Keyboard.hpp"
#include "support/Scripted.hpp"

#include <gtest/gtest.h>

namespace {

using namespace Stimulark;
using Keyboard_ = Testing::ScriptedTest;

TEST_F(Keyboard_, PushedAndReleasedAccumulateUntilQueriedAndAnswerOnce) {
    for (const bool down : {true, false, true, false})
        scripted().queueKey(VK_ESCAPE, down);
    for (int i = 0; i < 4; ++i) // each query takes one message; none asks about Escape
        Keyboard::query(KEY_RETURN, PUSHED);

    EXPECT_TRUE(Keyboard::query(KEY_ESCAPE, PUSHED)); // two presses count as one
    EXPECT_FALSE(Keyboard::query(KEY_ESCAPE, PUSHED));
    EXPECT_TRUE(Keyboard::query(KEY_ESCAPE, RELEASED));
    EXPECT_FALSE(Keyboard::query(KEY_ESCAPE, RELEASED));
    EXPECT_FALSE(Keyboard::query(KEY_ESCAPE, PRESSED));
}

TEST_F(Keyboard_, PressedFollowsTheKeyWhilePreviouslyPressedAnswersOnce) {
    scripted().queueKey(VK_SHIFT, true);
    EXPECT_TRUE(Keyboard::query(KEY_SHIFT, PRESSED));
    EXPECT_TRUE(Keyboard::query(KEY_SHIFT, PUSHED));
    EXPECT_TRUE(Keyboard::query(KEY_SHIFT, PRESSED)); // never cleared
    scripted().queueKey(VK_SHIFT, false);
    EXPECT_FALSE(Keyboard::query(KEY_SHIFT, PRESSED));

    scripted().queueKey(VK_SHIFT, true);
    Keyboard::query(KEY_Z, PRESSED); // snapshot: shift down
    scripted().queueKey(VK_SHIFT, false);
    EXPECT_TRUE(Keyboard::query(KEY_SHIFT, PREVIOUSLY_PRESSED));
    EXPECT_EQ(Keyboard::keyStates[PREVIOUSLY_PRESSED][VK_SHIFT], 0);
}

TEST_F(Keyboard_, APressWaitsForTheMessagesQueuedBeforeIt) {
    scripted().queueKey('1', true);
    scripted().queueKey('2', true);
    scripted().queueKey(VK_ESCAPE, true);
    EXPECT_FALSE(Keyboard::query(KEY_ESCAPE, PUSHED));
    EXPECT_FALSE(Keyboard::query(KEY_ESCAPE, PUSHED));
    EXPECT_TRUE(Keyboard::query(KEY_ESCAPE, PUSHED));
    EXPECT_TRUE(Keyboard::query(KEY_1, PUSHED));
}

TEST_F(Keyboard_, AKeyDownInTheFirstSnapshotCountsAsPushed) {
    scripted().setKey(VK_SPACE, 0x81);
    EXPECT_TRUE(Keyboard::query(KEY_SPACE, PUSHED));
    EXPECT_FALSE(Keyboard::query(KEY_SPACE, PUSHED));
}

TEST_F(Keyboard_, CodesReadTheirTableEntries) {
    for (int v = 0; v < 256; ++v)
        scripted().setKey(static_cast<std::uint8_t>(v), 0x80); // every key down, even 0
    const int named[] = {KEY_1, KEY_0, KEY_Z, KEY_PAD_9, KEY_ALT, KEY_BRACKET_RIGHT, KEY_PAD_DIVIDE, 62, 63, 64, 65};
    for (const int code : named)
        EXPECT_TRUE(Keyboard::query(code, PRESSED)) << code;
    for (const int code : {60, 68, 69, 76, 255}) // no key, or virtual key 0
        EXPECT_FALSE(Keyboard::query(code, PRESSED)) << code;

    for (int v = 0; v < 256; ++v)
        scripted().setKey(static_cast<std::uint8_t>(v), 0);
    scripted().queueKey(0xBA, true);
    EXPECT_TRUE(Keyboard::query(64, PRESSED));
    EXPECT_TRUE(Keyboard::query(65, PUSHED));
    EXPECT_FALSE(Keyboard::query(64, PUSHED)); // the same key: one byte, read once
    EXPECT_FALSE(Keyboard::query(63, PRESSED)); // 0x40: no key produces it
    scripted().queue({0, WM_LBUTTONDOWN, 0, 0, 0});
    EXPECT_TRUE(Keyboard::query(62, PUSHED)); // the left button, as the snapshot sees it
}

TEST_F(Keyboard_, OutOfRangeCodesAndStatesAnswerFalseAndClearNothing) {
    scripted().queueKey(VK_ESCAPE, true);
    Keyboard::query(KEY_A, PRESSED);
    Keyboard::query(KEY_A, PRESSED); // from here on refreshing changes no row
    const auto rows = Keyboard::keyStates;
    for (const int code : {-1, 256, 1 << 20})
        EXPECT_FALSE(Keyboard::query(code, PUSHED));
    for (const int state : {-1, 4, 99})
        EXPECT_FALSE(Keyboard::query(KEY_ESCAPE, state));
    EXPECT_EQ(Keyboard::keyStates, rows);
    EXPECT_TRUE(Keyboard::query(KEY_ESCAPE, PUSHED));
}

} // namespace
