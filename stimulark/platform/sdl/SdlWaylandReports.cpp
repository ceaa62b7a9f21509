#include "stimulark/platform/sdl/SdlPresentation.hpp"

#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>
#include <time.h>
#include <wayland-client.h>

#include "presentation-time-client-protocol.h"

namespace Stimulark {

namespace {

// The listener data of one request: which swap it answers for and where to.
struct Slot {
    ReportRing* arrived = nullptr;
    std::uint64_t swap = 0;
    wl_proxy* proxy = nullptr; // alive until answered
};

void forget(Slot& slot) {
    wl_proxy_destroy(slot.proxy);
    slot.proxy = nullptr;
}

void frameDone(void* data, wl_callback*, std::uint32_t milliseconds) {
    auto& slot = *static_cast<Slot*>(data);
    slot.arrived->push({.swap = slot.swap,
                        .source = compositorRepaint,
                        .shown = true,
                        .ticks = repaintMillisecondsToTicks(milliseconds, monotonicNanoseconds()),
                        .retrace = 0,
                        .wholeMilliseconds = true});
    forget(slot);
}
const wl_callback_listener frameListener{frameDone};

void feedbackOutput(void*, struct wp_presentation_feedback*, wl_output*) {}

void feedbackPresented(void* data, struct wp_presentation_feedback*, std::uint32_t secondsHigh,
                       std::uint32_t secondsLow, std::uint32_t nanoseconds, std::uint32_t /*refresh*/,
                       std::uint32_t retraceHigh, std::uint32_t retraceLow, std::uint32_t /*flags*/) {
    auto& slot = *static_cast<Slot*>(data);
    const auto seconds = static_cast<std::int64_t>(std::uint64_t{secondsHigh} << 32 | secondsLow);
    slot.arrived->push({.swap = slot.swap,
                        .source = presentationFeedback,
                        .shown = true,
                        .ticks = seconds * 1'000'000'000 + nanoseconds,
                        .retrace = std::uint64_t{retraceHigh} << 32 | retraceLow,
                        .wholeMilliseconds = false});
    forget(slot);
}

void feedbackDiscarded(void* data, struct wp_presentation_feedback*) {
    auto& slot = *static_cast<Slot*>(data);
    slot.arrived->push({.swap = slot.swap, .source = presentationFeedback, .shown = false});
    forget(slot);
}
const wp_presentation_feedback_listener feedbackListener{feedbackOutput, feedbackPresented, feedbackDiscarded};

// Everything of ours lives on a queue of our own, reached through wrappers of SDL's
// display and surface: SDL never dispatches our answers, and we never dispatch its
// events, which only pass through our reads into its queues.
class WaylandReporter final : public PresentationReporter {
public:
    WaylandReporter(wl_display* display, wl_surface* surface) : display_(display) {
        for (Slot& slot : frames_)
            slot.arrived = &arrived_;
        for (Slot& slot : feedbacks_)
            slot.arrived = &arrived_;
        queue_ = wl_display_create_queue(display);
        displayWrapper_ = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
        surface_ = static_cast<wl_surface*>(wl_proxy_create_wrapper(surface));
        if (!queue_ || !displayWrapper_ || !surface_) {
            broken_ = true;
            return;
        }
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(displayWrapper_), queue_);
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(surface_), queue_);
        registry_ = wl_display_get_registry(displayWrapper_);
        wl_registry_add_listener(registry_, &registryListener, this);
        // The first round trip brings the globals, the second the clock of the
        // presentation object bound meanwhile.
        broken_ = !registry_ || wl_display_roundtrip_queue(display, queue_) < 0 ||
                  (presentation_ && wl_display_roundtrip_queue(display, queue_) < 0);
    }

    ~WaylandReporter() override {
        for (auto* slots : {&frames_, &feedbacks_})
            for (Slot& slot : *slots)
                if (slot.proxy)
                    forget(slot);
        if (surface_)
            wl_proxy_wrapper_destroy(surface_);
        if (presentation_)
            wp_presentation_destroy(presentation_);
        if (registry_)
            wl_registry_destroy(registry_);
        if (displayWrapper_)
            wl_proxy_wrapper_destroy(displayWrapper_);
        if (queue_)
            wl_event_queue_destroy(queue_);
    }

    unsigned request(std::uint64_t swap, unsigned sources) override {
        if (broken_)
            return 0;
        unsigned asked = 0;
        if (sources & compositorRepaint) {
            Slot& slot = claim(frames_, nextFrame_, swap);
            if (wl_callback* callback = wl_surface_frame(surface_)) {
                wl_callback_add_listener(callback, &frameListener, &slot);
                slot.proxy = reinterpret_cast<wl_proxy*>(callback);
                asked |= compositorRepaint;
            }
        }
        if ((sources & presentationFeedback) && presentation_ && clock_ == CLOCK_MONOTONIC) {
            Slot& slot = claim(feedbacks_, nextFeedback_, swap);
            if (struct wp_presentation_feedback* feedback = wp_presentation_feedback(presentation_, surface_)) {
                wp_presentation_feedback_add_listener(feedback, &feedbackListener, &slot);
                slot.proxy = reinterpret_cast<wl_proxy*>(feedback);
                asked |= presentationFeedback;
            }
        }
        return asked;
    }

    std::size_t take(PresentationReport* out, std::size_t max, std::int64_t deadline) override {
        if (!broken_) {
            read(0);
            while (max > 0 && !broken_ && arrived_.empty()) {
                const std::int64_t left = deadline - monotonicNanoseconds();
                if (left <= 0)
                    break;
                read(left);
            }
        }
        return arrived_.take(out, max);
    }

private:
    static constexpr std::size_t slotCount = 64;
    using Slots = std::array<Slot, slotCount>;

    // A slot whose request was never answered is given up: its answer could no
    // longer be told from the new one's.
    static Slot& claim(Slots& slots, std::size_t& next, std::uint64_t swap) {
        Slot& slot = slots[next];
        next = (next + 1) % slotCount;
        if (slot.proxy)
            forget(slot);
        slot.swap = swap;
        return slot;
    }

    // Reads what the socket holds, waiting up to `timeout` nanoseconds for
    // something to arrive, and runs our queue's listeners. A failed connection
    // ends all answers for this window.
    void read(std::int64_t timeout) {
        while (wl_display_prepare_read_queue(display_, queue_) != 0)
            if (wl_display_dispatch_queue_pending(display_, queue_) < 0) {
                broken_ = true;
                return;
            }
        wl_display_flush(display_); // what does not fit now goes with SDL's next flush
        pollfd socket{wl_display_get_fd(display_), POLLIN, 0};
        const timespec wait{static_cast<time_t>(timeout / 1'000'000'000), static_cast<long>(timeout % 1'000'000'000)};
        if (ppoll(&socket, 1, &wait, nullptr) > 0) {
            if (wl_display_read_events(display_) < 0) {
                broken_ = true;
                return;
            }
        } else {
            wl_display_cancel_read(display_);
        }
        if (wl_display_dispatch_queue_pending(display_, queue_) < 0)
            broken_ = true;
    }

    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t) {
        auto& self = *static_cast<WaylandReporter*>(data);
        if (self.presentation_ || SDL_strcmp(interface, wp_presentation_interface.name) != 0)
            return;
        self.presentation_ =
            static_cast<wp_presentation*>(wl_registry_bind(registry, name, &wp_presentation_interface, 1));
        if (self.presentation_)
            wp_presentation_add_listener(self.presentation_, &presentationListener, &self);
    }
    static void globalRemoved(void*, wl_registry*, std::uint32_t) {}
    static void clockId(void* data, wp_presentation*, std::uint32_t clock) {
        static_cast<WaylandReporter*>(data)->clock_ = clock;
    }
    static constexpr wl_registry_listener registryListener{global, globalRemoved};
    static constexpr wp_presentation_listener presentationListener{clockId};

    wl_display* display_;
    wl_event_queue* queue_ = nullptr;
    wl_display* displayWrapper_ = nullptr;
    wl_registry* registry_ = nullptr;
    wp_presentation* presentation_ = nullptr;
    std::uint32_t clock_ = ~0u;
    wl_surface* surface_ = nullptr;
    Slots frames_{};
    Slots feedbacks_{};
    std::size_t nextFrame_ = 0;
    std::size_t nextFeedback_ = 0;
    ReportRing arrived_;
    bool broken_ = false;
};

} // namespace

std::unique_ptr<PresentationReporter> makeWaylandReporter(SDL_Window* window) {
    SDL_SysWMinfo info{};
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND || !info.info.wl.display ||
        !info.info.wl.surface)
        return nullptr;
    return std::make_unique<WaylandReporter>(info.info.wl.display, info.info.wl.surface);
}

} // namespace Stimulark
