#pragma once

#include <cstdint>

namespace Stimulark {

// A physical key as Windows key messages name it: the virtual-key
// code, and for shift, control and alt also which of the pair (VK_LSHIFT ...).
struct KeyTranslation {
    std::uint8_t virtualKey = 0; // 0: a key the toolkit does not know
    std::uint8_t sideKey = 0;
};

// SDL scancode (a USB usage, so independent of the layout) to virtual key. The
// punctuation keys follow the US layout.
KeyTranslation translateScancode(int scancode);

// A key as Windows names it: letters A-Z by the symbol the active layout gives
// the key (Z and Y swap on a German keyboard, A and Q on a French one), when that
// symbol is a Latin letter; everything else, digits included, by its position.
KeyTranslation translateKey(int scancode, std::int32_t symbol);

} // namespace Stimulark
