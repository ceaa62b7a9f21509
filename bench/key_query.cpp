// Times Keyboard::query with nothing queued, on the full-screen canvas, the way a
// frame loop pays for it: alone (a program that only polls), and 32 queries after
// each flip(1). Built for every platform, Google Benchmark being Linux-only here.
//
//     key_query [--queries N]

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/platform/Clock.hpp"
#include "stimulark/platform/Keyboard.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

using namespace Stimulark;

constexpr int queriesPerFrame = 32;

double microsecondsPerQuery(int queries) {
    const Clock start = Clock();
    int pressed = 0;
    for (int i = 0; i < queries; ++i)
        pressed += Keyboard::query(KEY_ESCAPE, PUSHED) ? 1 : 0;
    const double elapsed = (Clock() - start).milliseconds() * 1000.0;
    if (pressed > 0)
        std::printf("(Escape was pressed %d times)\n", pressed);
    return elapsed / queries;
}

int run(int queries) {
    initializeToolkit();
    Canvas canvas(0);
    canvas.clear(Color::gray, BACK_BUFFER);
    canvas.flip(1);
    microsecondsPerQuery(1000); // the first queries take the window's start-up messages
    std::printf("key query, polling only: %.3f us (%d queries)\n", microsecondsPerQuery(queries), queries);

    const int frames = queries / queriesPerFrame > 0 ? queries / queriesPerFrame : 1;
    double total = 0.0;
    for (int frame = 0; frame < frames; ++frame) {
        canvas.clear(Color::gray, BACK_BUFFER);
        canvas.flip(1);
        total += microsecondsPerQuery(queriesPerFrame);
    }
    std::printf("key query, %d after each flip(1): %.3f us (%d frames)\n", queriesPerFrame, total / frames, frames);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int queries = 200000;
    if (argc == 3 && std::strcmp(argv[1], "--queries") == 0) {
        // strtol, unlike atoi, tells trailing text and numbers past long's range.
        char* end = nullptr;
        const long value = std::strtol(argv[2], &end, 10);
        if (end == argv[2] || *end != '\0' || value < 1 || value > 100000000) {
            std::fprintf(stderr, "key_query: --queries must be a whole number from 1 to 100000000\n");
            return 2;
        }
        queries = static_cast<int>(value);
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: key_query [--queries N]\n");
        return 2;
    }
    try {
        return run(queries);
    } catch (const Exception& e) {
        std::fprintf(stderr, "key_query: %s\n", e.fullMessage().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "key_query: %s\n", e.what());
    }
    return 1;
}
