#include "stimulark/text/LayoutCache.hpp"

#include <bit>
#include <functional>

namespace Stimulark {

// 256 hashes are compared in well under a microsecond: a plain scan needs no index
// that would allocate as texts come and go.
LaidOutText& LayoutCache::find(std::string_view text, double maxWidth, bool& found) {
    const std::size_t hash = std::hash<std::string_view>{}(text) ^ std::hash<std::uint64_t>{}(std::bit_cast<std::uint64_t>(maxWidth));
    LaidOutText* oldest = &entries_.front();
    for (LaidOutText& entry : entries_) {
        if (entry.lastUse != 0 && entry.hash == hash && entry.maxWidth == maxWidth && entry.text == text) {
            entry.lastUse = ++clock_;
            found = true;
            return entry;
        }
        if (entry.lastUse < oldest->lastUse)
            oldest = &entry;
    }
    found = false;
    oldest->text.assign(text);
    oldest->maxWidth = maxWidth;
    oldest->hash = hash;
    oldest->lastUse = ++clock_;
    oldest->quadsAtlas = 0;
    return *oldest;
}

} // namespace Stimulark
