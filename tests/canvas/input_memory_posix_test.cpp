// The program's memory while input floods in and it only flips: the window system's queues are drained into the
// toolkit's bounded logs and queue each flip. Measured by the resident set, so not under the sanitizers, whose
// quarantine keeps freed memory.

#include "display_canvas.hpp"

#include "support/Injection.hpp"

#include <fstream>
#include <string>

namespace Stimulark::Testing {
namespace {

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

bool sanitized() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

using InputMemory = DisplayTest;

// 200,000 pointer moves and 100,000 button presses and releases while the program flips without reading input,
// then half as many while it queries a key each frame.
TEST_F(InputMemory, StaysBoundedWhileInputFloodsAProgramThatOnlyFlips) {
    if (sanitized())
        GTEST_SKIP() << "the sanitizers keep freed memory";
    for (int i = 0; i < 10; ++i)
        canvas->flip(1);
    const long before = residentKilobytes();
    for (int batch = 0; batch < 200; ++batch) {
        injectMoves(1000);
        injectClicks(500);
        canvas->flip(1);
    }
    const long moved = residentKilobytes();
    for (int batch = 0; batch < 100; ++batch) {
        injectMoves(1000);
        injectClicks(500);
        Keyboard::query(KEY_ESCAPE, PUSHED);
        canvas->flip(1);
    }
    const long queried = residentKilobytes();
    EXPECT_LT(moved - before, 10 * 1024) << "kB after 200,000 moves and 100,000 button events, only flipping";
    EXPECT_LT(queried - moved, 10 * 1024) << "kB after 100,000 moves and 50,000 button events, querying a key";
    EXPECT_GT(Mouse::lostEvents(), 0) << "the button log is full: the oldest went";
}

} // namespace
} // namespace Stimulark::Testing
