#include "stimulark/draw/GlyphAtlas.hpp"

#include "stimulark/gl/Gl.hpp"

#include <algorithm>
#include <atomic>

namespace Stimulark {

namespace {

constexpr int widest = 4096, tallest = 8192, firstHeight = 256;

std::atomic<std::uint64_t> nextIdentity{1};

// Tightly packed bytes from client memory, whatever unpacking the program set up.
class PlainUnpacking {
public:
    PlainUnpacking() {
        glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &buffer_);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment_);
        glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength_);
        glGetIntegerv(GL_UNPACK_SKIP_ROWS, &skipRows_);
        glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &skipPixels_);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    }
    ~PlainUnpacking() {
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(buffer_));
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment_);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength_);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, skipRows_);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, skipPixels_);
    }
    PlainUnpacking(const PlainUnpacking&) = delete;
    PlainUnpacking& operator=(const PlainUnpacking&) = delete;

private:
    GLint buffer_ = 0, alignment_ = 4, rowLength_ = 0, skipRows_ = 0, skipPixels_ = 0;
};

GLuint newTexture(int width, int height) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    const PlainUnpacking unpacking;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, width, height, 0, GL_RED, GL_UNSIGNED_BYTE, nullptr);
    return texture;
}

} // namespace

GlyphAtlas::GlyphAtlas() : identity_(nextIdentity++) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    width_ = std::min(widest, static_cast<int>(largest));
    maxHeight_ = std::min(tallest, static_cast<int>(largest));
    height_ = std::min(firstHeight, maxHeight_);
    texture_ = newTexture(width_, height_);
    glGenFramebuffers(1, &readFramebuffer_);
}

GlyphAtlas::~GlyphAtlas() {
    glDeleteFramebuffers(1, &readFramebuffer_);
    glDeleteTextures(1, &texture_);
}

bool GlyphAtlas::place(std::uint32_t font, std::uint32_t glyph, int width, int height, const unsigned char* pixels,
                       int& x, int& y) {
    glBindTexture(GL_TEXTURE_2D, texture_);
    const std::uint64_t key = std::uint64_t{font} << 32 | glyph;
    const auto known = places_.find(key);
    if (known != places_.end()) {
        x = known->second.x;
        y = known->second.y;
        return true;
    }
    if (width > width_ || height > maxHeight_)
        return false;
    if (!allocate(width, height, x, y)) {
        empty();
        if (!allocate(width, height, x, y))
            return false;
    }
    places_.emplace(key, Place{x, y});
    const PlainUnpacking unpacking;
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_RED, GL_UNSIGNED_BYTE, pixels);
    return true;
}

// A glyph goes on the lowest shelf that holds it without wasting more than a quarter
// of its height, else on a new shelf.
bool GlyphAtlas::allocate(int width, int height, int& x, int& y) {
    Shelf* best = nullptr;
    for (Shelf& shelf : shelves_)
        if (shelf.height >= height && shelf.height <= height + height / 4 + 1 && shelf.used + width <= width_ &&
            (best == nullptr || shelf.height < best->height))
            best = &shelf;
    if (best == nullptr) {
        if (shelvesEnd_ + height > maxHeight_)
            return false;
        if (shelvesEnd_ + height > height_)
            grow(shelvesEnd_ + height);
        shelves_.push_back({shelvesEnd_, height, 0});
        shelvesEnd_ += height;
        best = &shelves_.back();
    }
    x = best->used;
    y = best->top;
    best->used += width;
    return true;
}

// The old texture's rows are copied into the new one from a framebuffer it is attached
// to, on the GPU.
void GlyphAtlas::grow(int height) {
    const int newHeight = std::min(maxHeight_, std::max(2 * height_, height));
    const GLuint grown = newTexture(width_, newHeight);
    GLint readFramebuffer = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer_);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width_, shelvesEnd_);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer));
    glDeleteTextures(1, &texture_);
    texture_ = grown;
    height_ = newHeight;
}

void GlyphAtlas::empty() {
    places_.clear();
    shelves_.clear();
    shelvesEnd_ = 0;
    identity_ = nextIdentity++;
}

} // namespace Stimulark
