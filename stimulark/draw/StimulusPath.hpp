#pragma once

#include "stimulark/color/Color.hpp"
#include "stimulark/math/Noise.hpp"

#include <array>
#include <cstdint>
#include <map>
#include <span>

namespace Stimulark {

// One Gabor patch or grating for the patch program, in window pixels (see
// StimulusShaders::patchFragment).
struct PatchInstance {
    float box[4];       // left, bottom, right, top edges
    float placement[4]; // centre from the top-left pixel (x right, y down), cos and sin of the orientation
    float carrier[4];   // frequency, phase in cycles, contrast, unused
    float envelope[4];  // Gabor: 1 / (2 sigma^2), aspect^2; grating: aperture radius and edge
};

// One noise field: its box of window pixels and where its cells start.
struct NoiseField {
    int left = 0, top = 0, width = 0, height = 0; // window x of the first pixel, window y of the top row
    std::uint32_t firstCellX = 0, firstCellY = 0; // the cell of the box's first pixel
    int offsetX = 0, offsetY = 0;                 // that pixel's place in its cell
    int cellSize = 1;
    int kind = 0;
    std::uint32_t seed = 0;
    double contrast = 0.0;
};

// A canvas's gratings, Gabor patches and noise: their programs, one for each variant and
// made on first use, and their buffers, all in its rendering context and deleted with it.
// They draw in window pixels and leave the GL state as they found it.
class StimulusPath {
public:
    // ROUNDED to the 8-bit buffer; COUNT the fragments out of range, drawing nothing;
    // FLOAT values as they are; ADD their deviation from the mean.
    enum Mode { ROUNDED = 0, COUNT = 1, FLOAT = 2, ADD = 3 };
    enum Shape { GABOR = 0, GRATING = 1, APERTURE = 2 };

    StimulusPath(int width, int height);
    ~StimulusPath();
    StimulusPath(const StimulusPath&) = delete;
    StimulusPath& operator=(const StimulusPath&) = delete;

    // Gabor patches, or one grating, in one instanced draw.
    void drawPatches(std::span<const PatchInstance> patches, Shape shape, Color mean, Mode mode);
    void drawNoise(const NoiseField& field, Color mean, Mode mode);
    // Whether a noise field of these parameters may draw a level out of range.
    bool noiseMayClip(const NoiseField& field, Color mean);

private:
    struct Program {
        unsigned name = 0;
        int window = -1, mean = -1, seed = -1, cellSize = -1, firstCell = -1, cellOffset = -1, firstPixel = -1,
            thresholds = -1, reversed = -1, base = -1, slope = -1, lowLevel = -1, highLevel = -1, contrast = -1;
        unsigned levels = 0; // the levels it was given last
    };
    // The program of a variant, built with its #defines on first use.
    Program& program(int key, const char* vertex, const char* fragment, const char* defines);
    void drawBoxes(const void* instances, std::size_t bytes, int count);
    // The levels of uniform and binary noise for one mean and contrast, kept while they
    // stay the same.
    void prepareLevels(int kind, double contrast, Color mean);

    int width_, height_;
    std::map<int, Program> programs_;
    unsigned array_ = 0, corners_ = 0, instances_ = 0;
    std::size_t capacity_ = 0;
    // The levels prepared last, and their number.
    unsigned levels_ = 0;
    int levelsKind_ = -1;
    double levelsContrast_ = 0.0;
    Color levelsMean_;
    int channels_ = 1;
    bool reversed_ = false, wide_ = false, levelsMayClip_ = false;
    std::array<std::uint32_t, 257 * 3> thresholds_{};
    std::array<float, 3> base_{}, slope_{}, low_{}, high_{};
};

} // namespace Stimulark
