#include "stimulark/draw/FloatBuffer.hpp"

#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/draw/ClipCounter.hpp"
#include "stimulark/draw/StimulusShaders.hpp"
#include "stimulark/gl/Gl.hpp"

#include <string>

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
    // A second pass over the whole buffer to count would cost as much as the conversion.
    const bool atomic = epoxy_gl_version() >= 42 || epoxy_has_gl_extension("GL_ARB_shader_atomic_counters");
    const std::string fragment = std::string(atomic ? "#version 330 core\n#extension GL_ARB_shader_atomic_counters : "
                                                      "require\n#define ATOMIC 1\n"
                                                    : "#version 330 core\n#define ATOMIC 0\n") +
                                 StimulusShaders::convertFragment;
    program_ = Gl::buildProgram(StimulusShaders::windowVertex, fragment.c_str());
    dither_ = glGetUniformLocation(program_, "dither");
    countOnly_ = glGetUniformLocation(program_, "countOnly");
    counting_ = glGetUniformLocation(program_, "counting");
    if (atomic) {
        const GLuint zero = 0;
        glGenBuffers(1, &atomics_);
        glBindBuffer(GL_ATOMIC_COUNTER_BUFFER, atomics_);
        glBufferData(GL_ATOMIC_COUNTER_BUFFER, sizeof zero, &zero, GL_DYNAMIC_READ);
    }
    source_ = glGetUniformLocation(program_, "source");
    // The corners come from gl_VertexID; the array only has to be bound.
    glGenVertexArrays(1, &array_);
}

FloatBuffer::~FloatBuffer() {
    glDeleteVertexArrays(1, &array_);
    glDeleteBuffers(1, &atomics_);
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
        glUniform1i(counting_, counter != nullptr ? 1 : 0);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glBindVertexArray(array_);
        if (atomics_ != 0)
            glBindBufferBase(GL_ATOMIC_COUNTER_BUFFER, 0, atomics_);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        if (counter != nullptr && atomics_ == 0) {
            glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
            glUniform1i(countOnly_, 1);
            counter->begin();
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
            counter->end();
        }
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
}

long long FloatBuffer::takeClipped() {
    if (atomics_ == 0)
        return 0;
    GLuint counted = 0;
    const GLuint zero = 0;
    glBindBuffer(GL_ATOMIC_COUNTER_BUFFER, atomics_);
    glGetBufferSubData(GL_ATOMIC_COUNTER_BUFFER, 0, sizeof counted, &counted);
    glBufferSubData(GL_ATOMIC_COUNTER_BUFFER, 0, sizeof zero, &zero);
    return counted;
}

} // namespace Stimulark
