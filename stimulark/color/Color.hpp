#pragma once

/// \file
/// Colours: red, green, blue and alpha within 0.0..1.0.

#include <type_traits>

namespace Stimulark {

/// Red, green, blue and alpha, each always within 0.0..1.0. Every constructor and
/// set() goes through the class-wide store routine, which clamps (or, in strict
/// mode, refuses) out-of-range values.
class Color {
public:
    /// The class-wide store routine's type; see setter.
    using Setter = void (*)(Color& color, double r, double g, double b, double a);

    /// Opaque black.
    constexpr Color() { store(0.0, 0.0, 0.0, 1.0); }
    /// The components as given, brought into range.
    constexpr Color(double redValue, double greenValue, double blueValue, double alphaValue) {
        store(redValue, greenValue, blueValue, alphaValue);
    }
    /// Opaque grey: `level` for red, green and blue.
    constexpr explicit Color(double level) { store(level, level, level, 1.0); }

    /// Stores the components through setter.
    void set(double redValue, double greenValue, double blueValue, double alphaValue) {
        setter(*this, redValue, greenValue, blueValue, alphaValue);
    }

    /// Clamps into range, or throws "STRICT MATCH FAILED" while strictMatch is on.
    /// Components are stored one at a time, in the order r, g, b, a. NaN counts as
    /// below range.
    static void storeInRange(Color& color, double r, double g, double b, double a);

    /// Refuses out-of-range components instead of clamping them; off by default.
    ///
    /// On, out-of-range components throw "STRICT MATCH FAILED"
    /// ("Argument was under 0.0 ." or "Argument was over 1.0 .") instead of being
    /// clamped; the components stored before the refused one keep their new values.
    /// Colours made at compile time are always clamped.
    static constinit bool strictMatch;
    /// The store routine of every run-time constructor and of set(); storeInRange
    /// unless a program replaces it.
    static constinit Setter setter;

    /** @{ */
    /// Opaque named colours; gray is 0.5. Usable from any static initialiser.
    static const Color white, black, gray, red, green, blue, cyan, magenta, yellow;
    /** @} */

    /** @{ */
    /// The components, 0.0 to 1.0. The constructors and set() bring them into range;
    /// written directly, they are not checked.
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    double a = 1.0;
    /** @} */

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
