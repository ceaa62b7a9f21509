// Frame times of stimuli drawn by the toolkit and, side by side in the same run, by a
// minimal OpenGL program (SDL2 and OpenGL 3.3, one shader and one draw per stimulus),
// which stands for the renderer's limit. A frame's time is its drawing and glFinish,
// from the clear on; the swap is left out, and the toolkit's flip is reported apart.
//
//     stimulus_frames [--frames N] [STIMULUS...]
//
// Stimuli: clear (nothing drawn), dots_10000_s4_t2 (10,000 round anti-aliased dots of
// 4 px, white, drifting 2 px a frame to the right and wrapping). Positions come from
// the minimal standard generator (std::minstd_rand0), x then y, from seed 2. Each is
// drawn for 20 frames unmeasured, then N (200) measured; the median is printed.

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/geometry/Point.hpp"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace Stimulark;
using Steady = std::chrono::steady_clock;

constexpr int screenWidth = 1024, screenHeight = 768, warmUp = 20;
constexpr float background = 128.0F / 255.0F;

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

double millisecondsSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// The dots of the benchmark, and their drift.
struct DotField {
    std::vector<Point> dots;
    explicit DotField(int count) {
        std::minstd_rand0 random(2);
        const auto uniform = [&] { return static_cast<double>(random()) / 2147483647.0; };
        for (int i = 0; i < count; ++i) {
            const double x = 1024.0 * uniform();
            dots.push_back({x, 768.0 * uniform()});
        }
    }
    void drift() {
        for (Point& p : dots)
            p.x = std::fmod(p.x + 2.0, 1024.0);
    }
};

// The minimal program: its own window and context, one program per stimulus.
class Minimal {
public:
    Minimal() {
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        // The buffers a canvas has, so that clearing them costs the same.
        for (const SDL_GLattr size : {SDL_GL_RED_SIZE, SDL_GL_GREEN_SIZE, SDL_GL_BLUE_SIZE, SDL_GL_ALPHA_SIZE})
            SDL_GL_SetAttribute(size, 8);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
        window_ = SDL_CreateWindow("minimal", 0, 0, screenWidth, screenHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS);
        context_ = window_ ? SDL_GL_CreateContext(window_) : nullptr;
        if (!context_) {
            std::fprintf(stderr, "stimulus_frames: the minimal program has no OpenGL 3.3: %s\n", SDL_GetError());
            std::exit(1);
        }
        SDL_GL_SetSwapInterval(0);
        glGenVertexArrays(1, &array_);
        glBindVertexArray(array_);
        glGenBuffers(1, &buffer_);
    }
    ~Minimal() {
        glDeleteBuffers(1, &buffer_);
        glDeleteVertexArrays(1, &array_);
        SDL_GL_DeleteContext(context_);
        SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    // Frame times of `draw` after a clear to the background, and the swap after each.
    std::vector<double> frames(int count, const std::function<void()>& draw) {
        std::vector<double> times;
        for (int i = -warmUp; i < count; ++i) {
            const auto start = Steady::now();
            glClearColor(background, background, background, 1.0F);
            glClear(GL_COLOR_BUFFER_BIT);
            draw();
            glFinish();
            if (i >= 0)
                times.push_back(millisecondsSince(start));
            SDL_GL_SwapWindow(window_);
        }
        return times;
    }
    // Round dots as point sprites of the diameter and a pixel more, the edge a
    // one-pixel ramp of the distance to the centre.
    std::vector<double> dots(int count) {
        const GLuint program = build(R"(#version 330 core
layout(location = 0) in vec2 position;
uniform float diameter;
out vec2 centre;
void main() {
    centre = position + 0.5;
    gl_Position = vec4(2.0 * (position.x + 0.5) / 1024.0 - 1.0, 1.0 - 2.0 * (position.y + 0.5) / 768.0, 0.0, 1.0);
    gl_PointSize = diameter + 1.0;
})",
                                     R"(#version 330 core
in vec2 centre;
uniform float diameter;
out vec4 fragment;
void main() {
    vec2 p = vec2(gl_FragCoord.x, 768.0 - gl_FragCoord.y);
    float coverage = clamp(diameter * 0.5 + 0.5 - distance(p, centre), 0.0, 1.0);
    fragment = vec4(1.0, 1.0, 1.0, coverage);
})");
        glUseProgram(program);
        glUniform1f(glGetUniformLocation(program, "diameter"), 4.0F);
        glEnable(GL_PROGRAM_POINT_SIZE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBindBuffer(GL_ARRAY_BUFFER, buffer_);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
        DotField field(10000);
        std::vector<float> positions;
        const std::vector<double> times = frames(count, [&] {
            positions.clear();
            for (const Point& p : field.dots) {
                positions.push_back(static_cast<float>(p.x));
                positions.push_back(static_cast<float>(p.y));
            }
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(positions.size() * sizeof(float)), positions.data(),
                         GL_STREAM_DRAW);
            glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(field.dots.size()));
            field.drift();
        });
        glDisable(GL_BLEND);
        glDeleteProgram(program);
        return times;
    }

private:
    static GLuint build(const char* vertex, const char* fragment) {
        const GLuint program = glCreateProgram();
        for (const auto& [stage, source] : {std::pair{GL_VERTEX_SHADER, vertex}, {GL_FRAGMENT_SHADER, fragment}}) {
            const GLuint shader = glCreateShader(stage);
            glShaderSource(shader, 1, &source, nullptr);
            glCompileShader(shader);
            glAttachShader(program, shader);
            glDeleteShader(shader);
        }
        glLinkProgram(program);
        return program;
    }
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    GLuint array_ = 0, buffer_ = 0;
};

// The toolkit: a canvas, its clear, its calls, and flip after each frame.
std::vector<double> toolkitFrames(Canvas& canvas, int count, const std::function<void()>& draw,
                                  std::vector<double>& flips) {
    std::vector<double> times;
    for (int i = -warmUp; i < count; ++i) {
        const auto start = Steady::now();
        canvas.clear(Color(128.0 / 255.0), BACK_BUFFER);
        draw();
        glFinish();
        if (i >= 0)
            times.push_back(millisecondsSince(start));
        const auto flipStart = Steady::now();
        canvas.flip(1);
        if (i >= 0)
            flips.push_back(millisecondsSince(flipStart));
    }
    return times;
}

} // namespace

int main(int argc, char** argv) {
    int count = 200;
    std::vector<std::string> wanted;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            count = std::max(1, std::atoi(argv[++i]));
        else
            wanted.emplace_back(argv[i]);
    }
    if (wanted.empty())
        wanted = {"clear", "dots_10000_s4_t2"};

    std::vector<std::pair<std::string, double>> minimal;
    {
        Minimal program;
        for (const std::string& name : wanted)
            minimal.emplace_back(name, median(name == "clear" ? program.frames(count, [] {}) : program.dots(count)));
    }

    initializeToolkit();
    Canvas canvas(0);
    canvas.setSwapInterval(0); // as fast as the renderer goes, as the minimal program swaps
    std::printf("%-22s %12s %12s %8s %14s\n", "stimulus", "toolkit ms", "minimal ms", "ratio", "toolkit flip ms");
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        std::vector<double> flips;
        DotField field(10000);
        const std::vector<double> times =
            wanted[i] == "clear" ? toolkitFrames(canvas, count, [] {}, flips)
                                 : toolkitFrames(canvas, count, [&] {
                                       canvas.drawDots(field.dots, 4.0, Color::white);
                                       field.drift();
                                   }, flips);
        const double ours = median(times);
        std::printf("%-22s %12.3f %12.3f %8.2f %14.3f\n", wanted[i].c_str(), ours, minimal[i].second,
                    ours / minimal[i].second, median(flips));
    }
    return 0;
}
