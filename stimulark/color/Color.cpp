#include "stimulark/color/Color.hpp"

#include "stimulark/core/Exception.hpp"

namespace Stimulark {

constinit bool Color::strictMatch = false;
constinit Color::Setter Color::setter = &Color::storeInRange;

// Constant-initialised: usable from any static initialiser, whatever the link order.
constinit const Color Color::white(1.0);
constinit const Color Color::black(0.0);
constinit const Color Color::gray(0.5);
constinit const Color Color::red(1.0, 0.0, 0.0, 1.0);
constinit const Color Color::green(0.0, 1.0, 0.0, 1.0);
constinit const Color Color::blue(0.0, 0.0, 1.0, 1.0);
constinit const Color Color::cyan(0.0, 1.0, 1.0, 1.0);
constinit const Color Color::magenta(1.0, 0.0, 1.0, 1.0);
constinit const Color Color::yellow(1.0, 1.0, 0.0, 1.0);

namespace {

double inRange(double v) {
    if (!(v >= 0.0)) { // negative or not a number
        if (Color::strictMatch)
            throw Exception(typeid(Color), "STRICT MATCH FAILED", "Argument was under 0.0 .");
        return 0.0;
    }
    if (v > 1.0) {
        if (Color::strictMatch)
            throw Exception(typeid(Color), "STRICT MATCH FAILED", "Argument was over 1.0 .");
        return 1.0;
    }
    return v;
}

} // namespace

void Color::storeInRange(Color& color, double r, double g, double b, double a) {
    color.r = inRange(r);
    color.g = inRange(g);
    color.b = inRange(b);
    color.a = inRange(a);
}

} // namespace Stimulark
