#pragma once

struct SDL_Window;

namespace Stimulark {

// Xlib keeps the last request that got a reply on its books until something sent
// later comes back from the server, and meanwhile every look for events reads the
// socket twice over. A reply asked for straight from XCB and dropped there takes
// that request off the books when it arrives, with no event and no wait.
class X11Replies {
public:
    // Called before each look for events. window: any SDL window on X11, whose
    // connection SDL reads. Asks only once the program has gone on looking without
    // sending requests, as a program that polls without drawing does.
    void settle(SDL_Window* window);

private:
    void* display_ = nullptr;     // SDL's Display*, found from the first window
    unsigned long lastSeen_ = 0;  // Xlib's next request number at the previous look
    int quietLooks_ = 0;          // looks in a row since a request went out
    bool asked_ = false;          // asked since the last request went out
};

} // namespace Stimulark
