#pragma once

#include "stimulark/platform/Messages.hpp"

#include <array>
#include <cstdint>

namespace Stimulark {

inline constexpr std::uint32_t HIGH_PRIORITY_CLASS = 0x80;
inline constexpr std::uint32_t NORMAL_PRIORITY_CLASS = 0x20;
inline constexpr std::uint32_t BELOW_NORMAL_PRIORITY_CLASS = 0x4000;
inline constexpr std::uint32_t IDLE_PRIORITY_CLASS = 0x40;

// What the process entry was handed, and the names of the toolkit's window class.
class APIApplicationProperties {
public:
    constexpr APIApplicationProperties() = default;

    // Applies the normal priority and records the calling thread.
    void initialize();
    void initialize(int argc, char** argv);

    const void* instance = nullptr;
    const void* previousInstance = nullptr;
    const char* commandLine = "";
    int showCommand = 1;
    int argumentCount = 0;
    char** arguments = nullptr;
    std::array<std::uint32_t, 5> priorityClasses{HIGH_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS,
                                                 BELOW_NORMAL_PRIORITY_CLASS, IDLE_PRIORITY_CLASS,
                                                 IDLE_PRIORITY_CLASS};
    const char* windowClassName = "StimularkWindow";
    const char* applicationName = "Stimulark Application";
    std::uint64_t mainThreadId = 0;
};

// Constant-initialised, so it is usable from any static initialiser.
extern constinit APIApplicationProperties applicationProperties;

// The canvas window's procedure: close and destroy both ask the program to quit.
std::intptr_t windowProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam);

// Handles at most one window message, then refreshes keyboard and mouse. A quit,
// close or destroy message ends the process with exit code 1, after running
// closeRequestHandler once where one is set; while it runs, such messages are
// ignored.
void pumpMessage();

// Set by atCloseRequest (the entry's layer, which reports what escapes it).
inline void (*closeRequestHandler)() = nullptr;

} // namespace Stimulark
