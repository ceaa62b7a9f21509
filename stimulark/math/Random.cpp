#include "stimulark/math/Random.hpp"

#include <dSFMT.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace Stimulark {

void seedRandom() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    init_gen_rand(static_cast<std::uint32_t>(std::time(nullptr)));
}

int roundToInt(double x) {
    double whole = 0.0;
    const double fraction = std::modf(x, &whole);
    return static_cast<int>(fraction >= 0.5 ? std::ceil(x) : std::floor(x));
}

} // namespace Stimulark
