#pragma once

#include "stimulark/text/Layout.hpp"

#include <cstdint>
#include <string_view>
#include <vector>

namespace Stimulark {

// The layouts of the 256 texts used last, each with its maximum width. A text not
// among them takes the place of the least recently used one, whose strings and arrays
// it reuses: once every entry has held a text as long as the new one, changing text
// allocates nothing.
class LayoutCache {
public:
    static constexpr std::size_t capacity = 256;
    LayoutCache() : entries_(capacity) {}

    // The entry of the text, marked as used now; `found` false when it is a reused
    // entry, holding the key but not yet a layout.
    LaidOutText& find(std::string_view text, double maxWidth, bool& found);

private:
    std::vector<LaidOutText> entries_;
    std::uint64_t clock_ = 0;
};

} // namespace Stimulark
