#pragma once

#include <cstdint>

namespace Stimulark {

// Where a window system can say when a swapped frame was shown. Bits, so that a
// request can name several.
enum PresentationSource : unsigned {
    // The compositor's or driver's report that the frame reached the display
    // (Wayland presentation time, GLX OML sync control): its moment of scan-out.
    presentationFeedback = 1u,
    // The compositor's repaint that composed the frame (a Wayland frame callback).
    // It promises no presentation: compositors may delay it or throttle hidden
    // windows.
    compositorRepaint = 2u,
};

// One answer to a request, tied to the swap by the identity the request gave it,
// never by order or time.
struct PresentationReport {
    std::uint64_t swap = 0;
    PresentationSource source = presentationFeedback;
    // False: the frame was replaced before it was ever shown (feedback only).
    bool shown = true;
    // Counter ticks of the moment; meaningless when not shown.
    std::int64_t ticks = 0;
    // The display's frame counter at that moment; 0 where unknown.
    std::uint64_t retrace = 0;
    // The window system gave whole milliseconds; ticks holds the middle of that one.
    bool wholeMilliseconds = false;
};

} // namespace Stimulark
