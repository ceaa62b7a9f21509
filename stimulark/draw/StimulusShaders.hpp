#pragma once

// The GLSL of gratings, Gabor patches, noise and the float buffer's conversion. They work
// in window pixels: gl_FragCoord names the pixel, and a box's first pixel is where its
// distances are counted from, so that they stay exact small numbers. Each program is
// built for one variant, chosen by the #defines put before the source (MODE, SHAPE,
// KIND, CHANNELS), so that no fragment tests what the draw already knows.

namespace Stimulark::StimulusShaders {

// What a fragment does with the value it worked out (MODE): ROUNDED to the 8-bit
// buffer's nearest level; COUNT the fragments with a channel's level out of range,
// drawing nothing; FLOAT, the value as it is, in the float buffer; ADD its deviation from
// the mean there. With CHANNELS 1 the mean is grey, and one channel is worked out for all.
inline constexpr const char* output = R"(
#define ROUNDED 0
#define COUNT 1
#define FLOAT 2
#define ADD 3
#if CHANNELS == 1
#define Value float
#define shown(v) vec4(vec3(v), 1.0)
#else
#define Value vec3
#define shown(v) vec4(v, 1.0)
#endif
uniform Value mean;
out vec4 fragment;
// Levels below 0 or above 255 are out of range; the float buffer keeps them so, for its
// conversion to count.
void emitLevels(Value level) {
#if MODE == COUNT
    if (all(greaterThanEqual(vec3(level), vec3(0.0))) && all(lessThanEqual(vec3(level), vec3(255.0))))
        discard;
    fragment = vec4(0.0);
#elif MODE == FLOAT
    fragment = shown(level / 255.0);
#else
    fragment = shown(clamp(level, 0.0, 255.0) / 255.0);
#endif
}
void emitDeviation(float deviation) {
#if MODE == ADD
    fragment = vec4(vec3(mean * deviation), 0.0);
#elif MODE == FLOAT
    fragment = shown(mean * (1.0 + deviation));
#else
    emitLevels(floor(mean * (1.0 + deviation) * 255.0 + 0.5));
#endif
}
)";

// A patch's box in window pixels (left, bottom, right, top edges), made of the corner
// attribute. Per patch: the box; the centre's offset from the box's top-left pixel, and
// cos and sin of the orientation; frequency (cycles per pixel), phase (cycles) and
// contrast; the envelope: a Gabor's 1 / (2 sigma^2) and aspect^2, a grating's aperture
// radius and edge. Distances from the centre, along the carrier and across it, are
// linear over the box: the rasterizer interpolates them to each pixel's centre.
inline constexpr const char* patchVertex = R"(#version 330 core
layout(location = 0) in vec2 corner;
layout(location = 1) in vec4 box;
layout(location = 2) in vec4 placement;
layout(location = 3) in vec4 carrier;
layout(location = 4) in vec4 envelope;
uniform vec2 window;
noperspective out vec2 fromCentre; // x right, y down
noperspective out vec2 rotated;    // along the carrier, across it
noperspective out float cycles;    // of the carrier, from the phase at the centre
flat out vec4 patchCarrier;
flat out vec4 patchEnvelope;
void main() {
    vec2 size = vec2(box.z - box.x, box.w - box.y);
    fromCentre = corner * size - 0.5 - placement.xy;
    rotated = vec2(fromCentre.x * placement.z + fromCentre.y * placement.w,
                   fromCentre.y * placement.z - fromCentre.x * placement.w);
    cycles = carrier.x * rotated.x + carrier.y;
    patchCarrier = carrier;
    patchEnvelope = envelope;
    gl_Position = vec4(2.0 * vec2(box.x + corner.x * size.x, box.w - corner.y * size.y) / window - 1.0, 0.0, 1.0);
}
)";

// A Gabor patch or a grating (SHAPE: GABOR, GRATING without aperture, APERTURE).
inline constexpr const char* patchFragment = R"(
#define GABOR 0
#define GRATING 1
#define APERTURE 2
noperspective in vec2 fromCentre;
noperspective in vec2 rotated;
noperspective in float cycles;
flat in vec4 patchCarrier;
flat in vec4 patchEnvelope;
void main() {
    float deviation = patchCarrier.z * sin(6.28318530717958648 * fract(cycles));
#if SHAPE == GABOR
    deviation *= exp(-(rotated.x * rotated.x + patchEnvelope.y * rotated.y * rotated.y) * patchEnvelope.x);
#elif SHAPE == APERTURE
    float radius = patchEnvelope.x, edge = patchEnvelope.y, r = length(fromCentre);
    if (r > radius)
        deviation = 0.0;
    else if (r > radius - edge)
        deviation *= 0.5 * (1.0 + cos(3.14159265358979324 * (r - radius + edge) / edge));
#endif
    emitDeviation(deviation);
}
)";

// A box in window pixels (left, bottom, right, top edges), made of the corner attribute.
inline constexpr const char* boxVertex = R"(#version 330 core
layout(location = 0) in vec2 corner;
layout(location = 1) in vec4 box;
uniform vec2 window;
void main() { gl_Position = vec4(2.0 * mix(box.xy, box.zw, corner) / window - 1.0, 0.0, 1.0); }
)";

// Noise: each cell of `cellSize` pixels takes the hash of (seed, u, v). The box's first
// pixel lies `cellOffset` pixels into cell `firstCell`. KIND: UNIFORM and UNIFORM_WIDE
// (whose estimate of the level may be more than one level off, at a huge contrast),
// BINARY, GAUSSIAN; CHANNELS: 1 where the mean is grey, else 3.
inline constexpr const char* noiseFragment = R"(
#define UNIFORM 0
#define UNIFORM_WIDE 1
#define BINARY 2
#define GAUSSIAN 3
uniform uint seedMix; // the seed, mixed once
uniform int cellSize;
uniform uvec2 firstCell;
uniform ivec2 cellOffset;
uniform ivec2 firstPixel; // window x of the box's first pixel, window y of its top row
// Uniform: per channel, the first k of each of the 257 levels, and where to start the
// search; binary: the two levels; Gaussian: the contrast.
uniform uint thresholds[257 * CHANNELS];
uniform bool reversed;
uniform vec3 base;
uniform vec3 slope;
uniform Value lowLevel;
uniform Value highLevel;
uniform float contrast;

uint mixBits(uint x) {
    x ^= x >> 16u;
    x *= 0x7feb352du;
    x ^= x >> 15u;
    x *= 0x846ca68bu;
    x ^= x >> 16u;
    return x;
}

// The highest level whose first k is reached (-1 when none): the estimate is at most a
// level off; UNIFORM_WIDE searches the whole table instead.
float uniformLevel(uint k, int channel) {
    int table = 257 * channel;
#if KIND == UNIFORM
    int level = int(clamp(floor(base[channel] + slope[channel] * ((float(k) + 0.5) / 16777216.0) + 0.5), -1.0, 255.0));
    if (level >= 0 && k < thresholds[table + level])
        level -= 1;
    else if (k >= thresholds[table + level + 1])
        level += 1;
    return float(level);
#else
    int low = -1, high = 256;
    while (low < high) {
        int middle = (low + high + 1) / 2;
        if (k >= thresholds[table + middle])
            low = middle;
        else
            high = middle - 1;
    }
    return float(low);
#endif
}

void main() {
    ivec2 pixel = ivec2(int(gl_FragCoord.x) - firstPixel.x, firstPixel.y - int(gl_FragCoord.y));
    // The cell by a float quotient set right by one integer step: integer division
    // costs the renderer more than the rest of the noise.
    uvec2 along = uvec2(cellOffset + pixel), size = uvec2(cellSize);
    uvec2 cell = uvec2((vec2(along) + 0.5) / float(cellSize));
    cell -= uvec2(greaterThan(cell * size, along));
    cell += uvec2(lessThanEqual((cell + 1u) * size, along));
    cell += firstCell;
    uint hash = mixBits(cell.y ^ mixBits(cell.x ^ seedMix));
#if KIND == UNIFORM || KIND == UNIFORM_WIDE
    uint k = hash >> 8u;
    if (reversed)
        k = 16777215u - k;
#if CHANNELS == 1
    emitLevels(uniformLevel(k, 0));
#else
    emitLevels(vec3(uniformLevel(k, 0), uniformLevel(k, 1), uniformLevel(k, 2)));
#endif
#elif KIND == BINARY
    emitLevels((hash >> 31u) != 0u ? highLevel : lowLevel);
#else
    float u1 = (float(hash >> 16u) + 0.5) / 65536.0, u2 = (float(hash & 0xffffu) + 0.5) / 65536.0;
    emitDeviation(contrast * sqrt(-2.0 * log(u1)) * cos(6.28318530717958648 * u2));
#endif
}
)";

// A box over the whole window, from the vertex's number.
inline constexpr const char* windowVertex = R"(#version 330 core
void main() { gl_Position = vec4(2.0 * vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1)) - 1.0, 0.0, 1.0); }
)";

// The float buffer's conversion to the displayed levels: to the nearest level or, with
// dithering, by an 8 x 8 Bayer matrix; a level out of range is clipped and counted, by
// an atomic counter in the same pass where the display has them (ATOMIC), else in a
// counting pass of its own.
inline constexpr const char* convertFragment = R"(
uniform sampler2D source;
uniform bool dither;
uniform bool countOnly;
uniform bool counting;
#if ATOMIC
layout(binding = 0, offset = 0) uniform atomic_uint clipped;
#endif
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
#if ATOMIC
    if (counting && !inRange)
        atomicCounterIncrement(clipped);
#endif
    fragment = vec4(clamp(level, 0.0, 255.0) / 255.0, 1.0);
}
)";

} // namespace Stimulark::StimulusShaders
