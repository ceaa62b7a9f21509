#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/Platform.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace Stimulark;

// A full-screen window with a current context, made as the canvas makes it.
bool openCanvasWindow() {
    static const bool open = [] {
        Platform& host = platform();
        WindowClassRecord record;
        record.procedure = windowProcedure;
        record.className = applicationProperties.windowClassName;
        host.registerClass(record);
        const ScreenPoint screen = host.screenSize();
        const WindowHandle window =
            host.createWindow(0x40008, record.className, "Stimulark Window", 0x80000000, 0, 0, screen.x, screen.y);
        PixelFormatDescriptor format;
        format.redBits = format.greenBits = format.blueBits = format.alphaBits = 8;
        format.depthBits = 32;
        format.stencilBits = 1;
        if (window == 0 || !host.setPixelFormat(window, format))
            return false;
        const ContextHandle context = host.createContext(window);
        if (context == 0 || !host.makeCurrent(window, context))
            return false;
        host.showCursor(false);
        host.showWindow(window, applicationProperties.showCommand);
        host.discardMessages();
        return true;
    }();
    return open;
}

// What every frame of a program costs at least: one key query with nothing queued.
void BM_KeyQueryEmptyQueue(benchmark::State& state) {
    if (!openCanvasWindow()) {
        state.SkipWithError("no full-screen window (run under xvfb-run)");
        return;
    }
    resetKeyboard();
    resetMouse();
    for (auto _ : state)
        benchmark::DoNotOptimize(Keyboard::query(KEY_ESCAPE, PUSHED));
}
BENCHMARK(BM_KeyQueryEmptyQueue);

} // namespace
