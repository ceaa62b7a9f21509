#include "stimulark/draw/StimulusPath.hpp"

#include "stimulark/draw/StimulusShaders.hpp"
#include "stimulark/gl/Gl.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace Stimulark {

namespace {

constexpr float corners[] = {0.0F, 0.0F, 1.0F, 0.0F, 0.0F, 1.0F, 1.0F, 1.0F};
constexpr int instanceFloats = 16;
// The largest |z| that Box-Muller gives from two 16-bit halves: sqrt(-2 ln(0.5 / 65536)).
constexpr double largestZ = 4.86;
// Below this, the shader's single-precision estimate of a uniform cell's level is off by
// less than half a level (its error is within (|base| + slope) 2^-21).
constexpr double narrow = 1 << 20;

double channel(Color c, int i) { return i == 0 ? c.r : (i == 1 ? c.g : c.b); }

bool grey(Color c) { return c.r == c.g && c.g == c.b; }

// A grey mean is worked out in one channel for all three.
void setMean(GLint location, Color mean) {
    if (grey(mean))
        glUniform1f(location, static_cast<float>(mean.r));
    else
        glUniform3f(location, static_cast<float>(mean.r), static_cast<float>(mean.g), static_cast<float>(mean.b));
}

bool outOfRange(int level) { return level < 0 || level > 255; }

// The state every stimulus draw starts from: the whole window, no blending unless adding.
void prepare(StimulusPath::Mode mode, int width, int height) {
    glViewport(0, 0, width, height);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_ALPHA_TEST);
    const GLboolean write = mode == StimulusPath::COUNT ? GL_FALSE : GL_TRUE;
    glColorMask(write, write, write, write);
    if (mode == StimulusPath::ADD) {
        glEnable(GL_BLEND);
        glBlendEquation(GL_FUNC_ADD);
        glBlendFuncSeparate(GL_ONE, GL_ONE, GL_ZERO, GL_ONE);
    } else {
        glDisable(GL_BLEND);
    }
}

} // namespace

StimulusPath::StimulusPath(int width, int height) : width_(width), height_(height) {
    Gl::requireVersion33();
    const Gl::StateGuard guard;
    glGenBuffers(1, &corners_);
    glBindBuffer(GL_ARRAY_BUFFER, corners_);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glGenBuffers(1, &instances_);
    glGenVertexArrays(1, &array_);
    glBindVertexArray(array_);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, instances_);
    for (GLuint i = 0; i < 4; ++i) {
        glEnableVertexAttribArray(i + 1);
        glVertexAttribPointer(i + 1, 4, GL_FLOAT, GL_FALSE, instanceFloats * sizeof(float),
                              reinterpret_cast<const void*>(static_cast<std::uintptr_t>(i) * 4 * sizeof(float)));
        glVertexAttribDivisor(i + 1, 1);
    }
}

StimulusPath::~StimulusPath() {
    glDeleteVertexArrays(1, &array_);
    const GLuint buffers[] = {corners_, instances_};
    glDeleteBuffers(2, buffers);
    for (const auto& [key, p] : programs_)
        glDeleteProgram(p.name);
}

StimulusPath::Program& StimulusPath::program(int key, const char* vertex, const char* fragment, const char* defines) {
    const auto found = programs_.find(key);
    if (found != programs_.end())
        return found->second;
    const std::string source = std::string("#version 330 core\n") + defines + StimulusShaders::output + fragment;
    Program p;
    p.name = Gl::buildProgram(vertex, source.c_str());
    const auto at = [&](const char* name) { return glGetUniformLocation(p.name, name); };
    p.window = at("window");
    p.mean = at("mean");
    p.seed = at("seedMix");
    p.cellSize = at("cellSize");
    p.firstCell = at("firstCell");
    p.cellOffset = at("cellOffset");
    p.firstPixel = at("firstPixel");
    p.thresholds = at("thresholds");
    p.reversed = at("reversed");
    p.base = at("base");
    p.slope = at("slope");
    p.lowLevel = at("lowLevel");
    p.highLevel = at("highLevel");
    p.contrast = at("contrast");
    return programs_.emplace(key, p).first->second;
}

void StimulusPath::drawBoxes(const void* instances, std::size_t bytes, int count) {
    glBindVertexArray(array_);
    glBindBuffer(GL_ARRAY_BUFFER, instances_);
    // A fresh store each time, so that the driver need not wait for the last draw from the old one.
    capacity_ = std::max(capacity_, bytes);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity_), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), instances);
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, count);
}

void StimulusPath::drawPatches(std::span<const PatchInstance> patches, Shape shape, Color mean, Mode mode) {
    if (patches.empty())
        return;
    const Gl::StateGuard guard;
    const int channels = grey(mean) ? 1 : 3;
    char defines[64];
    std::snprintf(defines, sizeof defines, "#define MODE %d\n#define SHAPE %d\n#define CHANNELS %d\n", mode, shape,
                  channels);
    const Program& p = program(0x100 | shape << 4 | (channels == 3 ? 8 : 0) | mode, StimulusShaders::patchVertex,
                               StimulusShaders::patchFragment, defines);
    prepare(mode, width_, height_);
    glUseProgram(p.name);
    glUniform2f(p.window, static_cast<float>(width_), static_cast<float>(height_));
    setMean(p.mean, mean);
    drawBoxes(patches.data(), patches.size_bytes(), static_cast<int>(patches.size()));
}

void StimulusPath::prepareLevels(int kind, double contrast, Color mean) {
    if (kind == levelsKind_ && contrast == levelsContrast_ && mean.r == levelsMean_.r && mean.g == levelsMean_.g &&
        mean.b == levelsMean_.b)
        return;
    ++levels_;
    levelsKind_ = kind;
    levelsContrast_ = contrast;
    levelsMean_ = mean;
    levelsMayClip_ = false;
    channels_ = grey(mean) ? 1 : 3;
    for (std::size_t i = 0; i < 3; ++i) {
        const double m = channel(mean, static_cast<int>(i));
        if (kind == 0) {
            const Noise::UniformLevels levels = Noise::uniformLevels(m, contrast);
            std::copy(levels.at.begin(), levels.at.end(), thresholds_.begin() + static_cast<std::ptrdiff_t>(257 * i));
            // Channels of a positive mean all run one way; a channel without mean has one level.
            reversed_ = (i > 0 && reversed_) || levels.reversed;
            wide_ = (i > 0 && wide_) || std::abs(levels.base) + levels.slope >= narrow;
            base_[i] = static_cast<float>(levels.base);
            slope_[i] = static_cast<float>(levels.slope);
            levelsMayClip_ = levelsMayClip_ || levels.at[0] > 0 || levels.at[256] < Noise::UniformLevels::steps;
        } else if (kind == 1) {
            const int low = Noise::levelOf(m * (1.0 - contrast)), high = Noise::levelOf(m * (1.0 + contrast));
            low_[i] = static_cast<float>(low);
            high_[i] = static_cast<float>(high);
            levelsMayClip_ = levelsMayClip_ || outOfRange(low) || outOfRange(high);
        } else {
            const double reach = largestZ * std::abs(contrast);
            levelsMayClip_ = levelsMayClip_ || outOfRange(Noise::levelOf(m * (1.0 + reach))) ||
                             outOfRange(Noise::levelOf(m * (1.0 - reach)));
        }
    }
}

bool StimulusPath::noiseMayClip(const NoiseField& field, Color mean) {
    prepareLevels(field.kind, field.contrast, mean);
    return levelsMayClip_;
}

void StimulusPath::drawNoise(const NoiseField& field, Color mean, Mode mode) {
    const Gl::StateGuard guard;
    prepareLevels(field.kind, field.contrast, mean);
    // The shader's kinds: uniform (narrow or wide), binary, Gaussian.
    const int kind = field.kind == 0 ? (wide_ ? 1 : 0) : field.kind + 1;
    const int channels = channels_;
    char defines[64];
    std::snprintf(defines, sizeof defines, "#define MODE %d\n#define KIND %d\n#define CHANNELS %d\n", mode, kind,
                  channels);
    Program& p = program(0x200 | kind << 4 | (channels == 3 ? 8 : 0) | mode, StimulusShaders::boxVertex,
                         StimulusShaders::noiseFragment, defines);
    prepare(mode, width_, height_);
    glUseProgram(p.name);
    glUniform2f(p.window, static_cast<float>(width_), static_cast<float>(height_));
    setMean(p.mean, mean);
    glUniform1ui(p.seed, Noise::mix(field.seed));
    glUniform1i(p.cellSize, field.cellSize);
    glUniform2ui(p.firstCell, field.firstCellX, field.firstCellY);
    glUniform2i(p.cellOffset, field.offsetX, field.offsetY);
    glUniform2i(p.firstPixel, field.left, field.top);
    if (p.levels != levels_) {
        p.levels = levels_;
        glUniform1uiv(p.thresholds, 257 * channels, thresholds_.data());
        glUniform1i(p.reversed, reversed_ ? 1 : 0);
        glUniform3fv(p.base, 1, base_.data());
        glUniform3fv(p.slope, 1, slope_.data());
        (channels == 1 ? glUniform1fv : glUniform3fv)(p.lowLevel, 1, low_.data());
        (channels == 1 ? glUniform1fv : glUniform3fv)(p.highLevel, 1, high_.data());
        glUniform1f(p.contrast, static_cast<float>(field.contrast));
    }
    // The box, as the one instance of the patch layout.
    const float left = static_cast<float>(field.left), right = static_cast<float>(field.left + field.width);
    const float top = static_cast<float>(field.top + 1), bottom = static_cast<float>(field.top + 1 - field.height);
    const PatchInstance box{{left, bottom, right, top}, {}, {}, {}};
    drawBoxes(&box, sizeof box, 1);
}

} // namespace Stimulark
