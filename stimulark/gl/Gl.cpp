#include "stimulark/gl/Gl.hpp"

#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"

#include <vector>

namespace Stimulark::Gl {

namespace {

[[noreturn]] void refuse(const std::string& message) {
    throw Exception(typeid(Canvas), "API ERROR", message.c_str());
}

GLuint compile(GLenum stage, const char* source) {
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        std::vector<char> log(4096);
        glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, log.data());
        glDeleteShader(shader);
        refuse(std::string("A shader of the toolkit did not compile: ") + log.data());
    }
    return shader;
}

} // namespace

void requireVersion33() {
    if (epoxy_is_desktop_gl() && epoxy_gl_version() >= 33)
        return;
    const auto* offered = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    refuse(std::string("OpenGL 3.3 is needed for this drawing; the display offers ") +
           (offered ? offered : "no OpenGL") + ".");
}

GLuint buildProgram(const char* vertexSource, const char* fragmentSource) {
    const GLuint vertex = compile(GL_VERTEX_SHADER, vertexSource);
    GLuint fragment = 0;
    try {
        fragment = compile(GL_FRAGMENT_SHADER, fragmentSource);
    } catch (...) {
        glDeleteShader(vertex);
        throw;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        std::vector<char> log(4096);
        glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
        glDeleteProgram(program);
        refuse(std::string("A shader program of the toolkit did not link: ") + log.data());
    }
    return program;
}

StateGuard::StateGuard() {
    glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray_);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer_);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer_);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture_);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &blendEquation_);
    glGetIntegerv(GL_BLEND_SRC_RGB, &blendSource_);
    glGetIntegerv(GL_BLEND_DST_RGB, &blendDestination_);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &blendSourceAlpha_);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &blendDestinationAlpha_);
    blend_ = glIsEnabled(GL_BLEND);
    stencil_ = glIsEnabled(GL_STENCIL_TEST);
    scissor_ = glIsEnabled(GL_SCISSOR_TEST);
    alphaTest_ = glIsEnabled(GL_ALPHA_TEST);
    glGetIntegerv(GL_VIEWPORT, viewport_);
    glGetIntegerv(GL_SCISSOR_BOX, scissorBox_);
    glGetBooleanv(GL_COLOR_WRITEMASK, colorMask_);
}

StateGuard::~StateGuard() {
    glUseProgram(static_cast<GLuint>(program_));
    glBindVertexArray(static_cast<GLuint>(vertexArray_));
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer_));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawFramebuffer_));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture_));
    glActiveTexture(static_cast<GLenum>(activeTexture_));
    glBlendEquation(static_cast<GLenum>(blendEquation_));
    glBlendFuncSeparate(static_cast<GLenum>(blendSource_), static_cast<GLenum>(blendDestination_),
                        static_cast<GLenum>(blendSourceAlpha_), static_cast<GLenum>(blendDestinationAlpha_));
    (blend_ ? glEnable : glDisable)(GL_BLEND);
    (stencil_ ? glEnable : glDisable)(GL_STENCIL_TEST);
    (scissor_ ? glEnable : glDisable)(GL_SCISSOR_TEST);
    (alphaTest_ ? glEnable : glDisable)(GL_ALPHA_TEST);
    glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
    glScissor(scissorBox_[0], scissorBox_[1], scissorBox_[2], scissorBox_[3]);
    glColorMask(colorMask_[0], colorMask_[1], colorMask_[2], colorMask_[3]);
}

} // namespace Stimulark::Gl

#include "stimulark/gl/WindowBuffers.hpp"

namespace Stimulark::Gl {

// A context older than 3.0 has no framebuffer objects, so nothing else can be bound.
WindowBuffers::WindowBuffers() {
    if (!epoxy_is_desktop_gl() || epoxy_gl_version() < 30)
        return;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previous_);
    if (previous_ != 0)
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
}

WindowBuffers::~WindowBuffers() {
    if (previous_ != 0)
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(previous_));
}

} // namespace Stimulark::Gl
