#pragma once

namespace Stimulark {

class ClipCounter;

// A 32-bit float drawing buffer of the canvas's size, and its conversion to the window's
// 8-bit back buffer. Made in the canvas's context and deleted with it.
class FloatBuffer {
public:
    // Refuses with "API ERROR" where the display cannot draw into float buffers.
    FloatBuffer(int width, int height);
    ~FloatBuffer();
    FloatBuffer(const FloatBuffer&) = delete;
    FloatBuffer& operator=(const FloatBuffer&) = delete;

    // Drawing goes into the float buffer.
    void bind() const;
    // Takes in what the window's back buffer holds, so that turning the buffer on loses
    // nothing drawn.
    void takeBackBuffer() const;
    // Converts into the window's back buffer, which it leaves bound for drawing; with a
    // counter, counts the pixels with a channel out of range, in the buffer's own
    // atomic counter where the display has one, else in the counter's queries.
    void convert(bool dither, ClipCounter* counter) const;
    // The pixels the conversions counted in the atomic counter since the last call; read
    // after glFinish, so that it never waits.
    long long takeClipped();

private:
    int width_, height_;
    unsigned framebuffer_ = 0, texture_ = 0, program_ = 0, array_ = 0, atomics_ = 0;
    int dither_ = -1, countOnly_ = -1, counting_ = -1, source_ = -1;
};

} // namespace Stimulark
