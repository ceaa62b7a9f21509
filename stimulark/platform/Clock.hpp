#pragma once

#include <cstdint>

namespace Stimulark {

// One reading of the high-resolution counter; differences give milliseconds.
class Clock {
public:
    Clock();
    constexpr explicit Clock(std::int64_t ticks) : ticks(ticks) {}

    void update();
    constexpr Clock operator-(const Clock& earlier) const { return Clock(ticks - earlier.ticks); }
    double milliseconds() const {
        return static_cast<double>(ticks) / static_cast<double>(ticksPerMillisecond);
    }

    // Reads the counter frequency once; a missing or too slow counter is refused.
    static void initializeFrequency();

    std::int64_t ticks;
    static constinit std::int64_t ticksPerMillisecond;
};

} // namespace Stimulark
