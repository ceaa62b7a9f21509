#pragma once

// The GLSL of gratings, Gabor patches, noise and the float buffer's conversion. They work
// in window pixels: gl_FragCoord names the pixel, and a box's first pixel is where its
// distances are counted from, so that they stay exact small numbers.

namespace Stimulark::StimulusShaders {

// What a fragment does with the value it worked out (the `mode` uniform): round it to the
// 8-bit buffer's level, count it where a channel's level is out of range (drawing
// nothing), keep it as it is in the float buffer, or add its deviation from the mean there.
inline constexpr const char* output = R"(
const int ROUNDED = 0, COUNT = 1, FLOAT = 2, ADD = 3;
uniform int mode;
uniform vec3 mean;
out vec4 fragment;
// Levels below 0 or above 255 are out of range; the float buffer keeps them so, for its
// conversion to count.
void emitLevels(vec3 level) {
    if (mode == COUNT && all(greaterThanEqual(level, vec3(0.0))) && all(lessThanEqual(level, vec3(255.0))))
        discard;
    fragment = vec4((mode == FLOAT ? level : clamp(level, 0.0, 255.0)) / 255.0, 1.0);
}
void emitDeviation(float deviation) {
    if (mode == ADD) {
        fragment = vec4(mean * deviation, 0.0);
        return;
    }
    vec3 value = mean * (1.0 + deviation);
    if (mode == FLOAT)
        fragment = vec4(value, 1.0);
    else
        emitLevels(floor(value * 255.0 + 0.5));
}
)";

// A box in window pixels (left, bottom, right, top edges), made of the corner attribute.
inline constexpr const char* boxVertex = R"(#version 330 core
layout(location = 0) in vec2 corner;
layout(location = 1) in vec4 box;
layout(location = 2) in vec4 placement;
layout(location = 3) in vec4 carrier;
layout(location = 4) in vec4 envelope;
uniform vec2 window;
flat out vec4 patchBox;
flat out vec4 patchPlacement;
flat out vec4 patchCarrier;
flat out vec4 patchEnvelope;
void main() {
    patchBox = box;
    patchPlacement = placement;
    patchCarrier = carrier;
    patchEnvelope = envelope;
    gl_Position = vec4(2.0 * mix(box.xy, box.zw, corner) / window - 1.0, 0.0, 1.0);
}
)";

// Per patch: its box; the centre's offset from the box's top-left pixel, and cos and sin
// of the orientation; frequency (cycles per pixel), phase (cycles) and contrast; the
// envelope's 1 / (2 sigma^2) and aspect^2. Gratings use the same, with an aperture in the
// envelope: radius and edge (0 for none).
inline constexpr const char* patchFragment = R"(
flat in vec4 patchBox;
flat in vec4 patchPlacement;
flat in vec4 patchCarrier;
flat in vec4 patchEnvelope;
uniform bool grating;
void main() {
    vec2 d = vec2(gl_FragCoord.x - patchBox.x, patchBox.w - gl_FragCoord.y) - 0.5 - patchPlacement.xy;
    float c = patchPlacement.z, s = patchPlacement.w;
    float along = d.x * c + d.y * s, across = -d.x * s + d.y * c;
    float carrier = sin(6.28318530717958648 * fract(patchCarrier.x * along + patchCarrier.y));
    float weight;
    if (grating) {
        float radius = patchEnvelope.x, edge = patchEnvelope.y, r = length(d);
        if (radius <= 0.0 || r <= radius - edge)
            weight = 1.0;
        else if (r > radius)
            weight = 0.0;
        else
            weight = 0.5 * (1.0 + cos(3.14159265358979324 * (r - radius + edge) / edge));
    } else {
        weight = exp(-(along * along + patchEnvelope.y * across * across) * patchEnvelope.x);
    }
    emitDeviation(patchCarrier.z * carrier * weight);
}
)";

// Noise: each cell of `cellSize` pixels takes the hash of (seed, u, v). The box's first
// pixel lies `cellOffset` pixels into cell `firstCell`.
inline constexpr const char* noiseFragment = R"(
const int UNIFORM = 0, BINARY = 1, GAUSSIAN = 2;
uniform int kind;
uniform uint seed;
uniform int cellSize;
uniform uvec2 firstCell;
uniform ivec2 cellOffset;
uniform ivec4 box; // the first pixel (window x, window y of the top row) and the size
// Uniform: per channel the thresholds of the 257 levels (row = channel), whether k
// counts down, and where to start the search; binary: the two levels.
uniform usampler2D thresholds;
uniform int channels;
uniform bool reversed;
uniform vec3 base;
uniform vec3 slope;
uniform vec3 lowLevel;
uniform vec3 highLevel;
uniform float contrast;

uint mixBits(uint x) {
    x ^= x >> 16u;
    x *= 0x7feb352du;
    x ^= x >> 15u;
    x *= 0x846ca68bu;
    x ^= x >> 16u;
    return x;
}

uint threshold(int level, int channel) { return texelFetch(thresholds, ivec2(level, channel), 0).r; }

// The highest level whose threshold k reaches (-1 when none), searched from the estimate.
float uniformLevel(uint k, int channel) {
    float guess = floor(base[channel] + slope[channel] * ((float(k) + 0.5) / 16777216.0) + 0.5);
    int level = int(clamp(guess, -1.0, 255.0));
    int low = -1, high = 256;
    if (level >= 0) {
        if (k >= threshold(level, channel)) low = level; else high = level - 1;
    }
    if (level + 1 <= high) {
        if (k >= threshold(level + 1, channel)) low = level + 1; else high = level;
    }
    while (low < high) {
        int middle = (low + high + 1) / 2;
        if (k >= threshold(middle, channel)) low = middle; else high = middle - 1;
    }
    return float(low);
}

void main() {
    ivec2 pixel = ivec2(int(gl_FragCoord.x) - box.x, box.y - int(gl_FragCoord.y));
    ivec2 into = cellOffset + pixel;
    uvec2 cell = firstCell + uvec2(into / cellSize);
    uint hash = mixBits(cell.y ^ mixBits(cell.x ^ mixBits(seed)));
    if (kind == UNIFORM) {
        uint k = hash >> 8u;
        if (reversed)
            k = 16777215u - k;
        float r = uniformLevel(k, 0);
        vec3 level = vec3(r);
        if (channels == 3)
            level = vec3(r, uniformLevel(k, 1), uniformLevel(k, 2));
        emitLevels(level);
    } else if (kind == BINARY) {
        emitLevels((hash >> 31u) != 0u ? highLevel : lowLevel);
    } else {
        float u1 = (float(hash >> 16u) + 0.5) / 65536.0, u2 = (float(hash & 0xffffu) + 0.5) / 65536.0;
        emitDeviation(contrast * sqrt(-2.0 * log(u1)) * cos(6.28318530717958648 * u2));
    }
}
)";

// A box over the whole window, from a triangle pair of its corners.
inline constexpr const char* windowVertex = R"(#version 330 core
layout(location = 0) in vec2 corner;
void main() { gl_Position = vec4(2.0 * corner - 1.0, 0.0, 1.0); }
)";

// The float buffer's conversion to the displayed levels: to the nearest level or, with
// dithering, by an 8 x 8 Bayer matrix; a level out of range is clipped and, in the
// counting pass, counted.
inline constexpr const char* convertFragment = R"(#version 330 core
uniform sampler2D source;
uniform bool dither;
uniform bool countOnly;
out vec4 fragment;
float bayer(ivec2 p) {
    int b = 0;
    for (int i = 0; i < 3; ++i) {
        int x = (p.x >> i) & 1, y = (p.y >> i) & 1;
        b |= ((x ^ y) << (5 - 2 * i)) | (y << (4 - 2 * i));
    }
    return (float(b) + 0.5) / 64.0;
}
void main() {
    ivec2 p = ivec2(gl_FragCoord.xy);
    vec3 level = floor(texelFetch(source, p, 0).rgb * 255.0 + (dither ? bayer(p) : 0.5));
    bool inRange = all(greaterThanEqual(level, vec3(0.0))) && all(lessThanEqual(level, vec3(255.0)));
    if (countOnly && inRange)
        discard;
    fragment = vec4(clamp(level, 0.0, 255.0) / 255.0, 1.0);
}
)";

} // namespace Stimulark::StimulusShaders
