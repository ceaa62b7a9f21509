#include "stimulark/platform/posix/PosixSafeFileSupport.hpp"

#include <csignal>
#include <iterator>

namespace Stimulark::SafeFiles {

namespace {

std::mutex holding;
volatile std::sig_atomic_t noted[std::size(HeldSignals::held)] = {};

void note(int signal) {
    for (std::size_t i = 0; i < std::size(HeldSignals::held); ++i)
        if (HeldSignals::held[i] == signal)
            noted[i] = 1;
}

} // namespace

HeldSignals::HeldSignals() : turn(holding) {
    struct sigaction noting {};
    noting.sa_handler = note;
    noting.sa_flags = SA_RESTART;
    sigemptyset(&noting.sa_mask);
    for (std::size_t i = 0; i < std::size(held); ++i)
        ::sigaction(held[i], &noting, &previous[i]);
}

HeldSignals::~HeldSignals() {
    for (std::size_t i = 0; i < std::size(held); ++i)
        ::sigaction(held[i], &previous[i], nullptr);
    for (std::size_t i = 0; i < std::size(held); ++i) {
        if (noted[i]) {
            noted[i] = 0;
            ::raise(held[i]);
        }
    }
}

} // namespace Stimulark::SafeFiles
