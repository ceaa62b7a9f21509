#pragma once

#include "stimulark/platform/Clock.hpp"

namespace Stimulark::Testing {

// Input made by the window system as a real device's would be (the X server's test extension, Windows'
// SendInput); each returns the clock read right before the request left, so that a test can judge the stamp
// the toolkit gave the event, once the window system has made the event. Keys are named by their X keysyms. std::runtime_error without a display.
Clock injectKey(const char* keysym, bool down);
Clock injectButton(int xButton, bool down); // 1 left, 2 middle, 3 right
void movePointer(int x, int y);
// `count` pointer moves back and forth across the top left of the screen, and `count` presses and releases of the
// left button, as fast as the window system takes them.
void injectMoves(int count);
void injectClicks(int count);

} // namespace Stimulark::Testing
