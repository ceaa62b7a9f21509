#include "sdl_fixture.hpp"

#include "stimulark/platform/sdl/SdlKeyTable.hpp"

namespace Stimulark::Testing {
namespace {

using SdlEvents = SdlBackendTest;

std::vector<std::uint32_t> codes(const std::vector<Message>& messages) {
    std::vector<std::uint32_t> result;
    for (const Message& message : messages)
        result.push_back(message.code);
    return result;
}

TEST_F(SdlEvents, KeysBecomeKeyMessagesAndAltMakesThemSystemKeys) {
    pushKey(SDL_SCANCODE_ESCAPE, true);
    pushKey(SDL_SCANCODE_ESCAPE, false);
    pushKey(SDL_SCANCODE_LALT, true, KMOD_LALT);
    pushKey(SDL_SCANCODE_X, true, KMOD_LALT);
    pushKey(SDL_SCANCODE_LALT, false); // SDL reports the modifier already gone
    pushKey(SDL_SCANCODE_X, true, KMOD_LCTRL | KMOD_RALT); // AltGr makes plain key messages
    const auto messages = drain();
    EXPECT_EQ(codes(messages), (std::vector<std::uint32_t>{WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYDOWN,
                                                           WM_SYSKEYUP, WM_KEYDOWN}));
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[0].wParam, VK_ESCAPE);
    EXPECT_NE(messages[1].lParam & (std::intptr_t{1} << 31), 0) << "the release bit";
    EXPECT_EQ(messages[2].wParam, VK_MENU);
    EXPECT_EQ(messages[2].sideKey, VK_LMENU);
    EXPECT_EQ(messages[3].wParam, 'X');
}

TEST_F(SdlEvents, RepeatsMotionAndUnknownKeysAreNotQueued) {
    pushKey(SDL_SCANCODE_A, true);
    for (int i = 0; i < 3; ++i)
        pushKey(SDL_SCANCODE_A, true, KMOD_NONE, true);
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    SDL_PushEvent(&motion);
    pushKey(SDL_SCANCODE_LANG5, true);
    pushKey(SDL_SCANCODE_A, false);
    EXPECT_EQ(codes(drain()), (std::vector<std::uint32_t>{WM_KEYDOWN, WM_KEYUP}));
}

TEST_F(SdlEvents, MouseButtonsBecomeButtonMessages) {
    for (const Uint8 button : {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1})
        for (const bool down : {true, false}) {
            SDL_Event event{};
            event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
            event.button.button = button;
            event.button.x = 12;
            event.button.y = 34;
            push(event);
        }
    const auto messages = drain();
    EXPECT_EQ(codes(messages), (std::vector<std::uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
                                                           WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP}));
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].lParam, 12 | (34 << 16));
}

TEST_F(SdlEvents, EitherShiftDrivesTheGenericShiftAsMessagesAreRemoved) {
    const auto& keys = sdl().keyboardState();
    pushKey(SDL_SCANCODE_LSHIFT, true, KMOD_LSHIFT);
    pushKey(SDL_SCANCODE_RSHIFT, true, KMOD_SHIFT);
    pushKey(SDL_SCANCODE_LSHIFT, false, KMOD_RSHIFT);
    pushKey(SDL_SCANCODE_RSHIFT, false);
    sdl().pollEvents();
    EXPECT_EQ(sdl().queuedMessages(), 4u);
    EXPECT_FALSE(keys[VK_SHIFT] & 0x80) << "nothing removed yet";
    Message message;
    ASSERT_TRUE(sdl().peekMessage(message));
    EXPECT_EQ(message.wParam, VK_SHIFT);
    EXPECT_EQ(message.sideKey, VK_LSHIFT);
    EXPECT_TRUE(keys[VK_SHIFT] & 0x80);
    sdl().peekMessage(message);
    sdl().peekMessage(message);
    EXPECT_FALSE(keys[VK_LSHIFT] & 0x80);
    EXPECT_TRUE(keys[VK_SHIFT] & 0x80) << "the right shift is still down";
    sdl().peekMessage(message);
    EXPECT_FALSE(keys[VK_SHIFT] & 0x80);
}

TEST_F(SdlEvents, CloseRequestOfOurWindowAndQuit) {
    const WindowHandle window = openWindow(0, 0, 64, 48);
    ASSERT_NE(window, 0u);
    pushCloseRequest(sdl().nativeWindowId(window));
    pushCloseRequest(9999); // not one of ours
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    auto messages = drain();
    std::erase_if(messages, [](const Message& m) { return m.code != WM_CLOSE && m.code != WM_QUIT; });
    ASSERT_EQ(codes(messages), (std::vector<std::uint32_t>{WM_CLOSE, WM_QUIT}));
    EXPECT_EQ(messages[0].window, window);
}

TEST(SdlKeyTable, KeysProgramsAskForMapToTheirVirtualKeys) {
    const std::pair<SDL_Scancode, int> keys[] = {
        {SDL_SCANCODE_ESCAPE, 0x1B},     {SDL_SCANCODE_UP, 0x26},           {SDL_SCANCODE_LEFT, 0x25},
        {SDL_SCANCODE_SEMICOLON, 0xBA},  {SDL_SCANCODE_SLASH, 0xBF},        {SDL_SCANCODE_BACKSLASH, 0xDC},
        {SDL_SCANCODE_RIGHTBRACKET, 0xDD}, {SDL_SCANCODE_KP_0, 0x60},       {SDL_SCANCODE_KP_9, 0x69},
        {SDL_SCANCODE_KP_DIVIDE, 0x6F},  {SDL_SCANCODE_KP_ENTER, 0x0D},     {SDL_SCANCODE_0, 0x30},
    };
    for (const auto& [scancode, virtualKey] : keys)
        EXPECT_EQ(translateScancode(scancode).virtualKey, virtualKey) << SDL_GetScancodeName(scancode);
    EXPECT_EQ(translateScancode(SDL_SCANCODE_RCTRL).sideKey, VK_RCONTROL);
    EXPECT_EQ(translateScancode(-1).virtualKey, 0);
    EXPECT_EQ(translateScancode(SDL_NUM_SCANCODES).virtualKey, 0);
}

} // namespace
} // namespace Stimulark::Testing
