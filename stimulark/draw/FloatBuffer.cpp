#include "stimulark/draw/FloatBuffer.hpp"

#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/draw/ClipCounter.hpp"
#include "stimulark/draw/StimulusShaders.hpp"
#include "stimulark/gl/Gl.hpp"

namespace Stimulark {

FloatBuffer::FloatBuffer(int width, int height) : width_(width), height_(height) {
    Gl::requireVersion33();
    const Gl::StateGuard guard;
    // Errors left over from earlier calls would be taken for this buffer's.
    while (glGetError() != GL_NO_ERROR) {
    }
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, width, height, 0, GL_RGBA, GL_FLOAT, nullptr);
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
    const GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    const GLenum error = glGetError();
    if (status != GL_FRAMEBUFFER_COMPLETE || error != GL_NO_ERROR) {
        glDeleteFramebuffers(1, &framebuffer_);
        glDeleteTextures(1, &texture_);
        throw Exception(typeid(Canvas), "API ERROR", "The display cannot draw into a float buffer of the canvas's size.");
    }
    program_ = Gl::buildProgram(StimulusShaders::windowVertex, StimulusShaders::convertFragment);
    dither_ = glGetUniformLocation(program_, "dither");
    countOnly_ = glGetUniformLocation(program_, "countOnly");
    source_ = glGetUniformLocation(program_, "source");
    // The corners come from gl_VertexID; the array only has to be bound.
    glGenVertexArrays(1, &array_);
}

FloatBuffer::~FloatBuffer() {
    glDeleteVertexArrays(1, &array_);
    glDeleteProgram(program_);
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteTextures(1, &texture_);
}

void FloatBuffer::bind() const { glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_); }

void FloatBuffer::takeBackBuffer() const {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_);
    glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

void FloatBuffer::convert(bool dither, ClipCounter* counter) const {
    {
        const Gl::StateGuard guard;
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glViewport(0, 0, width_, height_);
        glDisable(GL_BLEND);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_STENCIL_TEST);
        glDisable(GL_ALPHA_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glUseProgram(program_);
        glUniform1i(source_, 0);
        glUniform1i(dither_, dither ? 1 : 0);
        glUniform1i(countOnly_, 0);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glBindVertexArray(array_);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        if (counter != nullptr) {
            glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
            glUniform1i(countOnly_, 1);
            counter->begin();
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
            counter->end();
        }
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
}

} // namespace Stimulark
