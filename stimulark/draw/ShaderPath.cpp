#include "stimulark/draw/ShaderPath.hpp"

#include "stimulark/draw/GlyphAtlas.hpp"
#include "stimulark/draw/ShapeShaders.hpp"
#include "stimulark/draw/TextShaders.hpp"
#include "stimulark/gl/Gl.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace Stimulark {

namespace {

constexpr float corners[] = {0.0F, 0.0F, 1.0F, 0.0F, 0.0F, 1.0F, 1.0F, 1.0F};
constexpr int shapeFloats = 12;

void instanced(GLuint index, int size, int stride, int offset) {
    glEnableVertexAttribArray(index);
    glVertexAttribPointer(index, size, GL_FLOAT, GL_FALSE, stride * static_cast<int>(sizeof(float)),
                          reinterpret_cast<const void*>(static_cast<std::uintptr_t>(offset) * sizeof(float)));
    glVertexAttribDivisor(index, 1);
}

void cornerAttribute(GLuint cornerBuffer) {
    glBindBuffer(GL_ARRAY_BUFFER, cornerBuffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
}

std::array<double, 16> multiply(const std::array<double, 16>& a, const std::array<double, 16>& b) {
    std::array<double, 16> c{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                c[column * 4 + row] += a[k * 4 + row] * b[column * 4 + k];
    return c;
}

} // namespace

ShaderPath::ShaderPath(int width, int height) : width_(width), height_(height) {
    Gl::requireVersion33();
    const Gl::StateGuard guard;
    shapeProgram_ = Gl::buildProgram(ShapeShaders::shapeVertex, ShapeShaders::shapeFragment);
    const std::string dotHead = std::string("#version 330 core\nout vec4 fragment;\n") + ShapeShaders::dotCoverage;
    dotProgram_ = Gl::buildProgram(ShapeShaders::dotVertex, (dotHead + ShapeShaders::dotFragment).c_str());
    dotTransform_ = glGetUniformLocation(dotProgram_, "transform");
    dotPixelHalf_ = glGetUniformLocation(dotProgram_, "pixelHalf");
    pointProgram_ = Gl::buildProgram(ShapeShaders::dotPointVertex, (dotHead + ShapeShaders::dotPointFragment).c_str());
    pointTransform_ = glGetUniformLocation(pointProgram_, "transform");
    pointScale_ = glGetUniformLocation(pointProgram_, "scale");
    pointSqueeze_ = glGetUniformLocation(pointProgram_, "squeeze");
    pointViewport_ = glGetUniformLocation(pointProgram_, "viewport");
    GLfloat sizes[2] = {1.0F, 1.0F};
    glGetFloatv(GL_POINT_SIZE_RANGE, sizes);
    GLint viewportLimits[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewportLimits);
    largestPoint_ = std::min<double>(sizes[1], 0.5 * (std::min(viewportLimits[0], viewportLimits[1]) -
                                                       std::max(width_, height_)) - 2.0);
    maskProgram_ = Gl::buildProgram(ShapeShaders::maskVertex, ShapeShaders::maskFragment);
    compositeProgram_ = Gl::buildProgram(ShapeShaders::plainVertex, ShapeShaders::compositeFragment);
    shapeTransform_ = glGetUniformLocation(shapeProgram_, "transform");
    shapePixelHalf_ = glGetUniformLocation(shapeProgram_, "pixelHalf");
    maskWindow_ = glGetUniformLocation(maskProgram_, "window");
    maskPass_ = glGetUniformLocation(maskProgram_, "pass");
    compositeWindow_ = glGetUniformLocation(compositeProgram_, "window");
    compositeColour_ = glGetUniformLocation(compositeProgram_, "colour");
    compositeFill_ = glGetUniformLocation(compositeProgram_, "fill");
    compositeMask_ = glGetUniformLocation(compositeProgram_, "mask");

    glGenBuffers(1, &cornerBuffer_);
    glBindBuffer(GL_ARRAY_BUFFER, cornerBuffer_);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glGenBuffers(1, &instanceBuffer_);
    glGenBuffers(1, &plainBuffer_);

    glGenVertexArrays(1, &shapeArray_);
    glBindVertexArray(shapeArray_);
    cornerAttribute(cornerBuffer_);
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_);
    for (GLuint i = 0; i < 3; ++i)
        instanced(i + 1, 4, shapeFloats, static_cast<int>(i) * 4);

    glGenVertexArrays(1, &dotArray_);
    glBindVertexArray(dotArray_);
    cornerAttribute(cornerBuffer_);
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_);
    for (GLuint i = 0; i < 2; ++i)
        instanced(i + 1, 4, 8, static_cast<int>(i) * 4);

    // The same dots, one vertex each.
    glGenVertexArrays(1, &pointArray_);
    glBindVertexArray(pointArray_);
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_);
    for (GLuint i = 0; i < 2; ++i) {
        instanced(i + 1, 4, 8, static_cast<int>(i) * 4);
        glVertexAttribDivisor(i + 1, 0);
    }

    glGenVertexArrays(1, &maskArray_);
    glBindVertexArray(maskArray_);
    cornerAttribute(cornerBuffer_);
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_);
    for (GLuint i = 0; i < 5; ++i)
        instanced(i + 1, 4, ShaderPath::maskFloats, static_cast<int>(i) * 4);

    glGenVertexArrays(1, &plainArray_);
    glBindVertexArray(plainArray_);
    glBindBuffer(GL_ARRAY_BUFFER, plainBuffer_);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);

    // The coverage of lines and polygons, one byte a pixel, with a stencil for the
    // polygons' inside.
    glGenTextures(1, &maskTexture_);
    glBindTexture(GL_TEXTURE_2D, maskTexture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, width_, height_, 0, GL_RED, GL_UNSIGNED_BYTE, nullptr);
    glGenRenderbuffers(1, &maskStencil_);
    glBindRenderbuffer(GL_RENDERBUFFER, maskStencil_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width_, height_);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glGenFramebuffers(1, &maskFramebuffer_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, maskFramebuffer_);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, maskTexture_, 0);
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, maskStencil_);
    glClearColor(0.0F, 0.0F, 0.0F, 0.0F);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

ShaderPath::~ShaderPath() {
    atlas_.reset();
    glDeleteVertexArrays(1, &textArray_);
    glDeleteProgram(textProgram_);
    glDeleteFramebuffers(1, &maskFramebuffer_);
    glDeleteRenderbuffers(1, &maskStencil_);
    glDeleteTextures(1, &maskTexture_);
    const GLuint arrays[] = {shapeArray_, dotArray_, pointArray_, maskArray_, plainArray_};
    glDeleteVertexArrays(5, arrays);
    const GLuint buffers[] = {cornerBuffer_, instanceBuffer_, plainBuffer_};
    glDeleteBuffers(3, buffers);
    glDeleteProgram(shapeProgram_);
    glDeleteProgram(dotProgram_);
    glDeleteProgram(pointProgram_);
    glDeleteProgram(maskProgram_);
    glDeleteProgram(compositeProgram_);
}

// The canvas's matrices place pixel centres a 0.375 offset into their pixels; the
// shader path wants them at the centres, half a pixel in.
ShaderPath::Placement ShaderPath::placement() const {
    std::array<double, 16> projection{}, modelview{};
    glGetDoublev(GL_PROJECTION_MATRIX, projection.data());
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview.data());
    std::array<double, 16> centre{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.125, 0.125, 0, 1};
    return {multiply(projection, multiply(centre, modelview)), static_cast<double>(width_),
            static_cast<double>(height_)};
}

Point ShaderPath::Placement::toWindow(Point p) const {
    const auto& m = matrix;
    const double x = m[0] * p.x + m[4] * p.y + m[12], y = m[1] * p.x + m[5] * p.y + m[13],
                 w = m[3] * p.x + m[7] * p.y + m[15];
    return {(x / w + 1.0) * 0.5 * width, (y / w + 1.0) * 0.5 * height};
}

void ShaderPath::uploadInstances(const void* data, std::size_t bytes) {
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_);
    if (bytes > instanceCapacity_) {
        instanceCapacity_ = std::max(bytes, 2 * instanceCapacity_);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(instanceCapacity_), nullptr, GL_STREAM_DRAW);
    } else {
        // A fresh store, so that the driver need not wait for the last draw from the old one.
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(instanceCapacity_), nullptr, GL_STREAM_DRAW);
    }
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), data);
}

void ShaderPath::useTransformed(unsigned program, int transform, int pixelHalf) {
    const Placement place = placement();
    std::array<float, 16> matrix{};
    std::copy(place.matrix.begin(), place.matrix.end(), matrix.begin());
    // The local area of a window pixel, from the matrix's linear part in window pixels.
    const double scale = std::abs(place.matrix[0] * place.matrix[5] - place.matrix[4] * place.matrix[1]) *
                         place.width * place.height / 4.0;
    glUseProgram(program);
    glUniformMatrix4fv(transform, 1, GL_FALSE, matrix.data());
    glUniform1f(pixelHalf, scale > 0.0 ? static_cast<float>(0.5 / std::sqrt(scale)) : 0.5F);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void ShaderPath::drawShapes(std::span<const ShapeInstance> shapes) {
    if (shapes.empty())
        return;
    const Gl::StateGuard guard;
    useTransformed(shapeProgram_, shapeTransform_, shapePixelHalf_);
    glBindVertexArray(shapeArray_);
    uploadInstances(shapes.data(), shapes.size_bytes());
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, static_cast<GLsizei>(shapes.size()));
}

void ShaderPath::drawDots(std::span<const DotInstance> dots, double largest) {
    if (dots.empty())
        return;
    const Gl::StateGuard guard;
    const Placement place = placement();
    const auto& m = place.matrix;
    // The matrix's linear part in window pixels: discs stay discs where its columns are
    // orthogonal and of one length, as far as GL's single-precision matrices tell.
    const double a = m[0] * place.width / 2, b = m[1] * place.height / 2, c = m[4] * place.width / 2,
                 d = m[5] * place.height / 2;
    const double scale = std::sqrt(a * a + b * b), tolerance = 1e-6 * scale * scale;
    const bool round = m[3] == 0.0 && m[7] == 0.0 && m[15] == 1.0 && scale > 0.0 &&
                       std::abs(c * c + d * d - scale * scale) <= tolerance && std::abs(a * c + b * d) <= tolerance;
    const double sprite = largest * scale + 1.0;
    if (!round || !(sprite <= largestPoint_)) {
        useTransformed(dotProgram_, dotTransform_, dotPixelHalf_);
        glBindVertexArray(dotArray_);
        uploadInstances(dots.data(), dots.size_bytes());
        glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, static_cast<GLsizei>(dots.size()));
        return;
    }
    useTransformed(pointProgram_, pointTransform_, -1);
    glUniform1f(pointScale_, static_cast<float>(scale));
    GLint view[4] = {};
    glGetIntegerv(GL_VIEWPORT, view);
    const int margin = static_cast<int>(std::ceil(sprite / 2.0)) + 1;
    const GLint wide[4] = {view[0] - margin, view[1] - margin, view[2] + 2 * margin, view[3] + 2 * margin};
    glViewport(wide[0], wide[1], wide[2], wide[3]);
    glUniform2f(pointSqueeze_, static_cast<float>(view[2]) / static_cast<float>(wide[2]),
                static_cast<float>(view[3]) / static_cast<float>(wide[3]));
    glUniform4f(pointViewport_, static_cast<float>(wide[0]), static_cast<float>(wide[1]), static_cast<float>(wide[2]),
                static_cast<float>(wide[3]));
    // The scissor a program set still holds, within the viewport it drew to.
    GLint box[4] = {view[0], view[1], view[2], view[3]};
    if (glIsEnabled(GL_SCISSOR_TEST)) {
        GLint own[4] = {};
        glGetIntegerv(GL_SCISSOR_BOX, own);
        const GLint left = std::max(own[0], view[0]), bottom = std::max(own[1], view[1]);
        const GLint right = std::min(own[0] + own[2], view[0] + view[2]),
                    top = std::min(own[1] + own[3], view[1] + view[3]);
        box[0] = left;
        box[1] = bottom;
        box[2] = std::max(0, right - left);
        box[3] = std::max(0, top - bottom);
    }
    glEnable(GL_SCISSOR_TEST);
    glScissor(box[0], box[1], box[2], box[3]);
    // The sprite's size comes from the shader, and nothing smooths it.
    const bool programSize = glIsEnabled(GL_PROGRAM_POINT_SIZE) != GL_FALSE;
    const bool smooth = glIsEnabled(GL_POINT_SMOOTH) != GL_FALSE;
    const bool sprites = glIsEnabled(GL_POINT_SPRITE) != GL_FALSE;
    glEnable(GL_PROGRAM_POINT_SIZE);
    glDisable(GL_POINT_SMOOTH);
    glEnable(GL_POINT_SPRITE);
    glBindVertexArray(pointArray_);
    uploadInstances(dots.data(), dots.size_bytes());
    glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(dots.size()));
    (programSize ? glEnable : glDisable)(GL_PROGRAM_POINT_SIZE);
    (smooth ? glEnable : glDisable)(GL_POINT_SMOOTH);
    (sprites ? glEnable : glDisable)(GL_POINT_SPRITE);
}

GlyphAtlas& ShaderPath::glyphAtlas() {
    if (atlas_)
        return *atlas_;
    const Gl::StateGuard guard;
    textProgram_ = Gl::buildProgram(TextShaders::glyphVertex, TextShaders::glyphFragment);
    textTransform_ = glGetUniformLocation(textProgram_, "transform");
    textOrigin_ = glGetUniformLocation(textProgram_, "origin");
    textColour_ = glGetUniformLocation(textProgram_, "colour");
    textGlyphs_ = glGetUniformLocation(textProgram_, "glyphs");
    glGenVertexArrays(1, &textArray_);
    glBindVertexArray(textArray_);
    cornerAttribute(cornerBuffer_);
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_);
    instanced(1, 4, glyphFloats, 0);
    instanced(2, 2, glyphFloats, 4);
    atlas_ = std::make_unique<GlyphAtlas>();
    return *atlas_;
}

void ShaderPath::drawGlyphs(std::span<const float> quads, double originX, double originY, Color color) {
    if (quads.empty())
        return;
    GlyphAtlas& atlas = glyphAtlas();
    const Gl::StateGuard guard;
    useTransformed(textProgram_, textTransform_, -1); // glyphs need no pixel size; GL ignores location -1
    glUniform2f(textOrigin_, static_cast<float>(originX), static_cast<float>(originY));
    glUniform4f(textColour_, static_cast<float>(color.r), static_cast<float>(color.g), static_cast<float>(color.b),
                static_cast<float>(color.a));
    glUniform1i(textGlyphs_, 0);
    glBindTexture(GL_TEXTURE_2D, atlas.texture());
    glBindVertexArray(textArray_);
    uploadInstances(quads.data(), quads.size_bytes());
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, static_cast<GLsizei>(quads.size() / glyphFloats));
}

} // namespace Stimulark
