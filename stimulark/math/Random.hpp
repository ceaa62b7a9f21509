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
/// Seeds both generators from `seed`, so that a run can be repeated: the same seed
/// gives the same numbers from std::rand and from dSFMT's generator.
void seedRandom(unsigned seed);

/// Halves round up for non-negative values; negative non-integers round down.
/// Values beyond int saturate; NaN gives 0.
int roundToInt(double x);

} // namespace Stimulark
