#pragma once

/// \file
/// The toolkit's pi, seeding and rounding.

namespace Stimulark {

/// The toolkit's pi, a little below the true value; rotations and circles use it.
inline constexpr double PI = 3.14159265358979;

/// Seeds the C library's generator and dSFMT from the calendar time, in whole
/// seconds: programs started within the same second draw the same numbers.
/// initializeToolkit calls it.
void seedRandom();

/// Halves round up for non-negative values; negative non-integers round down.
/// Values beyond int saturate; NaN gives 0.
int roundToInt(double x);

} // namespace Stimulark
