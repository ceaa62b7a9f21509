#include "stimulark/math/Random.hpp"

#include <dSFMT.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace Stimulark {

void seedRandom() { seedRandom(static_cast<unsigned>(std::time(nullptr))); }

void seedRandom(unsigned seed) {
    std::srand(seed);
    init_gen_rand(static_cast<std::uint32_t>(seed));
}

int roundToInt(double x) {
    double whole = 0.0;
    const double fraction = std::modf(x, &whole);
    const double rounded = fraction >= 0.5 ? std::ceil(x) : std::floor(x);
    // Converting a value outside int is undefined: saturate, and give 0 for NaN.
    if (!(rounded >= static_cast<double>(std::numeric_limits<int>::min())))
        return rounded < 0.0 ? std::numeric_limits<int>::min() : 0;
    if (rounded > static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}

} // namespace Stimulark
