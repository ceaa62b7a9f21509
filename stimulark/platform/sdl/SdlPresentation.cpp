#include "stimulark/platform/sdl/SdlPresentation.hpp"

#include "stimulark/platform/sdl/SdlPlatform.hpp"
#include "stimulark/platform/sdl/SdlState.hpp"

#include <time.h>

namespace Stimulark {

std::int64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::int64_t repaintMillisecondsToTicks(std::uint32_t milliseconds, std::int64_t now) {
    constexpr std::int64_t millisecond = 1'000'000;
    const std::int64_t nowMilliseconds = now / millisecond;
    const auto behind = static_cast<std::int32_t>(static_cast<std::uint32_t>(nowMilliseconds) - milliseconds);
    return (nowMilliseconds - behind) * millisecond + millisecond / 2;
}

// SDL 2.26 skips a hidden window's swap on Wayland without a commit, and requests
// made for it would be answered for a later swap; nothing is asked then.
unsigned SdlPlatform::requestPresentationReports(WindowHandle window, std::uint64_t swap, unsigned sources) {
    SdlWindowRecord* record = state_->window(window);
    if (!record || !record->window || sources == 0 || (SDL_GetWindowFlags(record->window) & SDL_WINDOW_HIDDEN))
        return 0;
    if (!record->reporterTried) {
        record->reporterTried = true;
        const char* driver = SDL_GetCurrentVideoDriver();
        if (state_->onX11)
            record->reporter = makeGlxReporter(record->window);
        else if (driver && SDL_strcmp(driver, "wayland") == 0)
            record->reporter = makeWaylandReporter(record->window);
    }
    return record->reporter ? record->reporter->request(swap, sources) : 0;
}

std::size_t SdlPlatform::takePresentationReports(WindowHandle window, PresentationReport* out, std::size_t max,
                                                 std::int64_t deadline) {
    SdlWindowRecord* record = state_->window(window);
    if (!record || !record->reporter || !out)
        return 0;
    return record->reporter->take(out, max, deadline);
}

} // namespace Stimulark
