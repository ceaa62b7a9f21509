#include "stimulark/platform/win32/Win32Platform.hpp"

#include "stimulark/platform/win32/Win32State.hpp"

namespace Stimulark {

namespace {

constexpr const char* nativeClassName = "StimularkNativeWindow";

LRESULT CALLBACK nativeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* platform = reinterpret_cast<Win32Platform*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (platform && platform->handleNative(reinterpret_cast<WindowHandle>(window), message, wParam, lParam))
        return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

using SwapIntervalSetter = BOOL(WINAPI*)(int);
using SwapIntervalGetter = int(WINAPI*)();

// The swap-control entry points of the context current on this thread, if its
// driver offers them.
template <typename Function>
Function contextFunction(const char* name) {
    if (!wglGetCurrentContext())
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(wglGetProcAddress(name)));
}

} // namespace

// CS_OWNDC: an OpenGL window keeps one device context for its whole life.
WindowHandle Win32Platform::createNativeWindow(std::uint32_t exStyle, const char* title, std::uint32_t style, int x,
                                               int y, int width, int height) {
    Win32WindowRecord* slot = nullptr;
    for (auto& entry : state_->windows)
        if (!entry.window) {
            slot = &entry;
            break;
        }
    if (!slot)
        return 0;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!state_->nativeClass) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_OWNDC;
        windowClass.lpfnWndProc = nativeProcedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        windowClass.lpszClassName = nativeClassName;
        state_->nativeClass = RegisterClassExA(&windowClass);
        // Another backend in this process may hold the class; its procedure is this one, and each window
        // finds its own backend through its creation data.
        if (!state_->nativeClass && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return 0;
    }
    HWND window = CreateWindowExA(exStyle, nativeClassName, title ? title : "", style, x, y, width, height, nullptr,
                                  nullptr, instance, this);
    if (!window)
        return 0;
    slot->window = window;
    slot->deviceContext = GetDC(window);
    return reinterpret_cast<WindowHandle>(window);
}

void Win32Platform::destroyNativeWindow(WindowHandle window) {
    Win32WindowRecord* entry = state_->record(window);
    if (!entry)
        return;
    HWND native = entry->window;
    *entry = Win32WindowRecord{};
    DestroyWindow(native);
}

void Win32Platform::showWindow(WindowHandle window, int showCommand) {
    Win32WindowRecord* entry = state_->record(window);
    if (!entry)
        return;
    ShowWindow(entry->window, showCommand);
    if (showCommand != SW_HIDE) {
        SetForegroundWindow(entry->window);
        SetFocus(entry->window);
        UpdateWindow(entry->window);
    }
}

bool Win32Platform::setPixelFormat(WindowHandle window, const PixelFormatDescriptor& request) {
    HDC deviceContext = state_->deviceContext(window);
    if (!deviceContext)
        return false;
    PIXELFORMATDESCRIPTOR native{};
    native.nSize = sizeof native;
    native.nVersion = request.version;
    native.dwFlags = request.flags;
    native.iPixelType = request.pixelType;
    native.cColorBits = request.colorBits;
    native.cRedBits = request.redBits;
    native.cGreenBits = request.greenBits;
    native.cBlueBits = request.blueBits;
    native.cAlphaBits = request.alphaBits;
    native.cDepthBits = request.depthBits;
    native.cStencilBits = request.stencilBits;
    native.cAuxBuffers = request.auxBuffers;
    native.iLayerType = request.layerType;
    const int format = ChoosePixelFormat(deviceContext, &native);
    return format != 0 && SetPixelFormat(deviceContext, format, &native) != FALSE;
}

ContextHandle Win32Platform::createContext(WindowHandle window) {
    HDC deviceContext = state_->deviceContext(window);
    if (!deviceContext)
        return 0;
    return reinterpret_cast<ContextHandle>(wglCreateContext(deviceContext));
}

bool Win32Platform::makeCurrent(WindowHandle window, ContextHandle context) {
    if (context == 0)
        return wglMakeCurrent(nullptr, nullptr) != FALSE;
    HDC deviceContext = state_->deviceContext(window);
    if (!deviceContext || !wglMakeCurrent(deviceContext, reinterpret_cast<HGLRC>(context)))
        return false;
    contextMadeCurrent();
    return true;
}

void Win32Platform::deleteContext(ContextHandle context) {
    if (context != 0)
        wglDeleteContext(reinterpret_cast<HGLRC>(context));
}

void Win32Platform::swapBuffers(WindowHandle window) {
    if (HDC deviceContext = state_->deviceContext(window))
        SwapBuffers(deviceContext);
}

// WGL_EXT_swap_control, on the context current on the thread, which is the
// window's own while a canvas draws.
bool Win32Platform::setSwapInterval(WindowHandle window, int interval) {
    const auto set = contextFunction<SwapIntervalSetter>("wglSwapIntervalEXT");
    return state_->record(window) && set && set(interval) != FALSE;
}

int Win32Platform::swapInterval(WindowHandle window) {
    const auto get = contextFunction<SwapIntervalGetter>("wglGetSwapIntervalEXT");
    return state_->record(window) && get ? get() : 0;
}

bool Win32Platform::getGammaRamp(WindowHandle window, std::uint16_t* ramp) {
    HDC deviceContext = state_->deviceContext(window);
    return deviceContext && ramp && GetDeviceGammaRamp(deviceContext, ramp) != FALSE;
}

bool Win32Platform::setGammaRamp(WindowHandle window, const std::uint16_t* ramp) {
    HDC deviceContext = state_->deviceContext(window);
    return deviceContext && ramp && SetDeviceGammaRamp(deviceContext, const_cast<std::uint16_t*>(ramp)) != FALSE;
}

} // namespace Stimulark
