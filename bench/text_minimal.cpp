// The text stimuli of bench/text_frames drawn the plainest way: SDL2, an OpenGL 3.3 core context and a FreeType
// glyph atlas of the printable ASCII characters, each frame one draw of 1200 instanced quads. No shaping: pens
// advance by FreeType's advances. Static text is uploaded once; changing text is laid out and uploaded every frame.
// Prints the median time of the drawing plus glFinish, in milliseconds, and the mallocs a frame made there, as
// "static <ms> <mallocs>" and "changing <ms> <mallocs>".
//   text_minimal FONT_FILE

#define GL_GLEXT_PROTOTYPES
#include "MallocCount.hpp"
#include "TextStimuli.hpp"

#include <SDL.h>
#include <SDL_opengl.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using namespace TextStimuli;

struct Glyph {
    int left = 0, top = 0, width = 0, height = 0, atlasX = 0, atlasY = 0;
    long advance = 0; // 1/64 pixel
};

constexpr int atlasSize = 512;

const char* vertexSource = R"(#version 330 core
layout(location = 0) in vec2 corner;
layout(location = 1) in vec4 box;
layout(location = 2) in vec2 atlas;
uniform vec2 screen;
out vec2 texel;
flat out vec2 origin;
void main() {
    vec2 p = box.xy + corner * box.zw;
    texel = corner * box.zw;
    origin = atlas;
    gl_Position = vec4(2.0 * p.x / screen.x - 1.0, 1.0 - 2.0 * p.y / screen.y, 0.0, 1.0);
}
)";
const char* fragmentSource = R"(#version 330 core
in vec2 texel;
flat in vec2 origin;
uniform sampler2D glyphs;
out vec4 fragment;
void main() {
    float coverage = texelFetch(glyphs, ivec2(origin + floor(texel)), 0).r;
    fragment = vec4(1.0, 1.0, 1.0, coverage);
}
)";

GLuint program() {
    const auto stage = [](GLenum kind, const char* source) {
        const GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        return shader;
    };
    const GLuint p = glCreateProgram();
    glAttachShader(p, stage(GL_VERTEX_SHADER, vertexSource));
    glAttachShader(p, stage(GL_FRAGMENT_SHADER, fragmentSource));
    glLinkProgram(p);
    return p;
}

// Printable ASCII into one texture, row by row.
std::array<Glyph, 128> rasterise(FT_Face face) {
    std::array<Glyph, 128> glyphs{};
    std::vector<unsigned char> pixels(atlasSize * atlasSize);
    int x = 0, y = 0, rowHeight = 0;
    for (int c = 32; c < 127; ++c) {
        FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT);
        const FT_Bitmap& b = face->glyph->bitmap;
        const int w = static_cast<int>(b.width), h = static_cast<int>(b.rows);
        if (x + w > atlasSize) {
            x = 0;
            y += rowHeight;
            rowHeight = 0;
        }
        for (int r = 0; r < h; ++r)
            std::copy_n(b.buffer + r * b.pitch, w, pixels.begin() + (y + r) * atlasSize + x);
        glyphs[static_cast<std::size_t>(c)] = {face->glyph->bitmap_left, face->glyph->bitmap_top, w, h, x, y,
                                               face->glyph->advance.x};
        x += w;
        rowHeight = std::max(rowHeight, h);
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, atlasSize, atlasSize, 0, GL_RED, GL_UNSIGNED_BYTE, pixels.data());
    return glyphs;
}

// The quads of frame s: 6 floats each (box, atlas texel).
void layOut(const std::array<Glyph, 128>& glyphs, double ascent, int s, std::vector<float>& quads) {
    quads.clear();
    char line[columns];
    for (int l = 0; l < lines; ++l) {
        fillLine(l, s, line);
        const double baseline = top + linePitch * l + ascent;
        long pen = 0;
        for (const char c : line) {
            const Glyph& g = glyphs[static_cast<unsigned char>(c)];
            if (g.width > 0) {
                const float x = static_cast<float>(std::floor(left + pen / 64.0 + 0.5) + g.left);
                const float y = static_cast<float>(baseline - g.top + 1);
                quads.insert(quads.end(), {x, y, static_cast<float>(g.width), static_cast<float>(g.height),
                                           static_cast<float>(g.atlasX), static_cast<float>(g.atlasY)});
            }
            pen += g.advance;
        }
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: text_minimal FONT_FILE\n");
        return 2;
    }
    SDL_Init(SDL_INIT_VIDEO);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_DisplayMode mode{};
    SDL_GetDesktopDisplayMode(0, &mode);
    SDL_Window* window = SDL_CreateWindow("text_minimal", 0, 0, mode.w, mode.h, SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr) {
        std::fprintf(stderr, "text_minimal: %s\n", SDL_GetError());
        return 1;
    }
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    FT_Init_FreeType(&library);
    if (FT_New_Face(library, argv[1], 0, &face) != 0) {
        std::fprintf(stderr, "text_minimal: cannot load %s\n", argv[1]);
        return 1;
    }
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(pixelSize * 64), 72, 72);
    const double ascent = static_cast<double>(face->size->metrics.ascender) / 64.0;

    const GLuint shaders = program();
    glUseProgram(shaders);
    glUniform2f(glGetUniformLocation(shaders, "screen"), static_cast<float>(mode.w), static_cast<float>(mode.h));
    GLuint texture = 0, vertexArray = 0, buffers[2] = {};
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    const auto glyphs = rasterise(face);
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(2, buffers);
    const float corners[] = {0, 0, 1, 0, 0, 1, 1, 1};
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, 6 * sizeof(float), nullptr);
    glVertexAttribDivisor(1, 1);
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 6 * sizeof(float), reinterpret_cast<void*>(4 * sizeof(float)));
    glVertexAttribDivisor(2, 1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glViewport(0, 0, mode.w, mode.h);

    std::vector<float> quads;
    quads.reserve(lines * columns * 6);
    for (const bool changing : {false, true}) {
        layOut(glyphs, ascent, 0, quads);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(quads.size() * sizeof(float)), quads.data(),
                     changing ? GL_STREAM_DRAW : GL_STATIC_DRAW);
        std::vector<double> times;
        long allocations = 0;
        for (int frame = 0; frame < warmUpFrames + frames; ++frame) {
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            glFinish();
            const long before = mallocCount.load();
            const auto start = std::chrono::steady_clock::now();
            if (changing) {
                layOut(glyphs, ascent, frame, quads);
                const auto bytes = static_cast<GLsizeiptr>(quads.size() * sizeof(float));
                glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STREAM_DRAW);
                glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, quads.data());
            }
            glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, static_cast<GLsizei>(quads.size() / 6));
            glFinish();
            const auto end = std::chrono::steady_clock::now();
            if (frame >= warmUpFrames) {
                times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
                allocations += mallocCount.load() - before;
            }
            SDL_GL_SwapWindow(window);
        }
        std::printf("%s %.4f %.1f\n", changing ? "changing" : "static", median(times),
                    static_cast<double>(allocations) / frames);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
