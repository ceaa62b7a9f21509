#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/gl/WindowBuffers.hpp"
#include "stimulark/image/Image.hpp"

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Stimulark {

namespace {

constexpr GLenum pixelFormats[3] = {GL_LUMINANCE, GL_RGB, GL_RGBA};
constexpr GLenum componentTypes[2] = {GL_UNSIGNED_BYTE, GL_FLOAT};
constexpr GLint internalFormats[3] = {1, 3, 4};

// The smallest power of two, at least 2, that holds size; computed in 64 bits, so
// that sizes past 2^30 cannot overflow.
std::int64_t textureSizeFor(int size) {
    std::int64_t texels = 2;
    while (texels < size)
        texels *= 2;
    return texels;
}

[[noreturn]] void refuseWithoutCanvas() {
    throw Exception(typeid(Canvas), "NO CANVAS", "There is no open canvas to draw on.");
}

// The texture's contents: the image in the top-left corner, black elsewhere. Bitmaps are
// bottom-up, so the image's rows go to the last rows of the texture. A BYTE image is
// copied row by row with memcpy, which gives the same bytes as a getPixel/setPixel round
// trip; a FLOAT image passes its values through Color like any other pixel copy.
void copyIntoTexture(const Image& image, Image& texture) {
    if (image.precision == BYTE) {
        const std::size_t runBytes = static_cast<std::size_t>(image.width) * image.pixelBytes;
        const int rowOffset = texture.height - image.height;
        for (int row = 0; row < image.height; ++row)
            std::memcpy(texture.byteBitmap + static_cast<std::size_t>(row + rowOffset) * texture.lineBytes,
                        image.byteBitmap + static_cast<std::size_t>(row) * image.lineBytes, runBytes);
        return;
    }
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            texture.setPixel(x, y, image.getPixel(x, y));
}

// Where the context has auxiliary buffers, the fresh texture is drawn once into one of
// them, out of sight. Without them GL_AUX1 would fall back to the back buffer and show.
void drawIntoAuxiliaryBuffer(const Image& image) {
    GLint auxBuffers = 0;
    glGetIntegerv(GL_AUX_BUFFERS, &auxBuffers);
    if (auxBuffers <= 1)
        return;
    const Rectangle& t = image.targetArea;
    const auto w = static_cast<double>(image.width);
    const auto h = static_cast<double>(image.height);
    const Gl::WindowBuffers window;
    glDrawBuffer(GL_AUX1);
    glColor4f(1.0F, 1.0F, 1.0F, 1.0F);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, image.api->textureName);
    glBegin(GL_QUADS);
    glTexCoord2d(0.0, h);
    glVertex2f(static_cast<float>(t.left), static_cast<float>(t.top));
    glTexCoord2d(w, h);
    glVertex2f(static_cast<float>(t.right + 1.0), static_cast<float>(t.top));
    glTexCoord2d(w, 0.0);
    glVertex2f(static_cast<float>(t.right + 1.0), static_cast<float>(t.bottom + 1.0));
    glTexCoord2d(0.0, 0.0);
    glVertex2f(static_cast<float>(t.left), static_cast<float>(t.bottom + 1.0));
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glDrawBuffer(GL_BACK);
}

} // namespace

void Image::draw() const { draw(targetArea.left, targetArea.top); }

void Image::draw(double left, double top) const { Canvas::drawImageCurrent(*this, left, top); }

bool Image::textureInUse() const {
    return textured && api->canvasSerial == APICanvasProperties::currentSerial;
}

void Image::useTexture(bool on) {
    if (!on) {
        if (textureInUse())
            glDeleteTextures(1, &api->textureName);
        textured = false;
        return;
    }

    getBitmap(); // refuses an image without bitmap
    if (Canvas::current == nullptr)
        refuseWithoutCanvas();
    GLint maxTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    if (width > maxTexture || height > maxTexture || textureSizeFor(width) > maxTexture ||
        textureSizeFor(height) > maxTexture)
        throw Exception(typeid(Image), "TEXTURE ERROR", "The image is too large for a texture on this display.");
    const auto textureWidth = static_cast<int>(textureSizeFor(width));
    const auto textureHeight = static_cast<int>(textureSizeFor(height));
    api->textureWidth = textureWidth;
    api->textureHeight = textureHeight;

    // An image that already fills its texture uploads its own bitmap: the rows are
    // laid out exactly as the texture's would be.
    Image padded;
    const void* texels = getBitmap();
    if (textureWidth != width || textureHeight != height || precision == FLOAT) {
        padded.set(textureWidth, textureHeight, components, precision);
        copyIntoTexture(*this, padded);
        texels = padded.getBitmap();
    }

    const GLenum format = pixelFormats[components];
    const GLenum type = componentTypes[precision];
    glEnable(GL_TEXTURE_2D);
    if (textureInUse()) {
        glBindTexture(GL_TEXTURE_2D, api->textureName);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, textureWidth, textureHeight, format, type, texels);
    } else {
        api->canvasSerial = APICanvasProperties::currentSerial;
        glGenTextures(1, &api->textureName);
        glBindTexture(GL_TEXTURE_2D, api->textureName);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, internalFormats[components], textureWidth, textureHeight, 0, format, type,
                     texels);
        textured = true;
    }
    glDisable(GL_TEXTURE_2D);
    drawIntoAuxiliaryBuffer(*this);
}

void Canvas::drawImage(const Image& image, double x, double y) {
    if (image.textureInUse()) {
        const APIImageProperties& texture = *image.api;
        const double right = x + image.targetArea.getWidth();
        const double bottom = y + image.targetArea.getHeight();
        const double s1 = static_cast<double>(image.width) / texture.textureWidth;
        const double t0 = static_cast<double>(texture.textureHeight - image.height) / texture.textureHeight;
        glColor4f(1.0F, 1.0F, 1.0F, 1.0F);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture.textureName);
        glBegin(GL_QUADS);
        glTexCoord2d(0.0, 1.0);
        glVertex2f(static_cast<float>(x), static_cast<float>(y));
        glTexCoord2d(s1, 1.0);
        glVertex2f(static_cast<float>(right), static_cast<float>(y));
        glTexCoord2d(s1, t0);
        glVertex2f(static_cast<float>(right), static_cast<float>(bottom));
        glTexCoord2d(0.0, t0);
        glVertex2f(static_cast<float>(x), static_cast<float>(bottom));
        glEnd();
        glDisable(GL_TEXTURE_2D);
        return;
    }

    const void* bitmap = image.getBitmap(); // refuses an image without bitmap
    const GLenum format = pixelFormats[image.components];
    const GLenum type = componentTypes[image.precision];
    // With the model-view's 0.375 offset this lands inside row y + height - 1, where
    // the bitmap's first (bottom) row belongs.
    glRasterPos2d(x, y + image.height - 0.385);
    if (image.components == RGBA) {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDrawPixels(image.width, image.height, format, type, bitmap);
        glDisable(GL_BLEND);
        glPopAttrib();
    } else {
        glDrawPixels(image.width, image.height, format, type, bitmap);
    }
}

void Canvas::drawImageCurrent(const Image& image, double x, double y) {
    if (current == nullptr)
        refuseWithoutCanvas();
    current->drawImage(image, x, y);
}

} // namespace Stimulark
