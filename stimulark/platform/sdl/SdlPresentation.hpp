#pragma once

#include "stimulark/platform/Presentation.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

struct SDL_Window;

namespace Stimulark {

// Reports that have arrived and wait to be taken. Fixed, so that an answer costs
// no allocation; when it is full the oldest report goes.
class ReportRing {
public:
    static constexpr std::size_t capacity = 128;

    void push(const PresentationReport& report) {
        reports_[(head_ + count_) % capacity] = report;
        if (count_ < capacity)
            ++count_;
        else
            head_ = (head_ + 1) % capacity;
    }
    std::size_t take(PresentationReport* out, std::size_t max) {
        std::size_t taken = 0;
        for (; taken < max && count_ > 0; ++taken, --count_, head_ = (head_ + 1) % capacity)
            out[taken] = reports_[head_];
        return taken;
    }
    bool empty() const { return count_ == 0; }

private:
    std::array<PresentationReport, capacity> reports_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

// One window's link to what its window system says about shown frames, made at
// the window's first request and destroyed before the window.
class PresentationReporter {
public:
    virtual ~PresentationReporter() = default;
    // Right before the window's swap: the PresentationSource bits that will answer.
    virtual unsigned request(std::uint64_t swap, unsigned sources) = 0;
    // Right after the window's swap; `shown`: the window was not hidden.
    virtual void swapped(bool /*shown*/) {}
    // Takes what has arrived; waits for a report until the monotonic clock reaches
    // `deadline` (nanoseconds) while none has.
    virtual std::size_t take(PresentationReport* out, std::size_t max, std::int64_t deadline) = 0;
};

// Null where the window's system offers nothing to ask.
std::unique_ptr<PresentationReporter> makeWaylandReporter(SDL_Window* window);
std::unique_ptr<PresentationReporter> makeGlxReporter(SDL_Window* window);

// CLOCK_MONOTONIC in nanoseconds, the counter's unit.
std::int64_t monotonicNanoseconds();

// A frame callback's 32-bit milliseconds of the monotonic clock, placed within
// 2^31 ms either side of `now` (nanoseconds), in the middle of its millisecond.
std::int64_t repaintMillisecondsToTicks(std::uint32_t milliseconds, std::int64_t now);

} // namespace Stimulark
