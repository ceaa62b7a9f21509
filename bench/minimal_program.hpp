#pragma once

// The minimal program of stimulus_frames: SDL2 and OpenGL 3.3 core, one shader and one
// draw per stimulus, the least GL work that draws it. It stands for the renderer's limit.

#include <SDL.h>
#include <epoxy/gl.h>

#include <functional>
#include <vector>

namespace StimulusBench {

class Minimal {
public:
    Minimal();
    ~Minimal();
    Minimal(const Minimal&) = delete;
    Minimal& operator=(const Minimal&) = delete;
    void makeCurrent();

    // Frame times of `draw` after a clear to the background (unless it draws the whole
    // window itself), and the swap after each.
    std::vector<double> frames(int count, const std::function<void(int frame)>& draw, bool clearWindow = true);
    // Round dots as point sprites a pixel wider than the diameter, each pixel the disc's
    // coverage worked out as the toolkit works it out.
    std::vector<double> dots(int count);
    // Gabor patches in one instanced draw, their places in a static buffer and the phase
    // a uniform; opaque, or added into an RGBA32F framebuffer blitted to the back buffer.
    std::vector<double> gabors(int count, int patches, bool addFloat);
    // A full-screen sine grating, 0.05 cycles per pixel at contrast 0.5, drifting 18
    // degrees a frame.
    std::vector<double> grating(int count);
    // 256 x 256 uniform levels from minstd each frame, uploaded into a fresh GL_R8 texture
    // and drawn at twice the size, nearest, centred.
    std::vector<double> noise(int count);

private:
    static GLuint build(const char* vertex, const char* fragment);
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    GLuint array_ = 0, buffer_ = 0;
};

} // namespace StimulusBench
