#pragma once

// Free of GL headers, so that the fixed-function files may include it beside <GL/gl.h>.

namespace Stimulark::Gl {

// While it lives, drawing goes to the window's own buffers, where the canvas may be drawing
// into a float buffer; the canvas's target is bound again after.
class WindowBuffers {
public:
    WindowBuffers();
    ~WindowBuffers();
    WindowBuffers(const WindowBuffers&) = delete;
    WindowBuffers& operator=(const WindowBuffers&) = delete;

private:
    int previous_ = 0;
};

} // namespace Stimulark::Gl
