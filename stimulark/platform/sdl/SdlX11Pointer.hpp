#pragma once

namespace Stimulark {

// The pointer's position on the X display, asked of the server. SDL keeps its own
// copy of the global position only from device input, so it misses a pointer that
// another program warped.
class X11Pointer {
public:
    X11Pointer() = default;
    ~X11Pointer();
    X11Pointer(const X11Pointer&) = delete;
    X11Pointer& operator=(const X11Pointer&) = delete;

    // False when the display cannot be opened or the pointer is on another screen.
    bool query(int& x, int& y);

private:
    void* display_ = nullptr; // a Display*, opened on first query
    bool failed_ = false;
};

} // namespace Stimulark
