#pragma once

#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/sdl/SdlPlatform.hpp"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace Stimulark::Testing {

// Counts the boxes a notification would show instead of showing them.
class BoxCountingPlatform : public SdlPlatform {
public:
    void showMessageBox(const char*, const char*) override { ++boxes; }
    int boxes = 0;
};

// Runs a test on a fresh SDL backend installed as platform(), on the display the
// test program was started on, and feeds it events through SDL's own queue.
class SdlBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto backend = std::make_unique<SdlPlatform>();
        sdl_ = backend.get();
        previous_ = installPlatform(std::move(backend));
        resetKeyboard();
        resetMouse();
        ASSERT_TRUE(sdl_->displayAvailable()) << "needs a display: run under xvfb-run";
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        installPlatform(std::move(previous_));
        resetKeyboard();
        resetMouse();
    }

    SdlPlatform& sdl() { return *sdl_; }

    static void push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1); }
    static void pushKey(SDL_Scancode scancode, bool down, Uint16 modifiers = KMOD_NONE, bool repeat = false) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.scancode = scancode;
        event.key.keysym.mod = modifiers;
        push(event);
    }
    static void pushCloseRequest(Uint32 windowId) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = SDL_WINDOWEVENT_CLOSE;
        event.window.windowID = windowId;
        push(event);
    }

    // Every message the backend has now, taken one at a time as the pump does.
    std::vector<Message> drain() {
        std::vector<Message> messages;
        Message message;
        while (sdl().peekMessage(message))
            messages.push_back(message);
        return messages;
    }

    // What the canvas asks for in a 32-bit mode.
    static PixelFormatDescriptor canvasFormat() {
        PixelFormatDescriptor format;
        format.redBits = format.greenBits = format.blueBits = format.alphaBits = 8;
        format.depthBits = 32;
        format.stencilBits = 1;
        format.auxBuffers = 4;
        return format;
    }

    // A window with a current rendering context, made as the canvas makes it; 0 on failure.
    WindowHandle openWindow(int x, int y, int width, int height, const PixelFormatDescriptor& format = canvasFormat()) {
        WindowClassRecord record;
        record.procedure = windowProcedure;
        record.className = applicationProperties.windowClassName;
        sdl().registerClass(record);
        const WindowHandle window =
            sdl().createWindow(0x40008, record.className, "Stimulark Window", 0x80000000, x, y, width, height);
        if (window == 0 || !sdl().setPixelFormat(window, format))
            return 0;
        context_ = sdl().createContext(window);
        return context_ != 0 && sdl().makeCurrent(window, context_) ? window : 0;
    }
    WindowHandle openFullScreenWindow() {
        const ScreenPoint size = sdl().screenSize();
        return openWindow(0, 0, size.x, size.y);
    }

    ContextHandle context_ = 0;

private:
    SdlPlatform* sdl_ = nullptr;
    std::unique_ptr<Platform> previous_;
};

} // namespace Stimulark::Testing
