#pragma once

// The OpenGL of the shader path, loaded by libepoxy. A file that includes this must
// not include <GL/gl.h> as well: the two declare the same functions differently.

#include <epoxy/gl.h>

#include <string>

namespace Stimulark::Gl {

// Throws "Stimulark::Canvas [API ERROR] OpenGL 3.3 is needed for this drawing; the
// display offers <GL_VERSION>." unless the current context offers 3.3 or later.
void requireVersion33();

// A linked program of the two GLSL sources. A source that does not compile, or a
// program that does not link, is a fault of the toolkit's: it throws "Stimulark::Canvas
// [API ERROR]" with the driver's log.
GLuint buildProgram(const char* vertexSource, const char* fragmentSource);

// The fixed-function state that the shader path changes, as the Parts' drawing and a
// program's own GL left it, put back when the guard goes.
class StateGuard {
public:
    StateGuard();
    ~StateGuard();
    StateGuard(const StateGuard&) = delete;
    StateGuard& operator=(const StateGuard&) = delete;

private:
    GLint program_ = 0, vertexArray_ = 0, arrayBuffer_ = 0, drawFramebuffer_ = 0, activeTexture_ = 0,
          texture_ = 0, blendEquation_ = 0, blendSource_ = 0, blendDestination_ = 0, blendSourceAlpha_ = 0,
          blendDestinationAlpha_ = 0;
    GLboolean blend_ = GL_FALSE, stencil_ = GL_FALSE, scissor_ = GL_FALSE, alphaTest_ = GL_FALSE;
    GLint viewport_[4] = {};
    GLint scissorBox_[4] = {};
    GLboolean colorMask_[4] = {};
};

} // namespace Stimulark::Gl
