#include "display_canvas.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <thread>

namespace Stimulark::Testing {

PixelBlock readScreen(int left, int top, int width, int height, int x, int y, std::uint32_t expected) {
    PixelBlock block{left, top, width, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height))};
    const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    EXPECT_NE(display, nullptr) << "no X display";
    for (int attempt = 0; display && attempt < 100 && (attempt == 0 || block.at(x, y) != expected); ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        XImage* image = XGetImage(display.get(), DefaultRootWindow(display.get()), left, top,
                                  static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
        if (image == nullptr)
            break;
        for (int i = 0; i < width * height; ++i)
            block.pixels[static_cast<std::size_t>(i)] =
                static_cast<std::uint32_t>(XGetPixel(image, i % width, i / width) & 0xFFFFFF);
        XDestroyImage(image);
    }
    return block;
}

} // namespace Stimulark::Testing
