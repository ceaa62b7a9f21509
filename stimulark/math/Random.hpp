#pragma once

namespace Stimulark {

// The toolkit's value of pi, as experiments written on it have always used it.
inline constexpr double PI = 3.14159265358979;

// Seeds the C library's generator and dSFMT from the calendar time.
void seedRandom();

// Halves round up for non-negative values; negative non-integers round down.
int roundToInt(double x);

} // namespace Stimulark
