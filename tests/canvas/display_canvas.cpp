#include "display_canvas.hpp"

#include "stimulark/platform/Clock.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/Platform.hpp"

#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace Stimulark::Testing {

PixelBlock PixelBlock::part(int partLeft, int partTop, int partWidth, int partHeight) const {
    PixelBlock block{partLeft, partTop, partWidth, partHeight, {}};
    for (int y = partTop; y < partTop + partHeight; ++y)
        for (int x = partLeft; x < partLeft + partWidth; ++x)
            block.pixels.push_back(at(x, y));
    return block;
}

std::ostream& operator<<(std::ostream& out, const Ink& ink) {
    return out << ink.count << " pixels in (" << ink.left << ", " << ink.top << ")-(" << ink.right << ", "
               << ink.bottom << ")";
}

Ink inkOf(const PixelBlock& block, std::uint32_t background) {
    Ink ink{0, block.left + block.width, block.top + block.height, -1, -1};
    for (int y = block.top; y < block.top + block.height; ++y)
        for (int x = block.left; x < block.left + block.width; ++x)
            if (block.at(x, y) != background) {
                ++ink.count;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
    return ink;
}

PixelBlock readPixels(const Canvas& canvas, int left, int top, int width, int height, bool front) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width * height * 3));
    glFinish();
    glReadBuffer(front ? GL_FRONT : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(left, canvas.height - top - height, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    PixelBlock block{left, top, width, height, {}};
    for (int row = height - 1; row >= 0; --row) // GL rows run bottom up
        for (int column = 0; column < width; ++column) {
            const std::uint8_t* p = &rgb[static_cast<std::size_t>((row * width + column) * 3)];
            block.pixels.push_back(static_cast<std::uint32_t>(p[0] << 16 | p[1] << 8 | p[2]));
        }
    return block;
}

PixelBlock readScreen(int left, int top, int width, int height, int x, int y, std::uint32_t expected) {
    glFinish();
    PixelBlock block{left, top, width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height))};
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        ADD_FAILURE() << "no X display";
        return block;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        XImage* image = XGetImage(display, DefaultRootWindow(display), left, top, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        if (image == nullptr)
            break;
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column)
                block.pixels[static_cast<std::size_t>(row * width + column)] =
                    static_cast<std::uint32_t>(XGetPixel(image, column, row) & 0xFFFFFF);
        XDestroyImage(image);
        if (block.at(x, y) == expected)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    XCloseDisplay(display);
    return block;
}

void xdotool(const std::string& arguments) {
    ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << "xdotool " << arguments;
}

void DisplayTest::SetUp() {
    Clock::initializeFrequency();
    resetKeyboard();
    resetMouse();
    platform().discardMessages();
    canvas = std::make_unique<Canvas>(0);
}

void DisplayTest::TearDown() {
    canvas.reset();
    resetMouse();
    platform().discardMessages();
}

} // namespace Stimulark::Testing
