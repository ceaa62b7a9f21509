#include "support/Screen.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <stdexcept>

namespace Stimulark::Testing {

PixelBlock grabScreen(int left, int top, int width, int height) {
    const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (!display)
        throw std::runtime_error("no X display: run under xvfb-run");
    if (width == 0) {
        width = DisplayWidth(display.get(), 0);
        height = DisplayHeight(display.get(), 0);
    }
    XImage* image = XGetImage(display.get(), DefaultRootWindow(display.get()), left, top, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr)
        throw std::runtime_error("the screen cannot be read");
    PixelBlock block{left, top, width, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height))};
    for (int i = 0; i < width * height; ++i)
        block.pixels[static_cast<std::size_t>(i)] =
            static_cast<std::uint32_t>(XGetPixel(image, i % width, i / width) & 0xFFFFFF);
    XDestroyImage(image);
    return block;
}

} // namespace Stimulark::Testing
