#include "minimal_program.hpp"

#include "stimulus_layouts.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <random>
#include <utility>

namespace StimulusBench {

namespace {

// The four corners of a box, from the vertex's number, for a triangle strip.
constexpr const char* boxCorner = "vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));\n";

} // namespace

Minimal::Minimal() {
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

void Minimal::makeCurrent() { SDL_GL_MakeCurrent(window_, context_); }

Minimal::~Minimal() {
    glDeleteBuffers(1, &buffer_);
    glDeleteVertexArrays(1, &array_);
    SDL_GL_DeleteContext(context_);
    SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::vector<double> Minimal::frames(int count, const std::function<void(int)>& draw, bool clearWindow) {
    std::vector<double> times;
    glClearColor(background, background, background, 1.0F);
    for (int i = -warmUp; i < count; ++i) {
        const auto start = Steady::now();
        if (clearWindow)
            glClear(GL_COLOR_BUFFER_BIT);
        draw(i + warmUp);
        glFinish();
        if (i >= 0)
            times.push_back(millisecondsSince(start));
        SDL_GL_SwapWindow(window_);
    }
    return times;
}

GLuint Minimal::build(const char* vertex, const char* fragment) {
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

std::vector<double> Minimal::dots(int count) {
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
    // The same pixels as the toolkit's: the disc's coverage by four rows across the pixel.
    vec2 d = vec2(gl_FragCoord.x, 768.0 - gl_FragCoord.y) - centre;
    float r = 0.5 * diameter, sum = 4.0;
    vec2 far = abs(d) + 0.5;
    if (dot(far, far) > r * r) {
        sum = 0.0;
        for (int k = 0; k < 4; ++k) {
            float y = d.y - 0.5 + (float(k) + 0.5) * 0.25, across = r * r - y * y;
            if (across > 0.0)
                sum += max(0.0, min(sqrt(across), d.x + 0.5) - max(-sqrt(across), d.x - 0.5));
        }
    }
    if (sum <= 0.0)
        discard;
    fragment = vec4(1.0, 1.0, 1.0, sum / 4.0);
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
    const std::vector<double> times = frames(count, [&](int) {
        positions.clear();
        for (const Stimulark::Point& p : field.dots) {
            positions.push_back(static_cast<float>(p.x));
            positions.push_back(static_cast<float>(p.y));
        }
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(positions.size() * sizeof(float)), positions.data(),
                     GL_STREAM_DRAW);
        glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(field.dots.size()));
        field.drift();
    });
    glDisableVertexAttribArray(0);
    glDisable(GL_BLEND);
    glDeleteProgram(program);
    return times;
}

std::vector<double> Minimal::gabors(int count, int patches, bool addFloat) {
    const std::string vertex = std::string(R"(#version 330 core
layout(location = 0) in vec3 patch; // centre and orientation in radians
flat out vec4 placement;
void main() {
)") + boxCorner + R"(
    placement = vec4(patch.xy, cos(patch.z), sin(patch.z));
    vec2 p = patch.xy - 32.0 + 64.0 * corner; // pixel edges, y down
    gl_Position = vec4(2.0 * p.x / 1024.0 - 1.0, 1.0 - 2.0 * p.y / 768.0, 0.0, 1.0);
})";
    const GLuint program = build(vertex.c_str(), R"(#version 330 core
flat in vec4 placement;
uniform float phase;
uniform float offset;
out vec4 fragment;
void main() {
    vec2 d = vec2(gl_FragCoord.x - 0.5, 767.5 - gl_FragCoord.y) - placement.xy;
    float along = d.x * placement.z + d.y * placement.w;
    float g = 0.25 * sin(0.62831853 * along + phase) * exp(-dot(d, d) / 128.0);
    fragment = vec4(vec3(offset + g), offset);
})");
    const GaborLayout layout(patches);
    std::vector<float> places;
    for (const GaborLayout::Patch& p : layout.patches)
        for (const double v : {p.x, p.y, p.orientation * pi / 180.0})
            places.push_back(static_cast<float>(v));
    glUseProgram(program);
    glUniform1f(glGetUniformLocation(program, "offset"), addFloat ? 0.0F : background);
    const GLint phase = glGetUniformLocation(program, "phase");
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(places.size() * sizeof(float)), places.data(),
                 GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glVertexAttribDivisor(0, 1);
    GLuint framebuffer = 0, texture = 0;
    if (addFloat) {
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, screenWidth, screenHeight, 0, GL_RGBA, GL_FLOAT, nullptr);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glBlendFunc(GL_ONE, GL_ONE);
    }
    const std::vector<double> times = frames(count, [&](int frame) {
        glUniform1f(phase, static_cast<float>(std::fmod(10.0 * frame, 360.0) * pi / 180.0));
        if (addFloat) {
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
            glClear(GL_COLOR_BUFFER_BIT);
            glEnable(GL_BLEND);
        }
        glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, patches);
        if (addFloat) {
            glDisable(GL_BLEND);
            glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
            glBlitFramebuffer(0, 0, screenWidth, screenHeight, 0, 0, screenWidth, screenHeight, GL_COLOR_BUFFER_BIT,
                              GL_NEAREST);
            glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        }
    }, !addFloat);
    glVertexAttribDivisor(0, 0);
    glDisableVertexAttribArray(0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
    glDeleteProgram(program);
    return times;
}

std::vector<double> Minimal::grating(int count) {
    const std::string vertex = std::string("#version 330 core\nvoid main() {\n") + boxCorner +
                               "gl_Position = vec4(2.0 * corner - 1.0, 0.0, 1.0);\n}\n";
    const GLuint program = build(vertex.c_str(), R"(#version 330 core
uniform float phase;
out vec4 fragment;
void main() { fragment = vec4(vec3(0.5 + 0.25 * sin(0.31415927 * (gl_FragCoord.x - 512.0) + phase)), 1.0); })");
    glUseProgram(program);
    const GLint phase = glGetUniformLocation(program, "phase");
    const std::vector<double> times = frames(count, [&](int frame) {
        glUniform1f(phase, static_cast<float>(std::fmod(18.0 * frame, 360.0) * pi / 180.0));
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    });
    glDeleteProgram(program);
    return times;
}

std::vector<double> Minimal::noise(int count) {
    const std::string vertex = std::string("#version 330 core\nout vec2 place;\nvoid main() {\n") + boxCorner +
                               R"(place = corner;
    vec2 p = vec2(256.0, 128.0) + 512.0 * corner; // pixel edges, y down
    gl_Position = vec4(2.0 * p.x / 1024.0 - 1.0, 1.0 - 2.0 * p.y / 768.0, 0.0, 1.0);
})";
    const GLuint program = build(vertex.c_str(), R"(#version 330 core
in vec2 place;
uniform sampler2D levels;
out vec4 fragment;
void main() { fragment = vec4(vec3(texture(levels, place).r), 1.0); })");
    glUseProgram(program);
    std::minstd_rand0 random(3);
    std::vector<std::uint8_t> levels(256 * 256);
    const std::vector<double> times = frames(count, [&](int) {
        for (std::uint8_t& level : levels)
            level = static_cast<std::uint8_t>(static_cast<double>(random()) / 2147483647.0 * 255.0);
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, 256, 256, 0, GL_RED, GL_UNSIGNED_BYTE, levels.data());
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glDeleteTextures(1, &texture);
    });
    glDeleteProgram(program);
    return times;
}

} // namespace StimulusBench
