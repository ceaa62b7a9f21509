#pragma once

#include "stimulark/platform/Platform.hpp"

#include <cstddef>
#include <cstdint>

namespace Stimulark {

// What the frame timing needs of a display: its swap, its swap interval, and its
// reports of when frames were shown (see Platform::requestPresentationReports).
class FrameDisplay {
public:
    virtual void swap() = 0;
    // 1 synchronised with the retrace, 0 not, -1 adaptive.
    virtual int swapInterval() = 0;
    virtual unsigned requestReports(std::uint64_t swap, unsigned sources) = 0;
    virtual std::size_t takeReports(PresentationReport* out, std::size_t max, std::int64_t deadline) = 0;

protected:
    ~FrameDisplay() = default;
};

// A window of the platform in use.
class PlatformDisplay final : public FrameDisplay {
public:
    PlatformDisplay(Platform& host, WindowHandle window) : host_(host), window_(window) {}
    void swap() override { host_.swapBuffers(window_); }
    int swapInterval() override { return host_.swapInterval(window_); }
    unsigned requestReports(std::uint64_t swap, unsigned sources) override {
        return host_.requestPresentationReports(window_, swap, sources);
    }
    std::size_t takeReports(PresentationReport* out, std::size_t max, std::int64_t deadline) override {
        return host_.takePresentationReports(window_, out, max, deadline);
    }

private:
    Platform& host_;
    WindowHandle window_;
};

} // namespace Stimulark
