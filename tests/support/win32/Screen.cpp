#include "support/Screen.hpp"

#include "stimulark/platform/win32/WindowsApi.hpp"

#include <cstring>
#include <stdexcept>

namespace Stimulark::Testing {

// The screen's device context copied into a top-down 32-bit DIB, whose pixels are
// 0x00RRGGBB words as PixelBlock keeps them.
PixelBlock grabScreen(int left, int top, int width, int height) {
    if (width == 0) {
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
    }
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        throw std::runtime_error("no screen to read");
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = memory ? CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    HGDIOBJ previous = bitmap ? SelectObject(memory, bitmap) : nullptr;
    const bool copied = bitmap && BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY) && GdiFlush();
    PixelBlock block{left, top, width, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height)};
    if (copied) {
        const auto* words = static_cast<const std::uint32_t*>(bits);
        for (std::size_t i = 0; i < block.pixels.size(); ++i)
            block.pixels[i] = words[i] & 0xFFFFFF;
    }
    if (bitmap) {
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied)
        throw std::runtime_error("the screen cannot be read");
    return block;
}

} // namespace Stimulark::Testing
