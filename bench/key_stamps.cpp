// How close the stamps of key events come to the moment a key reached the window
// system. Another thread injects keys through the X server's test extension at
// random moments while the program spins in flip(3) waits, as an experiment does,
// and reads its events once a frame; each event's stamp is compared with the clock
// read right before its injection, and with the moment the program read it.
//
//     key_stamps [--keys N]        (on an X display; xvfb-run -a build/bench/key_stamps)

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/platform/Keyboard.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace Stimulark;

struct Figures {
    double median, p95, worst;
};

Figures figuresOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))]; };
    return {at(0.5), at(0.95), values.back()};
}

// Presses and releases F `keys` times, 20 to 70 ms apart, on a connection of its own.
void inject(int keys, std::vector<Clock>& sent, std::atomic<bool>& done) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        done = true;
        return;
    }
    const unsigned code = XKeysymToKeycode(display, XStringToKeysym("f"));
    std::mt19937 random(1);
    std::uniform_int_distribution<int> pause(20, 70);
    for (int i = 0; i < 2 * keys; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        sent.push_back(Clock());
        XTestFakeKeyEvent(display, code, i % 2 == 0, CurrentTime);
        XFlush(display);
    }
    XCloseDisplay(display);
    done = true;
}

} // namespace

int main(int argc, char** argv) {
    int keys = 100;
    if (argc == 3 && std::strcmp(argv[1], "--keys") == 0)
        keys = std::clamp(std::atoi(argv[2]), 1, 10000);
    else if (argc != 1) {
        std::fprintf(stderr, "usage: %s [--keys N]\n", argv[0]);
        return 2;
    }
    try {
        initializeToolkit();
        Canvas canvas(0);
        Keyboard::clearEvents();
        std::vector<Clock> sent, stamped, read;
        sent.reserve(static_cast<std::size_t>(2 * keys));
        std::atomic<bool> done{false};
        std::thread injector(inject, keys, std::ref(sent), std::ref(done));
        for (int idle = 0; idle < 10;) {
            canvas.clear(Color::black, BACK_BUFFER);
            canvas.flip(3);
            for (KeyEvent event{}; Keyboard::nextEvent(event);) {
                stamped.push_back(event.time);
                read.push_back(Clock());
            }
            idle = done ? idle + 1 : 0;
        }
        injector.join();
        if (sent.size() != stamped.size()) {
            std::fprintf(stderr, "key_stamps: %zu keys injected, %zu events read\n", sent.size(), stamped.size());
            return 1;
        }
        std::vector<double> stampError, readDelay;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            stampError.push_back((stamped[i] - sent[i]).milliseconds());
            readDelay.push_back((read[i] - sent[i]).milliseconds());
        }
        const Figures stamp = figuresOf(stampError), late = figuresOf(readDelay);
        std::printf("key_stamps: %zu events (%d presses, %d releases) injected during flip(3) waits\n", sent.size(),
                    keys, keys);
        std::printf("  stamp - injection:   median %.3f ms, 95th percentile %.3f ms, worst %.3f ms\n", stamp.median,
                    stamp.p95, stamp.worst);
        std::printf("  read - injection:    median %.3f ms, 95th percentile %.3f ms, worst %.3f ms\n", late.median,
                    late.p95, late.worst);
        std::printf("  lost events: %d\n", Keyboard::lostEvents());
    } catch (const Exception& failure) {
        std::fprintf(stderr, "key_stamps: %s\n", failure.fullMessage().c_str());
        return 1;
    }
    return 0;
}
