#include "stimulark/platform/sdl/SdlX11Replies.hpp"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib-xcb.h>

namespace Stimulark {

namespace {
// A drawing program sends requests every frame and is never asked for; the few
// looks it makes between frames would not pay back the extra request.
constexpr int quietLooksBeforeAsking = 16;
} // namespace

void X11Replies::settle(SDL_Window* window) {
    if (!display_) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
            return;
        display_ = info.info.x11.display;
    }
    Display* xlib = static_cast<Display*>(display_);
    const unsigned long next = XNextRequest(xlib);
    if (next != lastSeen_) {
        lastSeen_ = next;
        quietLooks_ = 0;
        asked_ = false;
        return;
    }
    if (asked_ || ++quietLooks_ < quietLooksBeforeAsking)
        return;
    xcb_connection_t* connection = XGetXCBConnection(xlib);
    xcb_discard_reply(connection, xcb_get_input_focus_unchecked(connection).sequence);
    xcb_flush(connection);
    // Counts the request just sent, so that it alone does not start a new round.
    lastSeen_ = XNextRequest(xlib);
    asked_ = true;
}

} // namespace Stimulark
