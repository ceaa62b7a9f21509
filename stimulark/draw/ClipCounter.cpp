#include "stimulark/draw/ClipCounter.hpp"

#include "stimulark/gl/Gl.hpp"

namespace Stimulark {

ClipCounter::~ClipCounter() {
    if (!queries_.empty())
        glDeleteQueries(static_cast<GLsizei>(queries_.size()), queries_.data());
}

void ClipCounter::begin() {
    if (used_ == most) {
        const long long sofar = take();
        counted_ = sofar;
    }
    if (used_ == queries_.size()) {
        GLuint query = 0;
        glGenQueries(1, &query);
        queries_.push_back(query);
    }
    glBeginQuery(GL_SAMPLES_PASSED, queries_[used_]);
}

void ClipCounter::end() {
    glEndQuery(GL_SAMPLES_PASSED);
    ++used_;
}

long long ClipCounter::take() {
    long long total = counted_;
    for (std::size_t i = 0; i < used_; ++i) {
        GLint64 samples = 0;
        glGetQueryObjecti64v(queries_[i], GL_QUERY_RESULT, &samples);
        total += samples;
    }
    used_ = 0;
    counted_ = 0;
    return total;
}

} // namespace Stimulark
