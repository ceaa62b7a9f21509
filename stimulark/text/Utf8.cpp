#include "stimulark/text/Utf8.hpp"

namespace Stimulark {

namespace {

constexpr std::uint32_t replacement = 0xFFFD;

} // namespace

void decodeUtf8(std::string_view text, std::vector<std::uint32_t>& out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned lead = bytes[i];
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        // The second byte's range is narrower after E0, ED, F0 and F4: that keeps out
        // overlong forms, surrogates and code points above U+10FFFF.
        std::size_t length = 0;
        std::uint32_t code = 0;
        unsigned low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            out.push_back(replacement);
            ++i;
            continue;
        }
        std::size_t taken = 1;
        for (; taken < length && i + taken < size; ++taken) {
            const unsigned next = bytes[i + taken];
            if (next < low || next > high)
                break;
            code = code << 6 | (next & 0x3F);
            low = 0x80;
            high = 0xBF;
        }
        out.push_back(taken == length ? code : replacement);
        i += taken;
    }
}

} // namespace Stimulark
