#pragma once

#include <type_traits>

namespace Stimulark {

// Red, green, blue and alpha, each always within 0.0..1.0. Every constructor and
// set() goes through the class-wide store routine, which clamps (or, in strict
// mode, refuses) out-of-range values.
class Color {
public:
    using Setter = void (*)(Color& color, double r, double g, double b, double a);

    constexpr Color() { store(0.0, 0.0, 0.0, 1.0); }
    constexpr Color(double r, double g, double b, double a) { store(r, g, b, a); }
    constexpr explicit Color(double gray) { store(gray, gray, gray, 1.0); }

    void set(double r, double g, double b, double a) { setter(*this, r, g, b, a); }

    // Clamps into range, or throws "STRICT MATCH FAILED" while strictMatch is on.
    // Components are stored one at a time, in the order r, g, b, a.
    static void storeInRange(Color& color, double r, double g, double b, double a);

    static constinit bool strictMatch;
    static constinit Setter setter;

    static const Color white, black, gray, red, green, blue, cyan, magenta, yellow;

    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    double a = 1.0;

private:
    static constexpr double clamp(double v) { return v >= 0.0 ? (v > 1.0 ? 1.0 : v) : 0.0; }

    // Constant initialisation runs before any replacement of the setter is possible
    // and with strict mode off, so clamping is then exactly what the setter does.
    constexpr void store(double r_, double g_, double b_, double a_) {
        if (std::is_constant_evaluated()) {
            r = clamp(r_);
            g = clamp(g_);
            b = clamp(b_);
            a = clamp(a_);
        } else {
            setter(*this, r_, g_, b_, a_);
        }
    }
};

} // namespace Stimulark
