#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace Stimulark {

// Appends the code points of UTF-8 text to `out`. Each maximal subpart of an ill-formed
// sequence (the longest start of a well-formed sequence, or else a single byte) becomes
// one U+FFFD, as Unicode recommends; nothing beyond the view is read.
void decodeUtf8(std::string_view text, std::vector<std::uint32_t>& out);

} // namespace Stimulark
