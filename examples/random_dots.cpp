// A random-dot kinematogram: 400 white dots in a disc, a quarter of them moving right
// together and the rest in random directions, each living 10 frames, around a red
// fixation dot in a ring. Until Escape; the dots are drawn in one call a frame.

#include "stimulark/stimulark.hpp"

#include <cmath>
#include <random>
#include <vector>

// Rectangle, BYTE and FLOAT are windows.h's names too, KeyCode and Drawable
// X11's: written in full, they stay unambiguous beside those headers.
using namespace Stimulark;

void applicationMain() {
    Canvas canvas(0);
    canvas.measureRefreshRate();
    const double cx = canvas.getCenterX(), cy = canvas.getCenterY();
    const double fieldRadius = 200.0, speed = 3.0, coherence = 0.25; // pixels a frame; the moving share
    const int lifetime = 10;                                            // frames

    std::mt19937 random(2026);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    struct Moving {
        Point at;
        double direction; // radians; 0 is to the right
        int age;
    };
    const auto newDot = [&](int age) {
        const double r = fieldRadius * std::sqrt(unit(random)), a = 2 * PI * unit(random);
        return Moving{{cx + r * std::cos(a), cy + r * std::sin(a)}, 2 * PI * unit(random), age};
    };
    std::vector<Moving> dots;
    for (int i = 0; i < 400; ++i)
        dots.push_back(newDot(i % lifetime));
    std::vector<Point> centres(dots.size());

    while (!Keyboard::query(KEY_ESCAPE, PUSHED)) {
        for (std::size_t i = 0; i < dots.size(); ++i) {
            Moving& dot = dots[i];
            if (++dot.age >= lifetime || std::hypot(dot.at.x - cx, dot.at.y - cy) > fieldRadius)
                dot = newDot(0);
            const double direction = i < coherence * dots.size() ? 0.0 : dot.direction;
            dot.at.x += speed * std::cos(direction);
            dot.at.y += speed * std::sin(direction);
            centres[i] = dot.at;
        }
        canvas.clear(Color::black, BACK_BUFFER);
        canvas.drawDots(centres, 4.0, Color::white);
        canvas.frameOval(Stimulark::Rectangle(12.0, 12.0).centerAt(cx, cy), 1.5, Color::gray);
        canvas.fillOval(Stimulark::Rectangle(6.0, 6.0).centerAt(cx, cy), Color::red);
        canvas.flip(1);
    }
}
