// The entry's end-to-end test program. ENTRY_MODE makes its main routine throw an "exception", a "std"
// exception, a "string" or an "unknown" type, open a canvas "twice", or return; "no-counter" starts it on a
// machine whose counter reports 0 ticks a second.

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/platform/Clock.hpp"
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
}
