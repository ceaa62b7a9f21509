#include "stimulark/platform/Clock.hpp"

#include "stimulark/core/Exception.hpp"
#include "stimulark/platform/Platform.hpp"

namespace Stimulark {

constinit std::int64_t Clock::ticksPerMillisecond = 0;

Clock::Clock() : ticks(platform().counterValue()) {}

void Clock::update() { ticks = platform().counterValue(); }

void Clock::initializeFrequency() {
    const std::int64_t frequency = platform().counterFrequency();
    // Below 1000 ticks per second a millisecond would hold no tick and every span
    // would divide by zero: such a counter is as good as none.
    if (frequency < 1000)
        throw Exception(typeid(Clock), "HARDWARE NOT SUPPORTED",
                        "This computer does not support high-resolution performance counter.");
    ticksPerMillisecond = frequency / 1000;
}

} // namespace Stimulark
