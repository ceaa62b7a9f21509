#pragma once

// The GLSL of text: glyph quads in canvas coordinates through the program's GL matrix,
// each pixel taking the coverage of the glyph pixel it lies on (nearest texel), so that
// a glyph drawn untransformed shows exactly its rasterised pixels.

namespace Stimulark::TextShaders {

// Per instance: the glyph's pixels (left, top, width, height, whole pixels from the
// origin) and the texel of its top-left pixel in the atlas.
inline constexpr const char* glyphVertex = R"(#version 330 core
layout(location = 0) in vec2 corner;
layout(location = 1) in vec4 box;
layout(location = 2) in vec2 atlas;
uniform mat4 transform;
uniform vec2 origin;
out vec2 texel;
flat out vec4 source;
void main() {
    // Pixel (i, j) spans i - 0.5 to i + 0.5 in canvas coordinates.
    vec2 local = origin + box.xy - 0.5 + corner * box.zw;
    texel = corner * box.zw;
    source = vec4(atlas, box.zw);
    gl_Position = transform * vec4(local, 0.0, 1.0);
}
)";

inline constexpr const char* glyphFragment = R"(#version 330 core
in vec2 texel;
flat in vec4 source;
uniform sampler2D glyphs;
uniform vec4 colour;
out vec4 fragment;
void main() {
    ivec2 at = clamp(ivec2(floor(texel)), ivec2(0), ivec2(source.zw) - 1);
    float coverage = texelFetch(glyphs, ivec2(source.xy) + at, 0).r;
    if (coverage <= 0.0)
        discard;
    fragment = vec4(colour.rgb, colour.a * coverage);
}
)";

} // namespace Stimulark::TextShaders
