#include "stimulark/draw/ShaderPath.hpp"

#include "stimulark/gl/Gl.hpp"

#include <algorithm>
#include <cmath>

// Lines and polygons go through a coverage mask: their parts are drawn into it (the
// union of a line's parts, the even-odd inside of a polygon with its edges softened by
// distance), and then the mask carries the colour onto the canvas once, so that where
// parts overlap nothing is blended twice.
namespace Stimulark {

namespace {

struct Box {
    float left = 1e30F, bottom = 1e30F, right = -1e30F, top = -1e30F;
    void add(Point p) {
        left = std::min(left, static_cast<float>(p.x));
        right = std::max(right, static_cast<float>(p.x));
        bottom = std::min(bottom, static_cast<float>(p.y));
        top = std::max(top, static_cast<float>(p.y));
    }
};

// An edge through a and b as (n.x, n.y, c, mode), n the unit normal on the side
// `inward` (left of a→b when +1), so that n·p + c is the distance inside.
void edge(float* out, Point a, Point b, double inward, float mode) {
    const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
    if (!(length > 0.0)) {
        out[0] = out[1] = out[2] = out[3] = 0.0F;
        return;
    }
    const double nx = -dy / length * inward, ny = dx / length * inward;
    out[0] = static_cast<float>(nx);
    out[1] = static_cast<float>(ny);
    out[2] = static_cast<float>(-(nx * a.x + ny * a.y));
    out[3] = mode;
}

} // namespace

bool ShaderPath::beginMask(float left, float bottom, float right, float top) {
    // One pixel beyond the parts for their soft edges, and one more for rounding.
    const int x0 = std::max(0, static_cast<int>(std::floor(left)) - 2);
    const int y0 = std::max(0, static_cast<int>(std::floor(bottom)) - 2);
    const int x1 = std::min(width_, static_cast<int>(std::ceil(right)) + 2);
    const int y1 = std::min(height_, static_cast<int>(std::ceil(top)) + 2);
    if (!(x1 > x0 && y1 > y0))
        return false;
    maskBox_[0] = x0;
    maskBox_[1] = y0;
    maskBox_[2] = x1 - x0;
    maskBox_[3] = y1 - y0;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, maskFramebuffer_);
    glViewport(0, 0, width_, height_);
    glEnable(GL_SCISSOR_TEST);
    glScissor(maskBox_[0], maskBox_[1], maskBox_[2], maskBox_[3]);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0F, 0.0F, 0.0F, 0.0F);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glDisable(GL_ALPHA_TEST);
    return true;
}

// The mask's box, in the colour, blended onto whatever the canvas was drawing into.
void ShaderPath::compositeMask(Color color, unsigned target) {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(compositeProgram_);
    glUniform2f(compositeWindow_, static_cast<float>(width_), static_cast<float>(height_));
    glUniform4f(compositeColour_, static_cast<float>(color.r), static_cast<float>(color.g),
                static_cast<float>(color.b), static_cast<float>(color.a));
    glUniform1i(compositeFill_, 0);
    glUniform1i(compositeMask_, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, maskTexture_);
    drawBox();
}

void ShaderPath::drawBox() {
    const auto x0 = static_cast<float>(maskBox_[0]), y0 = static_cast<float>(maskBox_[1]);
    const auto x1 = x0 + static_cast<float>(maskBox_[2]), y1 = y0 + static_cast<float>(maskBox_[3]);
    const float box[] = {x0, y0, x1, y0, x0, y1, x1, y1};
    uploadPlain(box, sizeof box);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void ShaderPath::uploadPlain(const float* data, std::size_t bytes) {
    glBindVertexArray(plainArray_);
    glBindBuffer(GL_ARRAY_BUFFER, plainBuffer_);
    if (bytes > plainCapacity_)
        plainCapacity_ = std::max(bytes, 2 * plainCapacity_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(plainCapacity_), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), data);
}

void ShaderPath::fillPieces(std::span<const Piece> pieces, Color color) {
    if (pieces.empty())
        return;
    const Gl::StateGuard guard;
    GLint target = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
    const Placement place = placement();
    staging_.clear();
    Box all;
    for (const Piece& piece : pieces) {
        std::array<Point, 4> at{};
        Box box;
        double area = 0.0;
        for (int i = 0; i < piece.count; ++i) {
            at[static_cast<std::size_t>(i)] = place.toWindow(piece.corners[static_cast<std::size_t>(i)]);
            box.add(at[static_cast<std::size_t>(i)]);
        }
        for (int i = 0; i < piece.count; ++i) {
            const Point a = at[static_cast<std::size_t>(i)], b = at[static_cast<std::size_t>((i + 1) % piece.count)];
            area += a.x * b.y - b.x * a.y;
        }
        if (area == 0.0)
            continue;
        all.add({box.left, box.bottom});
        all.add({box.right, box.top});
        float instance[maskFloats] = {box.left, box.bottom, box.right, box.top};
        for (int i = 0; i < 4; ++i)
            if (i < piece.count)
                edge(instance + 4 + 4 * i, at[static_cast<std::size_t>(i)],
                     at[static_cast<std::size_t>((i + 1) % piece.count)], area > 0.0 ? 1.0 : -1.0,
                     piece.soft[static_cast<std::size_t>(i)] ? 1.0F : 2.0F);
        staging_.insert(staging_.end(), instance, instance + maskFloats);
    }
    if (staging_.empty() || !beginMask(all.left, all.bottom, all.right, all.top))
        return;
    glUseProgram(maskProgram_);
    glUniform2f(maskWindow_, static_cast<float>(width_), static_cast<float>(height_));
    glUniform1i(maskPass_, 0);
    glBindVertexArray(maskArray_);
    uploadInstances(staging_.data(), staging_.size() * sizeof(float));
    glEnable(GL_BLEND);
    glBlendEquation(GL_MAX);
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, static_cast<GLsizei>(staging_.size() / maskFloats));
    compositeMask(color, static_cast<unsigned>(target));
}

void ShaderPath::fillPolygon(std::span<const Point> points, Color color) {
    if (points.size() < 3)
        return;
    const Gl::StateGuard guard;
    GLint target = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
    const Placement place = placement();
    windowPoints_.clear();
    Box all;
    for (const Point& p : points) {
        const Point at = place.toWindow(p);
        if (!std::isfinite(at.x) || !std::isfinite(at.y))
            return;
        all.add(at);
        windowPoints_.push_back(static_cast<float>(at.x));
        windowPoints_.push_back(static_cast<float>(at.y));
    }
    if (!beginMask(all.left, all.bottom, all.right, all.top))
        return;
    // The inside by the even-odd rule: every triangle of a fan from the first corner
    // turns the stencil of the pixel centres it covers.
    glUseProgram(compositeProgram_);
    glUniform2f(compositeWindow_, static_cast<float>(width_), static_cast<float>(height_));
    glUniform1i(compositeFill_, 1);
    uploadPlain(windowPoints_.data(), windowPoints_.size() * sizeof(float));
    glEnable(GL_STENCIL_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilFunc(GL_ALWAYS, 0, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
    glDisable(GL_BLEND);
    glDrawArrays(GL_TRIANGLE_FAN, 0, static_cast<GLsizei>(points.size()));
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glStencilFunc(GL_NOTEQUAL, 0, 0xFF);
    drawBox();

    // Each edge softens the pixels near it: inside ones down to 0.5 + their distance,
    // outside ones up to 0.5 - theirs.
    std::vector<float>& segments = staging_;
    const std::size_t corners = points.size();
    const std::vector<float>& at = windowPoints_;
    segments.clear();
    for (std::size_t i = 0; i < corners; ++i) {
        const float ax = at[2 * i], ay = at[2 * i + 1];
        const float bx = at[2 * ((i + 1) % corners)], by = at[2 * ((i + 1) % corners) + 1];
        const float instance[maskFloats] = {std::min(ax, bx), std::min(ay, by), std::max(ax, bx), std::max(ay, by),
                                            ax, ay, bx, by};
        segments.insert(segments.end(), instance, instance + maskFloats);
    }
    glUseProgram(maskProgram_);
    glUniform2f(maskWindow_, static_cast<float>(width_), static_cast<float>(height_));
    glBindVertexArray(maskArray_);
    uploadInstances(segments.data(), segments.size() * sizeof(float));
    glEnable(GL_BLEND);
    const auto count = static_cast<GLsizei>(corners);
    glUniform1i(maskPass_, 1);
    glBlendEquation(GL_MIN);
    glStencilFunc(GL_NOTEQUAL, 0, 0xFF);
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, count);
    glUniform1i(maskPass_, 2);
    glBlendEquation(GL_MAX);
    glStencilFunc(GL_EQUAL, 0, 0xFF);
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, count);
    compositeMask(color, static_cast<unsigned>(target));
}

} // namespace Stimulark
