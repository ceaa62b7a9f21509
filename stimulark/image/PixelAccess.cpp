#include "stimulark/image/Image.hpp"

#include "stimulark/core/Exception.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

namespace Stimulark {

namespace {

[[noreturn, gnu::cold, gnu::noinline]] void refuseCoordinate() {
    throw Exception(typeid(Image), "Out Of Bound Exception", "Specified coordinate is out of bound.");
}

// Element index of the pixel's first component; refuses coordinates outside the image.
// Unsigned comparison catches negative coordinates without computing height - y - 1
// on them (which would overflow for the most negative int).
inline std::size_t elementIndex(const Image& image, int x, int y, int components) {
    if (static_cast<unsigned>(x) >= static_cast<unsigned>(image.width) ||
        static_cast<unsigned>(y) >= static_cast<unsigned>(image.height))
        refuseCoordinate();
    const auto row = static_cast<std::size_t>(image.height - y - 1);
    return row * static_cast<std::size_t>(image.lineElements) + static_cast<std::size_t>(x) * components;
}

// v x 255 + 0.5, truncated. A Color built through its constructors is always within
// 0..1; one whose fields were written directly is clamped first (NaN to 0, as Color
// itself does), so that 1.004 stays white instead of wrapping to black and no value
// reaches an int conversion it cannot survive.
inline std::uint8_t toByte(double v) {
    v = v >= 0.0 ? (v > 1.0 ? 1.0 : v) : 0.0;
    return static_cast<std::uint8_t>(static_cast<int>(v * 255.0 + 0.5));
}

constexpr std::array<double, 256> byteValues = [] {
    std::array<double, 256> values{};
    for (int b = 0; b < 256; ++b)
        values[b] = b / 255.0;
    return values;
}();

template <int N>
void setByte(Image& image, int x, int y, Color color) {
    std::uint8_t* p = image.byteBitmap + elementIndex(image, x, y, N);
    p[0] = toByte(color.r);
    if constexpr (N >= 3) {
        p[1] = toByte(color.g);
        p[2] = toByte(color.b);
    }
    if constexpr (N == 4)
        p[3] = toByte(color.a);
}

template <int N>
Color getByte(const Image& image, int x, int y) {
    const std::uint8_t* p = image.byteBitmap + elementIndex(image, x, y, N);
    if constexpr (N == 1)
        return Color(byteValues[p[0]]);
    else if constexpr (N == 3)
        return Color(byteValues[p[0]], byteValues[p[1]], byteValues[p[2]], 1.0);
    else
        return Color(byteValues[p[0]], byteValues[p[1]], byteValues[p[2]], byteValues[p[3]]);
}

template <int N>
void setFloat(Image& image, int x, int y, Color color) {
    float* p = image.floatBitmap + elementIndex(image, x, y, N);
    p[0] = static_cast<float>(color.r);
    if constexpr (N >= 3) {
        p[1] = static_cast<float>(color.g);
        p[2] = static_cast<float>(color.b);
    }
    if constexpr (N == 4)
        p[3] = static_cast<float>(color.a);
}

template <int N>
Color getFloat(const Image& image, int x, int y) {
    const float* p = image.floatBitmap + elementIndex(image, x, y, N);
    if constexpr (N == 1)
        return Color(double{p[0]});
    else if constexpr (N == 3)
        return Color(p[0], p[1], p[2], 1.0);
    else
        return Color(p[0], p[1], p[2], p[3]);
}

} // namespace

constinit const PixelSetter pixelSetters[6] = {&setByte<1>,  &setByte<3>,  &setByte<4>,
                                               &setFloat<1>, &setFloat<3>, &setFloat<4>};
constinit const PixelGetter pixelGetters[6] = {&getByte<1>,  &getByte<3>,  &getByte<4>,
                                               &getFloat<1>, &getFloat<3>, &getFloat<4>};

void setPixelWithoutBitmap(Image&, int, int, Color) { refuseCoordinate(); }

Color getPixelWithoutBitmap(const Image&, int, int) { refuseCoordinate(); }

} // namespace Stimulark
