#include "support/Injection.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <stdexcept>

namespace Stimulark::Testing {
namespace {

// One connection for the whole run: opening one per event would cost more than the event.
Display* display() {
    static Display* const connection = XOpenDisplay(nullptr);
    if (connection == nullptr)
        throw std::runtime_error("no X display: run under xvfb-run");
    return connection;
}

} // namespace

Clock injectKey(const char* keysym, bool down) {
    Display* x = display();
    const unsigned code = XKeysymToKeycode(x, XStringToKeysym(keysym));
    if (code == 0)
        throw std::runtime_error(std::string("no key for ") + keysym);
    const Clock sent;
    XTestFakeKeyEvent(x, code, down, CurrentTime);
    XSync(x, False); // made by the server when this returns
    return sent;
}

Clock injectButton(int xButton, bool down) {
    Display* x = display();
    const Clock sent;
    XTestFakeButtonEvent(x, static_cast<unsigned>(xButton), down, CurrentTime);
    XSync(x, False);
    return sent;
}

void injectMoves(int count) {
    Display* x = display();
    for (int i = 0; i < count; ++i) {
        XTestFakeMotionEvent(x, -1, 100 + i % 200, 100 + (i / 200) % 200, CurrentTime);
        if (i % 1000 == 999)
            XSync(x, False); // a request buffer's worth at a time, so that the server keeps up
    }
    XSync(x, False);
}

void injectClicks(int count) {
    Display* x = display();
    for (int i = 0; i < count; ++i) {
        XTestFakeButtonEvent(x, 1, i % 2 == 0, CurrentTime);
        if (i % 1000 == 999)
            XSync(x, False);
    }
    XSync(x, False);
}

void movePointer(int x, int y) {
    XTestFakeMotionEvent(display(), -1, x, y, CurrentTime);
    XSync(display(), False);
}

} // namespace Stimulark::Testing
