#pragma once

#include "stimulark/platform/Messages.hpp"
#include "stimulark/platform/sdl/SdlPresentation.hpp"
#include "stimulark/platform/sdl/SdlX11Pointer.hpp"
#include "stimulark/platform/sdl/SdlX11Replies.hpp"

#include <SDL.h>

#include <array>
#include <memory>
#include <string>

namespace Stimulark {

// Buffer sizes asked of SDL when the window is made; the context must be made
// with the same ones.
struct SdlFormat {
    int red = 0, green = 0, blue = 0, alpha = 0;
    int depth = 0;
    int stencil = 0;
};

struct SdlWindowRecord {
    bool used = false;
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;
    bool showRequested = false;
    SDL_Window* window = nullptr; // made once the pixel format is known
    SdlFormat format;
    // Made at the first request for reports; null where the window offers none.
    std::unique_ptr<PresentationReporter> reporter;
    bool reporterTried = false;
};

struct SdlContextRecord {
    SDL_GLContext context = nullptr;
};

enum class SdlVideo { untried, up, unavailable };

struct SdlPlatformState {
    SdlVideo video = SdlVideo::untried;
    bool onX11 = false;
    X11Pointer x11Pointer;
    X11Replies x11Replies;
    // The virtual key each held key went down as, so that its release matches even
    // when the layout changed in between.
    std::array<std::uint8_t, SDL_NUM_SCANCODES> heldAs{};
    // The same for the input log, which sees each key before the message queue does.
    std::array<std::uint8_t, SDL_NUM_SCANCODES> loggedAs{};
    // The X server's time of the key or button event SDL is about to queue.
    std::uint32_t serverTime = 0;
    bool serverTimePending = false;
    // Handles are slot + 1, so 0 stays "none".
    std::array<SdlWindowRecord, 8> windows{};
    std::array<SdlContextRecord, 16> contexts{};

    SdlWindowRecord* window(WindowHandle handle) {
        if (handle == 0 || handle > windows.size() || !windows[handle - 1].used)
            return nullptr;
        return &windows[handle - 1];
    }
    SDL_Window* sdlWindow(WindowHandle handle) {
        SdlWindowRecord* record = window(handle);
        return record ? record->window : nullptr;
    }
    WindowHandle handleOf(Uint32 sdlWindowId) const {
        for (std::size_t i = 0; i < windows.size(); ++i)
            if (windows[i].window && SDL_GetWindowID(windows[i].window) == sdlWindowId)
                return i + 1;
        return 0;
    }
    SDL_GLContext context(ContextHandle handle) const {
        if (handle == 0 || handle > contexts.size())
            return nullptr;
        return contexts[handle - 1].context;
    }
};

} // namespace Stimulark
