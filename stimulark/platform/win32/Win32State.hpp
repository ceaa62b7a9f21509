#pragma once

// The Win32 backend's state.
#include "stimulark/platform/Messages.hpp"

#include "stimulark/platform/win32/WindowsApi.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

namespace Stimulark {

// Tells libepoxy that a context became current on this thread, so that the GL
// functions it hands out are that context's driver's (Win32Epoxy.cpp).
void contextMadeCurrent();

struct Win32WindowRecord {
    HWND window = nullptr;
    HDC deviceContext = nullptr; // the class's own, kept for the window's life
};

struct Win32PlatformState {
    // Messages taken from Windows' queue to log their input before the program
    // reads them; a ring, so that taking them never allocates.
    static constexpr std::size_t pendingCapacity = 4096;
    std::array<MSG, pendingCapacity> pending{};
    std::size_t pendingHead = 0;
    std::size_t pendingCount = 0;

    std::array<Win32WindowRecord, 8> windows{};
    ATOM nativeClass = 0;
    bool cursorHidden = false;
    // The pointer as our windows' move messages last placed it; asking Windows
    // costs a trip to the window server, so it is asked only while no window of
    // ours has the pointer.
    bool pointerTracked = false;
    POINT pointer{};
    LARGE_INTEGER frequency{};
    // The virtual key each held key went down as, by scan code with the extended
    // bit, so that its release matches even when the layout changed in between;
    // the log sees each key before the message queue does, so it keeps its own.
    std::array<std::uint8_t, 512> heldAs{};
    std::array<std::uint8_t, 512> loggedAs{};

    Win32WindowRecord* record(WindowHandle handle) {
        if (handle == 0)
            return nullptr;
        for (auto& entry : windows)
            if (entry.window && reinterpret_cast<WindowHandle>(entry.window) == handle)
                return &entry;
        return nullptr;
    }
    HDC deviceContext(WindowHandle handle) {
        Win32WindowRecord* entry = record(handle);
        return entry ? entry->deviceContext : nullptr;
    }
};

} // namespace Stimulark
