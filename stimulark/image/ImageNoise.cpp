#include "stimulark/draw/Arguments.hpp"
#include "stimulark/draw/Stimuli.hpp"
#include "stimulark/image/Image.hpp"
#include "stimulark/math/Noise.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace Stimulark {

namespace {

void check(bool inRange, const char* argument) { checkArgument(typeid(Image), inRange, argument); }

} // namespace

// The levels are those the canvas draws into its 8-bit buffer; uniform and binary noise
// come from the same integer tables as the shader's.
void Image::fillNoise(const Rectangle& rect, int pixelSize, int kind, double contrast, Color mean, unsigned seed) {
    for (const double v : {mean.r, mean.g, mean.b})
        check(v >= 0.0 && v <= 1.0, "the mean");
    check(moderate(rect.left) && moderate(rect.top) && moderate(rect.right) && moderate(rect.bottom), "the area");
    check(pixelSize >= 1, "the pixel size");
    check(kind == NOISE_UNIFORM || kind == NOISE_BINARY || kind == NOISE_GAUSSIAN, "the noise kind");
    check(moderate(contrast), "the contrast");
    getBitmap(); // refuses an image without one

    const std::array<double, 3> means{mean.r, mean.g, mean.b};
    std::array<Noise::UniformLevels, 3> uniform{};
    std::array<int, 3> low{}, high{};
    for (std::size_t c = 0; c < 3; ++c) {
        if (kind == NOISE_UNIFORM)
            uniform[c] = Noise::uniformLevels(means[c], contrast);
        low[c] = Noise::levelOf(means[c] * (1.0 - contrast));
        high[c] = Noise::levelOf(means[c] * (1.0 + contrast));
    }
    const double left = std::min(rect.left, rect.right), top = std::min(rect.top, rect.bottom);
    const double firstX = std::ceil(left - 0.5), firstY = std::ceil(top - 0.5);
    const double endX = std::min(std::ceil(std::max(rect.left, rect.right) + 0.5), static_cast<double>(width));
    const double endY = std::min(std::ceil(std::max(rect.top, rect.bottom) + 0.5), static_cast<double>(height));
    for (auto y = static_cast<long long>(std::max(firstY, 0.0)); y < static_cast<long long>(endY); ++y)
        for (auto x = static_cast<long long>(std::max(firstX, 0.0)); x < static_cast<long long>(endX); ++x) {
            const auto u = static_cast<std::uint32_t>((x - static_cast<long long>(firstX)) / pixelSize);
            const auto v = static_cast<std::uint32_t>((y - static_cast<long long>(firstY)) / pixelSize);
            const std::uint32_t hash = Noise::cellHash(seed, u, v);
            std::array<double, 3> value{};
            for (std::size_t c = 0; c < 3; ++c) {
                int level = 0;
                if (kind == NOISE_UNIFORM)
                    level = uniform[c].levelOf(hash);
                else if (kind == NOISE_BINARY)
                    level = Noise::binaryHigh(hash) ? high[c] : low[c];
                else
                    level = Noise::levelOf(means[c] * (1.0 + contrast * Noise::gaussian(hash)));
                value[c] = std::clamp(level, 0, 255) / 255.0;
            }
            setPixel(static_cast<int>(x), static_cast<int>(y), Color(value[0], value[1], value[2], 1.0));
        }
}

} // namespace Stimulark
