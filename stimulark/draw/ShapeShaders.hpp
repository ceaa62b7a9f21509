#pragma once

// The GLSL of the shapes. Coverage is worked out per pixel from the shape itself:
// straight edges by their overlap with the pixel's box, ovals by 16 rows across the
// pixel, each cut exactly, so that a disc of any size covers its area.

namespace Stimulark::ShapeShaders {

// Instanced shapes in canvas coordinates (pixel centres), through the program's GL
// matrix. Per instance: bounds (left, top, right, bottom edges), parameters (pen,
// start angle and sweep in radians, kind) and colour.
inline constexpr const char* shapeVertex = R"(#version 330 core
layout(location = 0) in vec2 corner;
layout(location = 1) in vec4 bounds;
layout(location = 2) in vec4 parameters;
layout(location = 3) in vec4 colour;
uniform mat4 transform;
out vec2 local;
flat out vec4 shapeBounds;
flat out vec4 shapeParameters;
flat out vec4 shapeColour;
void main() {
    // A pixel of margin: every pixel that the shape's box reaches, however the matrix
    // turns it.
    vec2 low = bounds.xy - 1.0, high = bounds.zw + 1.0;
    local = mix(low, high, corner);
    shapeBounds = bounds;
    shapeParameters = parameters;
    shapeColour = colour;
    gl_Position = transform * vec4(local, 0.0, 1.0);
}
)";

inline constexpr const char* shapeFragment = R"(#version 330 core
in vec2 local;
flat in vec4 shapeBounds;
flat in vec4 shapeParameters;
flat in vec4 shapeColour;
uniform float pixelHalf; // half a pixel in local units, however the program's matrix scales them
out vec4 fragment;

const int FILL_RECT = 0, FRAME_RECT = 1, FILL_OVAL = 2, FRAME_OVAL = 3, FILL_ARC = 4;

float overlap(float a0, float a1, float b0, float b1) { return max(0.0, min(a1, b1) - max(a0, b0)); }

float rectCoverage(vec2 p, float h, vec4 r) {
    if (r.z <= r.x || r.w <= r.y)
        return 0.0;
    return overlap(r.x, r.z, p.x - h, p.x + h) * overlap(r.y, r.w, p.y - h, p.y + h) / (4.0 * h * h);
}

// The part of the row [x0, x1] at height dy from the centre that lies on the sector's
// side of the line through the centre in direction u: clockwise of it when `after`.
vec2 clipToSide(vec2 span, float dy, vec2 u, bool after) {
    float a = u.x * dy, b = -u.y; // cross(u, (x, dy)) = a + b x
    if (!after) { a = -a; b = -b; }
    if (abs(b) < 1e-9)
        return a >= 0.0 ? span : vec2(0.0);
    float root = -a / b;
    return b > 0.0 ? vec2(max(span.x, root), span.y) : vec2(span.x, min(span.y, root));
}

// Of the pixel box (centre p, half size h), the part inside the ellipse of centre c and
// semi-axes ab, and, where sweep > 0, inside the sector from angle start over sweep
// (radians, clockwise from up).
// `rows` across the pixel: 16 keep a disc's area within 0.1 %.
float ovalCoverage(vec2 p, float h, vec2 c, vec2 ab, float start, float sweep, int rows) {
    if (ab.x <= 0.0 || ab.y <= 0.0)
        return 0.0;
    vec2 d = abs(p - c);
    vec2 far = (d + h) / ab, near = max(d - h, 0.0) / ab;
    if (dot(near, near) >= 1.0)
        return 0.0;
    bool sector = sweep > 0.0 && sweep < 6.28318530718;
    if (!sector && dot(far, far) <= 1.0)
        return 1.0;
    bool wide = sweep > 3.14159265359; // then the sector is all but the narrow wedge left out
    vec2 u0 = vec2(0.0), u1 = vec2(0.0);
    if (sector) {
        float from = wide ? start + sweep : start, over = wide ? 6.28318530718 - sweep : sweep;
        u0 = vec2(sin(from), -cos(from));
        u1 = vec2(sin(from + over), -cos(from + over));
    }
    float sum = 0.0;
    for (int k = 0; k < rows; ++k) {
        float y = p.y - h + (float(k) + 0.5) * (2.0 * h / float(rows));
        float t = (y - c.y) / ab.y;
        if (abs(t) >= 1.0)
            continue;
        float reach = ab.x * sqrt(1.0 - t * t);
        vec2 span = vec2(max(c.x - reach, p.x - h), min(c.x + reach, p.x + h));
        if (span.y <= span.x)
            continue;
        float inside = span.y - span.x;
        if (sector) {
            vec2 wedge = clipToSide(clipToSide(span - c.x, y - c.y, u0, true), y - c.y, u1, false);
            float part = max(0.0, wedge.y - wedge.x);
            inside = wide ? inside - part : part;
        }
        sum += inside;
    }
    return sum / (float(rows) * 2.0 * h);
}

void main() {
    int kind = int(shapeParameters.w + 0.5);
    float h = pixelHalf;
    vec4 r = shapeBounds;
    float pen = shapeParameters.x;
    float coverage = 0.0;
    if (kind == FILL_RECT) {
        coverage = rectCoverage(local, h, r);
    } else if (kind == FRAME_RECT) {
        coverage = rectCoverage(local, h, r) - rectCoverage(local, h, r + vec4(pen, pen, -pen, -pen));
    } else {
        vec2 c = 0.5 * (r.xy + r.zw), ab = 0.5 * (r.zw - r.xy);
        coverage = ovalCoverage(local, h, c, ab, shapeParameters.y, kind == FILL_ARC ? shapeParameters.z : 0.0, 16);
        if (kind == FRAME_OVAL)
            coverage -= ovalCoverage(local, h, c, ab - pen, 0.0, 0.0, 16);
    }
    coverage = clamp(coverage, 0.0, 1.0);
    if (coverage <= 0.0)
        discard;
    fragment = vec4(shapeColour.rgb, shapeColour.a * coverage);
}
)";

// Dots: per instance the centre, the diameter and the colour; the disc's coverage by
// four rows across each pixel (its area within 0.6 %).
inline constexpr const char* dotVertex = R"(#version 330 core
layout(location = 0) in vec2 corner;
layout(location = 1) in vec4 dot; // centre, diameter
layout(location = 2) in vec4 colour;
uniform mat4 transform;
uniform float pixelHalf;
out vec2 local;
flat out vec3 disc; // centre and radius
flat out vec4 dotColour;
void main() {
    float reach = 0.5 * dot.z + pixelHalf;
    local = dot.xy + (2.0 * corner - 1.0) * reach;
    disc = vec3(dot.xy, 0.5 * dot.z);
    dotColour = colour;
    gl_Position = transform * vec4(local, 0.0, 1.0);
}
)";

// A pixel's coverage by a disc, from the pixel's offset d from the centre, its half size h
// and the radius r: four rows across the pixel, each cut exactly.
inline constexpr const char* dotCoverage = R"(
float discCoverage(vec2 d, float h, float r) {
    vec2 far = abs(d) + h;
    if (dot(far, far) <= r * r)
        return 1.0;
    float sum = 0.0;
    for (int k = 0; k < 4; ++k) {
        float y = d.y - h + (float(k) + 0.5) * (0.5 * h);
        float across = r * r - y * y;
        if (across > 0.0) {
            float reach = sqrt(across);
            sum += max(0.0, min(reach, d.x + h) - max(-reach, d.x - h));
        }
    }
    return sum / (8.0 * h);
}
void emitDot(float coverage, vec4 colour) {
    if (coverage <= 0.0)
        discard;
    fragment = vec4(colour.rgb, colour.a * coverage);
}
)";

inline constexpr const char* dotFragment = R"(
in vec2 local;
flat in vec3 disc;
flat in vec4 dotColour;
uniform float pixelHalf;
void main() { emitDot(discCoverage(local - disc.xy, pixelHalf, disc.z), dotColour); }
)";

// Dots as point sprites, where the matrix keeps discs round (rotation, uniform scale,
// mirroring): far fewer vertices for the renderer than a box per dot. The sprite is the
// dot's box in window pixels. `squeeze` places the canvas's viewport inside a wider
// one, so that a dot whose centre is off the window is not clipped away whole; the
// scissor keeps the window's edge.
inline constexpr const char* dotPointVertex = R"(#version 330 core
layout(location = 1) in vec4 dot; // centre, diameter
layout(location = 2) in vec4 colour;
uniform mat4 transform;
uniform float scale; // window pixels per canvas unit
uniform vec2 squeeze;
uniform vec4 viewport; // the wider one
flat out vec3 disc;    // centre and radius in window pixels
flat out vec4 dotColour;
void main() {
    vec4 place = transform * vec4(dot.xy, 0.0, 1.0);
    gl_Position = vec4(place.xy * squeeze, place.zw);
    disc = vec3(viewport.xy + (gl_Position.xy / gl_Position.w * 0.5 + 0.5) * viewport.zw, 0.5 * dot.z * scale);
    dotColour = colour;
    gl_PointSize = dot.z * scale + 1.0;
}
)";

inline constexpr const char* dotPointFragment = R"(
flat in vec3 disc;
flat in vec4 dotColour;
void main() { emitDot(discCoverage(gl_FragCoord.xy - disc.xy, 0.5, disc.z), dotColour); }
)";

// Pieces of lines and the edges of polygons, in window coordinates (pixels from the
// bottom left), drawn into the coverage mask.
inline constexpr const char* maskVertex = R"(#version 330 core
layout(location = 0) in vec2 corner;
layout(location = 1) in vec4 bounds;
layout(location = 2) in vec4 first;
layout(location = 3) in vec4 second;
layout(location = 4) in vec4 third;
layout(location = 5) in vec4 fourth;
uniform vec2 window;
out vec2 position;
flat out vec4 edges[4];
void main() {
    position = mix(bounds.xy - 1.0, bounds.zw + 1.0, corner);
    edges[0] = first;
    edges[1] = second;
    edges[2] = third;
    edges[3] = fourth;
    gl_Position = vec4(2.0 * position / window - 1.0, 0.0, 1.0);
}
)";

// Each edge is (n.x, n.y, c, mode): n a unit normal, n·p + c the signed distance
// inside; mode 0 unused, 1 soft (coverage over the pixel), 2 hard (the pixel's centre
// decides), 3 the distance to a segment (for the polygon passes).
inline constexpr const char* maskFragment = R"(#version 330 core
in vec2 position;
flat in vec4 edges[4];
uniform int pass; // 0 pieces, 1 inside an edge's polygon, 2 outside it
out vec4 fragment;
void main() {
    vec2 p = gl_FragCoord.xy;
    float coverage = 1.0;
    if (pass == 0) {
        for (int i = 0; i < 4; ++i) {
            vec4 e = edges[i];
            float d = dot(e.xy, p) + e.z;
            if (e.w > 1.5)
                coverage *= d >= 0.0 ? 1.0 : 0.0;
            else if (e.w > 0.5)
                coverage *= clamp(0.5 + d, 0.0, 1.0);
        }
    } else {
        // The distance from the pixel's centre to the edge from edges[0].xy to edges[0].zw.
        vec2 a = edges[0].xy, b = edges[0].zw, ab = b - a;
        float t = dot(ab, ab) > 0.0 ? clamp(dot(p - a, ab) / dot(ab, ab), 0.0, 1.0) : 0.0;
        float d = length(p - (a + t * ab));
        coverage = clamp(pass == 1 ? 0.5 + d : 0.5 - d, 0.0, 1.0);
    }
    fragment = vec4(coverage);
}
)";

// Plain positions in window coordinates: the stencil fan of a polygon, and the box that
// carries the mask onto the canvas.
inline constexpr const char* plainVertex = R"(#version 330 core
layout(location = 0) in vec2 position;
uniform vec2 window;
void main() { gl_Position = vec4(2.0 * position / window - 1.0, 0.0, 1.0); }
)";

inline constexpr const char* compositeFragment = R"(#version 330 core
uniform sampler2D mask;
uniform vec4 colour;
uniform int fill; // 1: write full coverage into the mask
out vec4 fragment;
void main() {
    if (fill == 1) {
        fragment = vec4(1.0);
        return;
    }
    float coverage = texelFetch(mask, ivec2(gl_FragCoord.xy), 0).r;
    if (coverage <= 0.0)
        discard;
    fragment = vec4(colour.rgb, colour.a * coverage);
}
)";

} // namespace Stimulark::ShapeShaders
