// The entry's end-to-end test program. ENTRY_MODE makes its main routine throw an "exception", a "std"
// exception, a "string" or an "unknown" type, open a canvas "twice", or return; "no-counter" starts it on a
// machine whose counter reports 0 ticks a second. "close-save" and "close-throw" open a canvas until a close
// request, whose registered save writes ENTRY_SAVE or fails.

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/file/File.hpp"
#include "stimulark/platform/Clock.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/sdl/SdlPlatform.hpp"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

const std::string mode = std::getenv("ENTRY_MODE") ? std::getenv("ENTRY_MODE") : "";

struct NoCounterPlatform : Stimulark::SdlPlatform {
    std::int64_t counterFrequency() override { return 0; }
};

// Installed during static initialisation, before the entry starts the toolkit.
const bool counterRemoved = [] {
    if (mode == "no-counter")
        Stimulark::installPlatform(std::make_unique<NoCounterPlatform>());
    return mode == "no-counter";
}();

void applicationMain() {
    std::puts("main routine runs");
    if (mode == "exception")
        throw Stimulark::Exception(typeid(Stimulark::Clock), "API ERROR", "Failed on purpose.");
    if (mode == "std")
        throw std::runtime_error("this text is never shown");
    if (mode == "string")
        throw "A thrown text.";
    if (mode == "unknown")
        throw 42;
    if (mode == "twice") {
        Stimulark::Canvas canvas(0);
        canvas.open();
    }
    if (mode == "close-save" || mode == "close-throw") {
        Stimulark::atCloseRequest(mode == "close-save" ? +[] {
            if (std::FILE* file = std::fopen(std::getenv("ENTRY_SAVE"), "w")) {
                std::fprintf(file, "saved, canvas %s\n", Stimulark::Canvas::current ? "open" : "closed");
                std::fclose(file);
            }
        } : +[] { throw Stimulark::Exception(typeid(Stimulark::File), "FILE ACCESS ERROR", "Failed on purpose."); });
        Stimulark::Canvas canvas(0);
        std::puts("canvas open");
        std::fflush(stdout);
        while (!Stimulark::Keyboard::query(Stimulark::KEY_ESCAPE, Stimulark::PUSHED))
            canvas.flip(1);
    }
}
