#include "stimulark/draw/StimulusPath.hpp"

#include "stimulark/draw/StimulusShaders.hpp"
#include "stimulark/gl/Gl.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace Stimulark {

namespace {

constexpr float corners[] = {0.0F, 0.0F, 1.0F, 0.0F, 0.0F, 1.0F, 1.0F, 1.0F};
constexpr int instanceFloats = 16;
// The largest |z| that Box-Muller gives from two 16-bit halves: sqrt(-2 ln(0.5 / 65536)).
constexpr double largestZ = 4.86;

GLuint build(const char* fragment) {
    const std::string source = std::string("#version 330 core\n") + StimulusShaders::output + fragment;
    return Gl::buildProgram(StimulusShaders::boxVertex, source.c_str());
}

double channel(Color c, int i) { return i == 0 ? c.r : (i == 1 ? c.g : c.b); }

bool outOfRange(int level) { return level < 0 || level > 255; }

} // namespace

StimulusPath::StimulusPath(int width, int height) : width_(width), height_(height) {
    Gl::requireVersion33();
    const Gl::StateGuard guard;
    patchProgram_ = build(StimulusShaders::patchFragment);
    noiseProgram_ = build(StimulusShaders::noiseFragment);
    const auto at = [](GLuint program, const char* name) { return glGetUniformLocation(program, name); };
    patch_ = {at(patchProgram_, "window"), at(patchProgram_, "mode"), at(patchProgram_, "mean"),
              at(patchProgram_, "grating")};
    const GLuint n = noiseProgram_;
    noise_ = {at(n, "window"),    at(n, "mode"),       at(n, "mean"),       at(n, "kind"),     at(n, "seed"),
              at(n, "cellSize"),  at(n, "firstCell"),  at(n, "cellOffset"), at(n, "box"),      at(n, "thresholds"),
              at(n, "channels"),  at(n, "reversed"),   at(n, "base"),       at(n, "slope"),    at(n, "lowLevel"),
              at(n, "highLevel"), at(n, "contrast")};

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

    glGenTextures(1, &thresholds_);
    glBindTexture(GL_TEXTURE_2D, thresholds_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R32UI, 257, 3, 0, GL_RED_INTEGER, GL_UNSIGNED_INT, nullptr);
}

StimulusPath::~StimulusPath() {
    glDeleteTextures(1, &thresholds_);
    glDeleteVertexArrays(1, &array_);
    const GLuint buffers[] = {corners_, instances_};
    glDeleteBuffers(2, buffers);
    glDeleteProgram(patchProgram_);
    glDeleteProgram(noiseProgram_);
}

namespace {

// The state every stimulus draw starts from: the whole window, no blending unless adding.
void prepare(StimulusPath::Mode mode, int width, int height) {
    glViewport(0, 0, width, height);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_ALPHA_TEST);
    const bool counting = mode == StimulusPath::COUNT;
    glColorMask(!counting, !counting, !counting, !counting);
    if (mode == StimulusPath::ADD) {
        glEnable(GL_BLEND);
        glBlendEquation(GL_FUNC_ADD);
        glBlendFuncSeparate(GL_ONE, GL_ONE, GL_ZERO, GL_ONE);
    } else {
        glDisable(GL_BLEND);
    }
}

} // namespace

void StimulusPath::drawPatches(std::span<const PatchInstance> patches, bool grating, Color mean, Mode mode) {
    if (patches.empty())
        return;
    const Gl::StateGuard guard;
    prepare(mode, width_, height_);
    glUseProgram(patchProgram_);
    glUniform2f(patch_.window, static_cast<float>(width_), static_cast<float>(height_));
    glUniform1i(patch_.mode, mode);
    glUniform3f(patch_.mean, static_cast<float>(mean.r), static_cast<float>(mean.g), static_cast<float>(mean.b));
    glUniform1i(patch_.grating, grating ? 1 : 0);
    glBindVertexArray(array_);
    glBindBuffer(GL_ARRAY_BUFFER, instances_);
    const std::size_t bytes = patches.size_bytes();
    // A fresh store each time, so that the driver need not wait for the last draw from the old one.
    capacity_ = std::max(capacity_, bytes);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity_), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), patches.data());
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, static_cast<GLsizei>(patches.size()));
}

void StimulusPath::prepareLevels(int kind, double contrast, Color mean) {
    if (kind == levelsKind_ && contrast == levelsContrast_ && mean.r == levelsMean_.r && mean.g == levelsMean_.g &&
        mean.b == levelsMean_.b)
        return;
    levelsKind_ = kind;
    levelsContrast_ = contrast;
    levelsMean_ = mean;
    levelsMayClip_ = false;
    channels_ = mean.r == mean.g && mean.g == mean.b ? 1 : 3;
    if (kind == 0) {
        std::array<std::uint32_t, 257 * 3> table{};
        reversed_ = false;
        for (int i = 0; i < channels_; ++i) {
            const Noise::UniformLevels levels = Noise::uniformLevels(channel(mean, i), contrast);
            std::copy(levels.at.begin(), levels.at.end(), table.begin() + 257 * i);
            // Channels of a positive mean all run one way; a channel without mean has one level.
            reversed_ = reversed_ || levels.reversed;
            base_[static_cast<std::size_t>(i)] = static_cast<float>(levels.base);
            slope_[static_cast<std::size_t>(i)] = static_cast<float>(levels.slope);
            levelsMayClip_ = levelsMayClip_ || levels.at[0] > 0 || levels.at[256] < Noise::UniformLevels::steps;
        }
        glBindTexture(GL_TEXTURE_2D, thresholds_);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 257, channels_, GL_RED_INTEGER, GL_UNSIGNED_INT, table.data());
    } else if (kind == 1) {
        for (std::size_t i = 0; i < 3; ++i) {
            const double m = channel(mean, static_cast<int>(i));
            const int low = Noise::levelOf(m * (1.0 - contrast)), high = Noise::levelOf(m * (1.0 + contrast));
            low_[i] = static_cast<float>(low);
            high_[i] = static_cast<float>(high);
            levelsMayClip_ = levelsMayClip_ || outOfRange(low) || outOfRange(high);
        }
    } else {
        for (int i = 0; i < 3; ++i) {
            const double m = channel(mean, i), reach = largestZ * std::abs(contrast);
            levelsMayClip_ = levelsMayClip_ || outOfRange(Noise::levelOf(m * (1.0 + reach))) ||
                             outOfRange(Noise::levelOf(m * (1.0 - reach)));
        }
    }
}

bool StimulusPath::noiseMayClip(const NoiseField& field, Color mean) {
    const Gl::StateGuard guard;
    prepareLevels(field.kind, field.contrast, mean);
    return levelsMayClip_;
}

void StimulusPath::drawNoise(const NoiseField& field, Color mean, Mode mode) {
    const Gl::StateGuard guard;
    prepareLevels(field.kind, field.contrast, mean);
    prepare(mode, width_, height_);
    glUseProgram(noiseProgram_);
    glUniform2f(noise_.window, static_cast<float>(width_), static_cast<float>(height_));
    glUniform1i(noise_.mode, mode);
    glUniform3f(noise_.mean, static_cast<float>(mean.r), static_cast<float>(mean.g), static_cast<float>(mean.b));
    glUniform1i(noise_.kind, field.kind);
    glUniform1ui(noise_.seed, field.seed);
    glUniform1i(noise_.cellSize, field.cellSize);
    glUniform2ui(noise_.firstCell, field.firstCellX, field.firstCellY);
    glUniform2i(noise_.cellOffset, field.offsetX, field.offsetY);
    glUniform4i(noise_.box, field.left, field.top, field.width, field.height);
    glUniform1i(noise_.thresholds, 0);
    glUniform1i(noise_.channels, channels_);
    glUniform1i(noise_.reversed, reversed_ ? 1 : 0);
    glUniform3fv(noise_.base, 1, base_.data());
    glUniform3fv(noise_.slope, 1, slope_.data());
    glUniform3fv(noise_.lowLevel, 1, low_.data());
    glUniform3fv(noise_.highLevel, 1, high_.data());
    glUniform1f(noise_.contrast, static_cast<float>(field.contrast));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, thresholds_);

    // The box, as the one instance of the patch layout.
    const float left = static_cast<float>(field.left), right = static_cast<float>(field.left + field.width);
    const float top = static_cast<float>(field.top + 1), bottom = static_cast<float>(field.top + 1 - field.height);
    const PatchInstance box{{left, bottom, right, top}, {}, {}, {}};
    glBindVertexArray(array_);
    glBindBuffer(GL_ARRAY_BUFFER, instances_);
    capacity_ = std::max(capacity_, sizeof box);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity_), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof box, &box);
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, 1);
}

} // namespace Stimulark
