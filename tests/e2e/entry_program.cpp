// A program on the toolkit for the entry's end-to-end tests. Its first argument
// picks what the main routine does: "exception", "std", "string" or "return";
// "no-counter" runs it on a machine whose counter reports 0 ticks per second.

#include "stimulark/app/Application.hpp"
#include "stimulark/app/Exception.hpp"
#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Clock.hpp"
#include "stimulark/platform/sdl/SdlPlatform.hpp"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

// The first argument, read before main from the kernel's copy of the command line.
std::string firstArgument() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string line((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t start = line.find('\0');
    if (start == std::string::npos || start + 1 >= line.size())
        return {};
    return line.substr(start + 1, line.find('\0', start + 1) - start - 1);
}

class NoCounterPlatform : public Stimulark::SdlPlatform {
public:
    std::int64_t counterFrequency() override { return 0; }
};

// Installed during static initialisation, before the entry runs.
const bool counterRemoved =
    firstArgument() == "no-counter" && (Stimulark::installPlatform(std::make_unique<NoCounterPlatform>()), true);

} // namespace

void applicationMain() {
    const auto& properties = Stimulark::applicationProperties;
    const std::string mode = properties.argumentCount > 1 ? properties.arguments[1] : "";
    std::printf("main routine runs (%s)\n", mode.c_str());
    std::fflush(stdout);

    if (mode == "exception")
        throw Stimulark::Exception(typeid(Stimulark::Clock), "API ERROR", "Failed on purpose.");
    if (mode == "std")
        throw std::runtime_error("this text is never shown");
    if (mode == "string")
        throw "A thrown text.";
}
