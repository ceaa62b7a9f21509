#pragma once

/// \file
/// Readings of the high-resolution counter.

#include <cstdint>

namespace Stimulark {

/// One reading of the high-resolution counter; differences give milliseconds.
///
/// \code{.cpp}
/// const Clock start;
/// // ...
/// const double ms = (Clock() - start).milliseconds();
/// \endcode
class Clock {
public:
    /// Reads the counter now.
    Clock();
    /// A reading or span of `count` counter ticks.
    constexpr explicit Clock(std::int64_t count) : ticks(count) {}

    /// Reads the counter again.
    void update();
    /// The span from `earlier` to this reading.
    constexpr Clock operator-(const Clock& earlier) const { return Clock(ticks - earlier.ticks); }
    /// The ticks in milliseconds: meaningful for a span, and only once
    /// initializeFrequency has run.
    double milliseconds() const {
        return static_cast<double>(ticks) / static_cast<double>(ticksPerMillisecond);
    }

    /// Reads the counter frequency once; a missing or too slow counter is refused.
    /// Below 1000 ticks per second it throws "HARDWARE NOT SUPPORTED".
    /// initializeToolkit calls it.
    static void initializeFrequency();

    /// Counter ticks; on Linux, nanoseconds of the monotonic clock.
    std::int64_t ticks;
    /// 0 until initializeFrequency has run.
    static constinit std::int64_t ticksPerMillisecond;
};

} // namespace Stimulark
