#pragma once

#include "stimulark/platform/Clock.hpp"

namespace Stimulark::Testing {

// Input made by the X server's test extension, as a real device's would be; each returns the clock read right
// before the request left, so that a test can judge the stamp the toolkit gave the event.
// std::runtime_error without a display.
Clock injectKey(const char* keysym, bool down);
Clock injectButton(int xButton, bool down); // 1 left, 2 middle, 3 right
void movePointer(int x, int y);

} // namespace Stimulark::Testing
