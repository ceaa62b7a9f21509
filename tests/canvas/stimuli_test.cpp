// Gabor patches, gratings and noise read back from the canvas (Xvfb's llvmpipe here) against their formulas in
// double precision, in the 8-bit buffer and in the float buffer; clipped pixels counted exactly; the float buffer
// with the rest of the canvas's drawing; ordered dithering; and the refusals.

#include "display_canvas.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Stimulark::Testing {
namespace {

constexpr double pi = 3.14159265358979323846;

int levelOf(double value) { return std::clamp(static_cast<int>(std::floor(value * 255.0 + 0.5)), 0, 255); }

// A patch's deviation at pixel (i, j), as the formula gives it.
double gaborDeviation(const Gabor& g, int i, int j) {
    const double t = g.orientation * pi / 180.0, dx = i - g.x, dy = j - g.y;
    const double along = dx * std::cos(t) + dy * std::sin(t), across = -dx * std::sin(t) + dy * std::cos(t);
    return g.contrast * std::sin(2.0 * pi * g.spatialFrequency * along + g.phase * pi / 180.0) *
           std::exp(-(along * along + g.aspect * g.aspect * across * across) / (2.0 * g.sigma * g.sigma));
}

bool inPatch(const Gabor& g, int i, int j) {
    return g.x - g.size / 2 <= i && i < g.x + g.size / 2 && g.y - g.size / 2 <= j && j < g.y + g.size / 2;
}

class Stimuli : public DisplayTest, public testing::WithParamInterface<bool> {
protected:
    const Color mean{0.4, 0.5, 0.6, 1.0};
    Image shot;

    void SetUp() override {
        DisplayTest::SetUp();
        canvas->setFloatBuffer(GetParam());
        canvas->clear(mean, BACK_BUFFER);
    }
    // What flip would show.
    void take() { canvas->capture(shot); }
    int level(int x, int y, int channel) const {
        const Color c = shot.getPixel(x, y);
        return static_cast<int>(std::lround((channel == 0 ? c.r : channel == 1 ? c.g : c.b) * 255.0));
    }
    // Every pixel of the block within a level of `expected` (the mean's channel times 1 + deviation, or the
    // background's level where it gives none).
    testing::AssertionResult matches(int left, int top, int width, int height,
                                     const std::function<std::optional<double>(int, int)>& deviation,
                                     Color background) const {
        for (int y = top; y < top + height; ++y)
            for (int x = left; x < left + width; ++x)
                for (int c = 0; c < 3; ++c) {
                    const double m = c == 0 ? mean.r : c == 1 ? mean.g : mean.b;
                    const double b = c == 0 ? background.r : c == 1 ? background.g : background.b;
                    const std::optional<double> d = deviation(x, y);
                    const int expected = d ? levelOf(m * (1.0 + *d)) : levelOf(b);
                    if (std::abs(level(x, y, c) - expected) > 1)
                        return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") channel " << c << ": "
                                                           << level(x, y, c) << ", not " << expected;
            }
        return testing::AssertionSuccess();
    }
};

INSTANTIATE_TEST_SUITE_P(Buffers, Stimuli, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Float" : "EightBit"; });

// Orientations 0, 37 and 90 degrees, phases 0 and 90, aspects 1 and 2, in one draw; pixels outside the squares
// keep the background.
TEST_P(Stimuli, GaborPatchesFollowTheirFormula) {
    std::vector<Gabor> patches;
    for (const double orientation : {0.0, 37.0, 90.0})
        for (const double phase : {0.0, 90.0})
            for (const double aspect : {1.0, 2.0})
                patches.push_back({70.0 + 72.0 * static_cast<double>(patches.size() % 6),
                                   60.5 + 80.0 * static_cast<double>(patches.size() / 6), 64.0, orientation, 0.07,
                                   phase, 0.9, 9.0, aspect});
    canvas->drawGabors(patches, mean);
    take();
    EXPECT_TRUE(matches(0, 0, 480, 200, [&](int i, int j) -> std::optional<double> {
        for (const Gabor& g : patches)
            if (inPatch(g, i, j))
                return gaborDeviation(g, i, j);
        return std::nullopt;
    }, mean));
}

// Opaque patches cover what came before, square and all; in the float buffer they add.
TEST_P(Stimuli, OverlappingPatchesCoverInEightBitsAndAddInFloat) {
    const Gabor first{200.0, 200.0, 80.0, 20.0, 0.05, 30.0, 0.5, 14.0}, second{225.0, 210.0, 80.0, 100.0, 0.08, 0.0,
                                                                                  0.45, 12.0, 1.5};
    const Gabor both[] = {first, second};
    canvas->drawGabors(both, mean);
    take();
    EXPECT_TRUE(matches(150, 150, 120, 110, [&](int i, int j) -> std::optional<double> {
        const bool a = inPatch(first, i, j), b = inPatch(second, i, j);
        if (GetParam())
            return (a ? gaborDeviation(first, i, j) : 0.0) + (b ? gaborDeviation(second, i, j) : 0.0);
        if (b)
            return gaborDeviation(second, i, j);
        return a ? std::optional(gaborDeviation(first, i, j)) : std::nullopt;
    }, mean));
}

// The carrier from the area's centre; full contrast inside radius - edge, the raised cosine to the radius, the mean
// beyond it, and nothing outside the area.
TEST_P(Stimuli, GratingsFillTheirAreaWithinTheAperture) {
    canvas->clear(Color::black, BACK_BUFFER);
    const Grating g{Rectangle(100.0, 100.0, 219.0, 199.0), 37.0, 0.06, 90.0, 0.8, 45.0, 15.0};
    canvas->drawGrating(g, mean);
    take();
    const double cx = 159.5, cy = 149.5, t = 37.0 * pi / 180.0;
    EXPECT_TRUE(matches(95, 95, 130, 110, [&](int i, int j) -> std::optional<double> {
        if (i < 100 || i > 219 || j < 100 || j > 199)
            return std::nullopt;
        const double dx = i - cx, dy = j - cy, r = std::hypot(dx, dy);
        const double c = r <= 30.0 ? 0.8 : r > 45.0 ? 0.0 : 0.8 * 0.5 * (1.0 + std::cos(pi * (r - 30.0) / 15.0));
        return c * std::sin(2.0 * pi * 0.06 * (dx * std::cos(t) + dy * std::sin(t)) + pi / 2.0);
    }, Color::black));
}

// A grating whose carrier is exactly 1, 0, -1, 0 along x: mean 0.6 at contrast 0.8 clips every fourth column.
// The 8-bit buffer counts fragments (two draws, twice the count), the float buffer pixels at its conversion; the
// count belongs to the frame flip showed last.
TEST_P(Stimuli, ClippedPixelsAreCountedExactly) {
    const Grating g{Rectangle(10.0, 10.0, 410.0, 59.0), 0.0, 0.25, 90.0, 0.8};
    const Color bright(0.6);
    canvas->drawGrating(g, bright);
    canvas->flip(1);
    EXPECT_EQ(canvas->clippedPixels(), 101 * 50);
    canvas->drawGrating(g, bright);
    canvas->drawGrating(g, bright);
    canvas->flip(1);
    EXPECT_EQ(canvas->clippedPixels(), GetParam() ? 101 * 50 : 2 * 101 * 50);
    canvas->clear(mean, BACK_BUFFER);
    canvas->flip(1);
    EXPECT_EQ(canvas->clippedPixels(), 0);

    // A patch in range draws no count, and one out of range counts what the formula clips.
    canvas->clear(Color(0.5), BACK_BUFFER);
    const Gabor calm{100.0, 100.0, 64.0, 0.0, 0.1, 0.0, 1.0, 8.0}, bold{300.0, 100.0, 64.0, 30.0, 0.1, 0.0, 1.0, 12.0};
    canvas->drawGabors({&calm, 1}, Color(0.5));
    canvas->flip(1);
    EXPECT_EQ(canvas->clippedPixels(), 0);
    const Color high(0.8);
    canvas->clear(high, BACK_BUFFER);
    canvas->drawGabors({&bold, 1}, high);
    canvas->flip(1);
    long long expected = 0, close = 0;
    for (int j = 68; j < 132; ++j)
        for (int i = 268; i < 332; ++i) {
            const double scaled = 255.0 * 0.8 * (1.0 + gaborDeviation(bold, i, j)) + 0.5;
            expected += scaled >= 256.0 ? 1 : 0;
            close += std::abs(scaled - 256.0) < 0.01 ? 1 : 0;
        }
    EXPECT_GT(expected, 100);
    EXPECT_LE(std::abs(canvas->clippedPixels() - expected), close);
}

// Uniform and binary noise level for level as Image::fillNoise computes it, Gaussian within a level; the cells
// count from the area's first pixel, off the canvas too.
TEST_P(Stimuli, NoiseIsTheSameOnTheGpuAsOnTheCpu) {
    const Rectangle area = Rectangle().set(-7.0, 20.0, 300.0, 130.0);
    for (const int kind : {NOISE_UNIFORM, NOISE_BINARY, NOISE_GAUSSIAN}) {
        SCOPED_TRACE(testing::Message() << "kind " << kind);
        for (const double contrast : {0.6, -0.9}) {
            canvas->clear(Color::black, BACK_BUFFER);
            canvas->drawNoise(area, 3, kind, contrast, mean, 2024U);
            take();
            Image cpu(canvas->width, canvas->height, RGB, BYTE);
            cpu.clear(Color::black);
            cpu.fillNoise(area, 3, kind, contrast, mean, 2024U);
            int worst = 0, differing = 0;
            for (int y = 0; y < 140; ++y)
                for (int x = 0; x < 310; ++x)
                    for (int c = 0; c < 3; ++c) {
                        const Color p = cpu.getPixel(x, y);
                        const int expected = static_cast<int>(std::lround((c == 0 ? p.r : c == 1 ? p.g : p.b) * 255));
                        const int difference = std::abs(level(x, y, c) - expected);
                        worst = std::max(worst, difference);
                        differing += difference != 0 ? 1 : 0;
                    }
            EXPECT_LE(worst, kind == NOISE_GAUSSIAN ? 1 : 0) << differing << " channels differ";
        }
    }
}

// Cells of 10^8 pixels whose corner lies on the canvas: the float quotient alone would put the
// pixels just before the corner into the next cell.
TEST_P(Stimuli, HugeNoiseCellsEndWhereTheCpuEndsThem) {
    const int cell = 100000000;
    const Rectangle area = Rectangle().set(4.0 - cell, 3.0 - cell, 40.0, 30.0);
    canvas->clear(Color::black, BACK_BUFFER);
    canvas->drawNoise(area, cell, NOISE_UNIFORM, 0.9, mean, 5U);
    take();
    Image cpu(canvas->width, canvas->height, RGB, BYTE);
    cpu.clear(Color::black);
    cpu.fillNoise(area, cell, NOISE_UNIFORM, 0.9, mean, 5U);
    int differing = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 42; ++x)
            differing += level(x, y, 1) != static_cast<int>(std::lround(cpu.getPixel(x, y).g * 255)) ? 1 : 0;
    EXPECT_EQ(differing, 0);
}

// Seeded noise changes with the seed and not otherwise.
TEST_P(Stimuli, NoiseRepeatsItsSeed) {
    const Rectangle area(0.0, 0.0, 99.0, 99.0);
    Image first, again, other;
    canvas->drawNoise(area, 1, NOISE_UNIFORM, 1.0, mean, 7U);
    canvas->capture(first);
    canvas->drawNoise(area, 1, NOISE_UNIFORM, 1.0, mean, 8U);
    canvas->capture(other);
    canvas->drawNoise(area, 1, NOISE_UNIFORM, 1.0, mean, 7U);
    canvas->capture(again);
    EXPECT_EQ(pixelsOf(first, 100, 100).pixels, pixelsOf(again, 100, 100).pixels);
    EXPECT_NE(pixelsOf(first, 100, 100).pixels, pixelsOf(other, 100, 100).pixels);
}

// The float buffer holds what everything else draws; turning it on and off keeps the frame; capture and flip show
// it converted; clearing the front buffer, texture uploads and measuring the refresh rate go to the window's own
// buffers meanwhile, and GL is left without errors.
TEST_F(DisplayTest, TheFloatBufferTakesEverythingTheCanvasDraws) {
    canvas->setFloatBuffer(true);
    EXPECT_EQ(canvas->measureRefreshRate(3), 0.0) << "Xvfb has no retrace";
    canvas->setFloatBuffer(false);
    canvas->clear(Color::black, BACK_BUFFER);
    canvas->fillRect(Rectangle(0.0, 0.0, 9.0, 9.0), Color::red);
    canvas->setFloatBuffer(true);
    Image picture(8, 8, RGB, BYTE);
    picture.clear(Color::green);
    picture.useTexture(true);
    canvas->fillRect(Rectangle(20.0, 0.0, 29.0, 9.0), Color(0.0, 0.0, 1.0, 0.5));
    canvas->drawImage(picture, 40.0, 0.0);
    canvas->fillOval(Rectangle(60.0, 0.0, 69.0, 9.0), Color::white);
    canvas->drawText("Hi", 80.0, 9.0, Color::white, 0, 0.0);
    canvas->clear(Color::white, FRONT_BUFFER);
    EXPECT_EQ(readPixels(0, 0, 1, 1, true).pixels[0], white) << "the displayed buffer, cleared";
    Image shot;
    canvas->capture(shot);
    const PixelBlock frame = pixelsOf(shot, 100, 10);
    EXPECT_EQ(frame.at(5, 5), 0xFF0000U) << "drawn before the buffer was on";
    EXPECT_EQ(frame.at(25, 5), 0x000080U) << "blended by alpha";
    EXPECT_EQ(frame.at(43, 3), 0x00FF00U) << "the texture";
    EXPECT_EQ(frame.at(64, 4), white) << "a shape";
    int textInk = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 80; x < 100; ++x)
            textInk += frame.at(x, y) == white ? 1 : 0;
    EXPECT_GT(textInk, 5) << "bitmap text";
    canvas->flip(1);
    EXPECT_EQ(readScreen(20, 0, 10, 10, 25, 5, 0x000080U).at(25, 5), 0x000080U) << "flip shows the converted frame";

    canvas->fillRect(Rectangle(0.0, 20.0, 9.0, 29.0), Color::white);
    canvas->setFloatBuffer(false);
    EXPECT_EQ(pixelAt(5, 25), white) << "turning the buffer off keeps the frame";
    EXPECT_EQ(pixelAt(25, 5), 0x000080U);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Dithered, a level between two of the display's comes out as their mix; rounded, as the nearer one.
TEST_F(DisplayTest, DitheringKeepsTheMeanLevel) {
    canvas->setFloatBuffer(true);
    const double requested = 127.3 / 255.0;
    Image shot;
    for (const bool dither : {false, true}) {
        canvas->setDither(dither);
        canvas->clear(Color(requested), BACK_BUFFER);
        canvas->capture(shot);
        double sum = 0.0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                sum += shot.getPixel(x, y).g;
        const double meanLevel = sum / (256.0 * 256.0);
        if (dither)
            EXPECT_NEAR(meanLevel, requested, 0.001);
        else
            EXPECT_EQ(std::lround(meanLevel * 255.0 * 1000.0), 127000);
    }
}

TEST_F(DisplayTest, StimuliRefuseWhatTheyCannotDrawAndDrawNothingThen) {
    canvas->clear(Color::black, BACK_BUFFER);
    const std::string outOfRange = "Stimulark::Canvas [ARGUMENT ERROR] ";
    const double nan = std::nan("");
    const Gabor good{50.0, 50.0, 20.0, 0.0, 0.1, 0.0, 0.5, 4.0};
    const auto gabor = [&](auto change) {
        Gabor patches[] = {good, good};
        change(patches[1]);
        return failureMessage([&] { canvas->drawGabors(patches, Color::gray); });
    };
    EXPECT_EQ(gabor([](Gabor& g) { g.size = 0.0; }), outOfRange + "a patch's size is out of range.");
    EXPECT_EQ(gabor([](Gabor& g) { g.sigma = -1.0; }), outOfRange + "a patch's sigma is out of range.");
    EXPECT_EQ(gabor([&](Gabor& g) { g.phase = nan; }), outOfRange + "a patch's phase is out of range.");
    EXPECT_EQ(gabor([](Gabor& g) { g.x = HUGE_VAL; }), outOfRange + "a patch's centre is out of range.");
    EXPECT_EQ(inkIn(0, 0, 100, 100, black).count, 0) << "nothing drawn for a refused call";
    Color tooBright = Color::gray;
    tooBright.g = 1.5;
    EXPECT_EQ(failureMessage([&] { canvas->drawGabors({&good, 1}, tooBright); }), outOfRange + "the mean is out of range.");
    const Rectangle area(0.0, 0.0, 9.0, 9.0);
    EXPECT_EQ(failureMessage([&] { canvas->drawNoise(area, 0, NOISE_UNIFORM, 0.5, Color::gray, 1U); }),
              outOfRange + "the pixel size is out of range.");
    EXPECT_EQ(failureMessage([&] { canvas->drawNoise(area, 1, 3, 0.5, Color::gray, 1U); }),
              outOfRange + "the noise kind is out of range.");
    EXPECT_EQ(failureMessage([&] { canvas->drawNoise(Rectangle().set(0.0, 0.0, 1e300, 9.0), 1, 0, 0.5, Color::gray, 1U); }),
              outOfRange + "the area is out of range.");
    Grating grating{area, 0.0, 0.1, 0.0, 0.5, 3.0, -1.0};
    EXPECT_EQ(failureMessage([&] { canvas->drawGrating(grating, Color::gray); }),
              outOfRange + "the aperture edge is out of range.");
    Image image(10, 10, RGB, BYTE);
    EXPECT_EQ(failureMessage([&] { image.fillNoise(area, 2, NOISE_GAUSSIAN, nan, Color::gray, 1U); }),
              "Stimulark::Image [ARGUMENT ERROR] the contrast is out of range.");
    EXPECT_EQ(failureMessage([&] { (void)canvas->pixelsPerDegree({0.0, 57.0}); }),
              outOfRange + "the screen width is out of range.");
}

// One degree's worth of pixels at the centre subtends exactly one degree.
TEST_F(DisplayTest, PixelsPerDegreeSpanADegreeAtTheCentre) {
    const ViewingGeometry geometry{40.0, 57.0};
    const double pixels = canvas->pixelsPerDegree(geometry), centimetres = pixels * 40.0 / canvas->width;
    EXPECT_NEAR(2.0 * std::atan(centimetres / 2.0 / 57.0) * 180.0 / pi, 1.0, 1e-12);
}

} // namespace
} // namespace Stimulark::Testing
