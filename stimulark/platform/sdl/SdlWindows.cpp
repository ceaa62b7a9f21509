#include "stimulark/platform/sdl/SdlPlatform.hpp"

#include "stimulark/platform/sdl/SdlState.hpp"
#include "stimulark/platform/sdl/SdlX11Events.hpp"

#include <vector>

namespace Stimulark {

namespace {

void requestFormat(const SdlFormat& format) {
    SDL_GL_ResetAttributes();
    // The compatibility profile keeps every OpenGL 1.1 call working.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, format.red);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, format.green);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, format.blue);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, format.alpha);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depth);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, format.stencil);
}

// The request first, then ever closer to what any display has: less depth, no
// stencil, no alpha, any colour sizes.
std::vector<SdlFormat> formatsToTry(const PixelFormatDescriptor& request) {
    SdlFormat format{request.redBits, request.greenBits, request.blueBits, request.alphaBits,
                     request.depthBits, request.stencilBits};
    std::vector<SdlFormat> formats{format};
    for (const int depth : {24, 16, 0})
        if (format.depth > depth) {
            format.depth = depth;
            formats.push_back(format);
        }
    if (format.stencil > 0) {
        format.stencil = 0;
        formats.push_back(format);
    }
    if (format.alpha > 0) {
        format.alpha = 0;
        formats.push_back(format);
    }
    if (format.red > 0 || format.green > 0 || format.blue > 0) {
        format.red = format.green = format.blue = 0;
        formats.push_back(format);
    }
    return formats;
}

bool coversDisplay(const SdlWindowRecord& record) {
    SDL_Rect bounds{};
    return SDL_GetDisplayBounds(0, &bounds) == 0 && record.x == bounds.x && record.y == bounds.y &&
           record.width == bounds.w && record.height == bounds.h;
}

} // namespace

WindowHandle SdlPlatform::createNativeWindow(std::uint32_t, const char* title, std::uint32_t, int x, int y,
                                             int width, int height) {
    if (!displayAvailable())
        return 0;
    for (std::size_t i = 0; i < state_->windows.size(); ++i) {
        SdlWindowRecord& record = state_->windows[i];
        if (record.used)
            continue;
        record = SdlWindowRecord{};
        record.used = true;
        record.title = title ? title : "";
        record.x = x;
        record.y = y;
        record.width = width;
        record.height = height;
        return i + 1;
    }
    return 0;
}

void SdlPlatform::destroyNativeWindow(WindowHandle window) {
    SdlWindowRecord* record = state_->window(window);
    if (!record)
        return;
    record->reporter.reset(); // it holds wrappers of the window's surface
    if (record->window) {
        // Input the server made for the window still has to reach the logs: SDL
        // drops what arrives for a window that is gone.
        syncX11(record->window);
        pumpInputEvents();
        SDL_DestroyWindow(record->window);
    }
    *record = SdlWindowRecord{};
}

void SdlPlatform::showWindow(WindowHandle window, int showCommand) {
    SdlWindowRecord* record = state_->window(window);
    if (!record)
        return;
    record->showRequested = showCommand != 0;
    if (!record->window)
        return; // shown when it is made
    if (!record->showRequested) {
        SDL_HideWindow(record->window);
        return;
    }
    SDL_ShowWindow(record->window);
    raiseWindow(record->window);
}

// On X11 a window's pixel format is fixed when the native window is made, so the
// SDL window is made here, once the format is known, not in createNativeWindow.
bool SdlPlatform::setPixelFormat(WindowHandle window, const PixelFormatDescriptor& request) {
    SdlWindowRecord* record = state_->window(window);
    if (!record || record->window)
        return false;
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP;
    if (coversDisplay(*record))
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    for (const SdlFormat& format : formatsToTry(request)) {
        requestFormat(format);
        record->window = SDL_CreateWindow(record->title.c_str(), record->x, record->y, record->width,
                                          record->height, flags);
        if (record->window) {
            record->format = format;
            if (record->showRequested)
                showWindow(window, 1);
            return true;
        }
    }
    return false;
}

ContextHandle SdlPlatform::createContext(WindowHandle window) {
    SdlWindowRecord* record = state_->window(window);
    if (!record || !record->window)
        return 0;
    for (std::size_t i = 0; i < state_->contexts.size(); ++i) {
        if (state_->contexts[i].context)
            continue;
        SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
        SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
        requestFormat(record->format);
        SDL_GLContext context = SDL_GL_CreateContext(record->window);
        if (!context)
            return 0;
        // SDL makes a new context current; making one should not change which is.
        SDL_GL_MakeCurrent(previousWindow, previousContext);
        state_->contexts[i].context = context;
        return i + 1;
    }
    return 0;
}

bool SdlPlatform::makeCurrent(WindowHandle window, ContextHandle context) {
    if (context == 0)
        return state_->video != SdlVideo::up || SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
    SDL_Window* native = state_->sdlWindow(window);
    SDL_GLContext gl = state_->context(context);
    return native && gl && SDL_GL_MakeCurrent(native, gl) == 0;
}

void SdlPlatform::deleteContext(ContextHandle context) {
    SDL_GLContext gl = state_->context(context);
    if (!gl)
        return;
    SDL_GL_DeleteContext(gl);
    state_->contexts[context - 1].context = nullptr;
}

void SdlPlatform::swapBuffers(WindowHandle window) {
    SdlWindowRecord* record = state_->window(window);
    if (!record || !record->window)
        return;
    SDL_GL_SwapWindow(record->window);
    if (record->reporter)
        record->reporter->swapped(!(SDL_GetWindowFlags(record->window) & SDL_WINDOW_HIDDEN));
}

// Applies to the context current on the thread, which is the window's own while a
// canvas draws.
bool SdlPlatform::setSwapInterval(WindowHandle window, int interval) {
    return state_->sdlWindow(window) != nullptr && SDL_GL_GetCurrentContext() != nullptr &&
           SDL_GL_SetSwapInterval(interval) == 0;
}

int SdlPlatform::swapInterval(WindowHandle window) {
    return state_->sdlWindow(window) != nullptr ? SDL_GL_GetSwapInterval() : 0;
}

bool SdlPlatform::getGammaRamp(WindowHandle window, std::uint16_t* ramp) {
    SDL_Window* native = state_->sdlWindow(window);
    return native && ramp && SDL_GetWindowGammaRamp(native, ramp, ramp + 256, ramp + 512) == 0;
}

bool SdlPlatform::setGammaRamp(WindowHandle window, const std::uint16_t* ramp) {
    SDL_Window* native = state_->sdlWindow(window);
    return native && ramp && SDL_SetWindowGammaRamp(native, ramp, ramp + 256, ramp + 512) == 0;
}

} // namespace Stimulark
