#pragma once

#include <cstdint>

struct SDL_SysWMmsg;
struct SDL_Window;

namespace Stimulark {

// The X server's time of a key or button event that SDL hands over as a system
// event; false for every other event, and off X11.
bool x11InputTime(const SDL_SysWMmsg* message, std::uint32_t& serverMilliseconds);

// The X server stamps events in milliseconds of the monotonic clock, cut to 32 bits.
// Turns such a stamp into nanoseconds of that clock, given the clock now: the middle
// of its millisecond, never later than now. A stamp from the future or more than ten
// minutes old cannot be on this clock (a server on another machine): then -1.
std::int64_t serverTimeToMonotonic(std::uint32_t serverMilliseconds, std::int64_t nowNanoseconds);

// A round trip to the X server on the window's connection, so that every event the
// server made before it has reached the connection; nothing off X11.
void syncX11(SDL_Window* window);

} // namespace Stimulark
