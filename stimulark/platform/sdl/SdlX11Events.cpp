#include "stimulark/platform/sdl/SdlX11Events.hpp"

#include <SDL_syswm.h>

namespace Stimulark {

bool x11InputTime(const SDL_SysWMmsg* message, std::uint32_t& serverMilliseconds) {
    if (message == nullptr || message->subsystem != SDL_SYSWM_X11)
        return false;
    const XEvent& event = message->msg.x11.event;
    switch (event.type) {
    case KeyPress:
    case KeyRelease: serverMilliseconds = static_cast<std::uint32_t>(event.xkey.time); return true;
    case ButtonPress:
    case ButtonRelease: serverMilliseconds = static_cast<std::uint32_t>(event.xbutton.time); return true;
    default: return false;
    }
}

std::int64_t serverTimeToMonotonic(std::uint32_t serverMilliseconds, std::int64_t nowNanoseconds) {
    constexpr std::int64_t millisecond = 1'000'000;
    constexpr std::uint32_t oldest = 10 * 60 * 1000;
    if (nowNanoseconds < 0)
        return -1;
    const std::int64_t nowMilliseconds = nowNanoseconds / millisecond;
    const std::uint32_t age = static_cast<std::uint32_t>(nowMilliseconds) - serverMilliseconds;
    if (age > oldest || age > nowMilliseconds)
        return -1;
    const std::int64_t stamp = (nowMilliseconds - age) * millisecond + millisecond / 2;
    return stamp < nowNanoseconds ? stamp : nowNanoseconds;
}

void syncX11(SDL_Window* window) {
    SDL_SysWMinfo info{};
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11 && info.info.x11.display)
        XSync(info.info.x11.display, False);
}

} // namespace Stimulark
