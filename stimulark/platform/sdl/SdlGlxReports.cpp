#include "stimulark/platform/sdl/SdlPresentation.hpp"

#include <SDL.h>
#include <SDL_syswm.h>
#include <GL/glx.h>
#include <time.h>

#include <algorithm>
#include <cstring>

namespace Stimulark {

namespace {

using QueryExtensions = const char* (*)(Display*, int);

bool namesExtension(const char* list, const char* name) {
    const std::size_t length = std::strlen(name);
    for (const char* at = list; at && (at = std::strstr(at, name)) != nullptr; at += length)
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0'))
            return true;
    return false;
}

template <typename Function> Function glxFunction(const char* name) {
    return reinterpret_cast<Function>(SDL_GL_GetProcAddress(name));
}

// GLX_OML_sync_control tells when each swap completed: its UST (microseconds of
// the monotonic clock on Mesa) and retrace count, found by the swap's count (SBC).
// Only the newest swap can be asked: Mesa answers glXWaitForSbcOML with the latest
// completed swap's stamp, so a request is answered only when the completed count
// equals its own, and dropped once it has gone past.
class GlxReporter final : public PresentationReporter {
public:
    GlxReporter(Display* display, GLXDrawable drawable, PFNGLXGETSYNCVALUESOMLPROC syncValues,
                PFNGLXWAITFORSBCOMLPROC waitForSwap)
        : display_(display), drawable_(drawable), syncValues_(syncValues), waitForSwap_(waitForSwap) {}

    unsigned request(std::uint64_t swap, unsigned sources) override {
        if (!(sources & presentationFeedback))
            return 0;
        if (!counted_) {
            std::int64_t ust = 0, msc = 0, sbc = 0;
            if (!syncValues_(display_, drawable_, &ust, &msc, &sbc))
                return 0;
            swaps_ = sbc;
            counted_ = true;
        }
        pending_ = {true, swap, swaps_ + 1};
        return presentationFeedback;
    }

    // Whether a hidden window's swap counts is the driver's affair: counted anew.
    void swapped(bool shown) override {
        counted_ = counted_ && shown;
        ++swaps_;
    }

    // GLX cannot be asked without a round trip to the server, so nothing is asked
    // unless the caller may wait.
    std::size_t take(PresentationReport* out, std::size_t max, std::int64_t deadline) override {
        if (pending_.active && deadline > monotonicNanoseconds())
            await(deadline);
        return arrived_.take(out, max);
    }

private:
    void await(std::int64_t deadline) {
        for (;;) {
            std::int64_t ust = 0, msc = 0, sbc = 0;
            if (!syncValues_(display_, drawable_, &ust, &msc, &sbc)) {
                pending_.active = false;
                return;
            }
            // Swaps made without passing here (or a count started while some were
            // still queued) put the server's count ahead of ours.
            swaps_ = std::max(swaps_, sbc);
            if (sbc > pending_.target) {
                pending_.active = false;
                return;
            }
            if (sbc == pending_.target) {
                if (waitForSwap_(display_, drawable_, pending_.target, &ust, &msc, &sbc) && sbc == pending_.target)
                    arrived_.push({.swap = pending_.swap,
                                   .source = presentationFeedback,
                                   .shown = true,
                                   .ticks = ust * 1000,
                                   .retrace = static_cast<std::uint64_t>(msc)});
                pending_.active = false;
                return;
            }
            const std::int64_t left = deadline - monotonicNanoseconds();
            if (left <= 0)
                return;
            const timespec pause{0, static_cast<long>(std::min<std::int64_t>(left, 200'000))};
            nanosleep(&pause, nullptr);
        }
    }

    struct Pending {
        bool active = false;
        std::uint64_t swap = 0;
        std::int64_t target = 0;
    };

    Display* display_;
    GLXDrawable drawable_;
    PFNGLXGETSYNCVALUESOMLPROC syncValues_;
    PFNGLXWAITFORSBCOMLPROC waitForSwap_;
    bool counted_ = false;
    std::int64_t swaps_ = 0; // the SBC of the newest swap made
    Pending pending_;
    ReportRing arrived_;
};

} // namespace

// Decided from the list GLX reports for the window's screen, which is what the
// direct context really offers: the client's own list names OML on Xvfb too,
// where llvmpipe has none. Sources that slip through anyway (a defective driver)
// are caught by the canvas, which checks the first reports of every source.
std::unique_ptr<PresentationReporter> makeGlxReporter(SDL_Window* window) {
    SDL_SysWMinfo info{};
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display)
        return nullptr;
    const auto extensions = glxFunction<QueryExtensions>("glXQueryExtensionsString");
    const auto syncValues = glxFunction<PFNGLXGETSYNCVALUESOMLPROC>("glXGetSyncValuesOML");
    const auto waitForSwap = glxFunction<PFNGLXWAITFORSBCOMLPROC>("glXWaitForSbcOML");
    Display* display = info.info.x11.display;
    if (!extensions || !syncValues || !waitForSwap ||
        !namesExtension(extensions(display, DefaultScreen(display)), "GLX_OML_sync_control"))
        return nullptr;
    return std::make_unique<GlxReporter>(display, info.info.x11.window, syncValues, waitForSwap);
}

} // namespace Stimulark
