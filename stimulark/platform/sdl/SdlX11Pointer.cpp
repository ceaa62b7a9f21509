#include "stimulark/platform/sdl/SdlX11Pointer.hpp"

#include <X11/Xlib.h>

namespace Stimulark {

X11Pointer::~X11Pointer() {
    if (display_)
        XCloseDisplay(static_cast<Display*>(display_));
}

bool X11Pointer::query(int& x, int& y) {
    if (!display_ && !failed_) {
        display_ = XOpenDisplay(nullptr);
        failed_ = display_ == nullptr;
    }
    if (!display_)
        return false;
    Display* display = static_cast<Display*>(display_);
    Window root = 0, child = 0;
    int windowX = 0, windowY = 0;
    unsigned int buttons = 0;
    if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &windowX, &windowY, &buttons))
        return false;
    return true;
}

} // namespace Stimulark
