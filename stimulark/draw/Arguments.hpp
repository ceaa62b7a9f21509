#pragma once

#include "stimulark/core/Exception.hpp"

#include <cmath>
#include <string>
#include <typeinfo>

namespace Stimulark {

// Throws "<source> [ARGUMENT ERROR] <argument> is out of range." unless `inRange`.
inline void checkArgument(const std::type_info& source, bool inRange, const char* argument) {
    if (!inRange)
        throw Exception(source, "ARGUMENT ERROR", (std::string(argument) + " is out of range.").c_str());
}

// Stimuli go to the GPU in single precision: their numbers must be finite and, where a
// pixel's distance is computed from them, far inside float's range. No display is a
// billion pixels wide.
inline bool moderate(double value) { return std::isfinite(value) && std::abs(value) <= 1.0e9; }

} // namespace Stimulark
