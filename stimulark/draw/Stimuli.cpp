#include "stimulark/draw/Stimuli.hpp"

#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/draw/Arguments.hpp"
#include "stimulark/draw/ClipCounter.hpp"
#include "stimulark/draw/FloatBuffer.hpp"
#include "stimulark/draw/StimulusPath.hpp"
#include "stimulark/math/Noise.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Stimulark {

namespace {

constexpr double pi = 3.14159265358979323846;

void check(bool inRange, const char* argument) { checkArgument(typeid(Canvas), inRange, argument); }

void checkMean(Color mean) {
    for (const double v : {mean.r, mean.g, mean.b})
        check(v >= 0.0 && v <= 1.0, "the mean");
}

void checkArea(const Rectangle& r) {
    check(moderate(r.left) && moderate(r.top) && moderate(r.right) && moderate(r.bottom), "the area");
}

// The pixels i with low <= i < high that lie on a canvas `size` wide.
struct PixelSpan {
    int first = 0, last = -1;
    bool empty() const { return last < first; }
};
PixelSpan pixelsOn(double low, double high, int size) {
    const double first = std::max(std::ceil(low), 0.0), last = std::min(std::ceil(high) - 1.0, size - 1.0);
    if (!(first <= last))
        return {};
    return {static_cast<int>(first), static_cast<int>(last)};
}

// The carrier's phase in cycles, 0 to 1.
float cycles(double degrees) {
    const double c = degrees / 360.0;
    return static_cast<float>(c - std::floor(c));
}

// Whether mean x (1 +- contrast) can leave the display's levels.
bool mayClip(Color mean, double contrast) {
    const double reach = std::abs(contrast);
    for (const double m : {mean.r, mean.g, mean.b}) {
        const int low = Noise::levelOf(m * (1.0 - reach)), high = Noise::levelOf(m * (1.0 + reach));
        if (low < 0 || high > 255)
            return true;
    }
    return false;
}

// A patch of pixels (columns, rows) with the carrier placed at (x, y), in window pixels.
PatchInstance patchInstance(PixelSpan columns, PixelSpan rows, int height, double x, double y, double orientation,
                            double frequency, double phase, double contrast) {
    const double angle = orientation * pi / 180.0;
    PatchInstance p{};
    p.box[0] = static_cast<float>(columns.first);
    p.box[1] = static_cast<float>(height - rows.last - 1);
    p.box[2] = static_cast<float>(columns.last + 1);
    p.box[3] = static_cast<float>(height - rows.first);
    p.placement[0] = static_cast<float>(x - columns.first);
    p.placement[1] = static_cast<float>(y - rows.first);
    p.placement[2] = static_cast<float>(std::cos(angle));
    p.placement[3] = static_cast<float>(std::sin(angle));
    p.carrier[0] = static_cast<float>(frequency);
    p.carrier[1] = cycles(phase);
    p.carrier[2] = static_cast<float>(contrast);
    return p;
}

// Drawn into the float buffer in its mode; into the 8-bit buffer rounded and, where it
// may clip, a second time, counting.
template <typename Draw>
void drawCounted(bool floatOn, StimulusPath::Mode floatMode, bool mayClipAny, ClipCounter& counter, Draw draw) {
    if (floatOn) {
        draw(floatMode);
        return;
    }
    draw(StimulusPath::ROUNDED);
    if (mayClipAny) {
        counter.begin();
        draw(StimulusPath::COUNT);
        counter.end();
    }
}

// Reused from call to call, so that drawing allocates nothing once warm.
std::vector<PatchInstance> patchInstances;

} // namespace

StimulusPath& Canvas::stimulusPath() {
    useContext();
    if (stimulusPath_ == nullptr)
        stimulusPath_ = new StimulusPath(width, height);
    return *stimulusPath_;
}

ClipCounter& Canvas::clipCounter() {
    if (clipCounter_ == nullptr)
        clipCounter_ = new ClipCounter();
    return *clipCounter_;
}

void Canvas::drawGabors(std::span<const Gabor> patches, Color mean) {
    checkMean(mean);
    for (const Gabor& g : patches) {
        check(moderate(g.x) && moderate(g.y), "a patch's centre");
        check(moderate(g.size) && g.size > 0.0, "a patch's size");
        check(moderate(g.orientation), "a patch's orientation");
        check(moderate(g.spatialFrequency), "a patch's spatial frequency");
        check(moderate(g.phase), "a patch's phase");
        check(moderate(g.contrast), "a patch's contrast");
        check(moderate(g.sigma) && g.sigma > 0.0, "a patch's sigma");
        check(moderate(g.aspect), "a patch's aspect");
    }
    StimulusPath& path = stimulusPath();
    patchInstances.clear();
    bool clipping = false;
    for (const Gabor& g : patches) {
        const PixelSpan columns = pixelsOn(g.x - g.size / 2.0, g.x + g.size / 2.0, width);
        const PixelSpan rows = pixelsOn(g.y - g.size / 2.0, g.y + g.size / 2.0, height);
        if (columns.empty() || rows.empty())
            continue;
        PatchInstance p = patchInstance(columns, rows, height, g.x, g.y, g.orientation, g.spatialFrequency, g.phase,
                                        g.contrast);
        // A sigma too small for single precision leaves the centre pixel alone.
        p.envelope[0] = static_cast<float>(std::min(1.0 / (2.0 * g.sigma * g.sigma), 1.0e30));
        p.envelope[1] = static_cast<float>(g.aspect * g.aspect);
        patchInstances.push_back(p);
        clipping = clipping || mayClip(mean, g.contrast);
    }
    drawCounted(floatOn_, StimulusPath::ADD, clipping, clipCounter(),
                [&](StimulusPath::Mode mode) { path.drawPatches(patchInstances, StimulusPath::GABOR, mean, mode); });
}

void Canvas::drawGrating(const Grating& grating, Color mean) {
    checkMean(mean);
    checkArea(grating.area);
    check(moderate(grating.orientation), "the orientation");
    check(moderate(grating.spatialFrequency), "the spatial frequency");
    check(moderate(grating.phase), "the phase");
    check(moderate(grating.contrast), "the contrast");
    check(moderate(grating.apertureRadius) && grating.apertureRadius >= 0.0, "the aperture radius");
    check(moderate(grating.apertureEdge) && grating.apertureEdge >= 0.0, "the aperture edge");
    StimulusPath& path = stimulusPath();
    const Rectangle& a = grating.area;
    const double left = std::min(a.left, a.right), right = std::max(a.left, a.right);
    const double top = std::min(a.top, a.bottom), bottom = std::max(a.top, a.bottom);
    const PixelSpan columns = pixelsOn(left - 0.5, right + 0.5, width);
    const PixelSpan rows = pixelsOn(top - 0.5, bottom + 0.5, height);
    if (columns.empty() || rows.empty())
        return;
    PatchInstance p = patchInstance(columns, rows, height, (left + right) / 2.0, (top + bottom) / 2.0,
                                    grating.orientation, grating.spatialFrequency, grating.phase, grating.contrast);
    p.envelope[0] = static_cast<float>(grating.apertureRadius);
    p.envelope[1] = static_cast<float>(grating.apertureEdge);
    const StimulusPath::Shape shape = grating.apertureRadius > 0.0 ? StimulusPath::APERTURE : StimulusPath::GRATING;
    drawCounted(floatOn_, StimulusPath::FLOAT, mayClip(mean, grating.contrast), clipCounter(),
                [&](StimulusPath::Mode mode) { path.drawPatches({&p, 1}, shape, mean, mode); });
}

void Canvas::drawNoise(const Rectangle& area, int pixelSize, int kind, double contrast, Color mean, unsigned seed) {
    checkMean(mean);
    checkArea(area);
    check(pixelSize >= 1, "the pixel size");
    check(kind == NOISE_UNIFORM || kind == NOISE_BINARY || kind == NOISE_GAUSSIAN, "the noise kind");
    check(moderate(contrast), "the contrast");
    StimulusPath& path = stimulusPath();
    const double left = std::min(area.left, area.right), top = std::min(area.top, area.bottom);
    const PixelSpan columns = pixelsOn(left - 0.5, std::max(area.left, area.right) + 0.5, width);
    const PixelSpan rows = pixelsOn(top - 0.5, std::max(area.top, area.bottom) + 0.5, height);
    if (columns.empty() || rows.empty())
        return;
    // Cells count from the area's first pixel, on the canvas or not.
    const auto into = [&](int first, double edge) { return static_cast<long long>(first - std::ceil(edge - 0.5)); };
    const long long intoX = into(columns.first, left), intoY = into(rows.first, top);
    NoiseField field;
    field.left = columns.first;
    field.top = height - 1 - rows.first;
    field.width = columns.last - columns.first + 1;
    field.height = rows.last - rows.first + 1;
    field.firstCellX = static_cast<std::uint32_t>(intoX / pixelSize);
    field.firstCellY = static_cast<std::uint32_t>(intoY / pixelSize);
    field.offsetX = static_cast<int>(intoX % pixelSize);
    field.offsetY = static_cast<int>(intoY % pixelSize);
    field.cellSize = pixelSize;
    field.kind = kind;
    field.seed = seed;
    field.contrast = contrast;
    drawCounted(floatOn_, StimulusPath::FLOAT, path.noiseMayClip(field, mean), clipCounter(),
                [&](StimulusPath::Mode mode) { path.drawNoise(field, mean, mode); });
}

double Canvas::pixelsPerDegree(const ViewingGeometry& geometry) const {
    check(std::isfinite(geometry.screenWidthCm) && geometry.screenWidthCm > 0.0, "the screen width");
    check(std::isfinite(geometry.distanceCm) && geometry.distanceCm > 0.0, "the distance");
    // The degree centred on the screen's centre spans 2 d tan(0.5 degrees).
    return 2.0 * geometry.distanceCm * std::tan(0.5 * pi / 180.0) * width / geometry.screenWidthCm;
}

void Canvas::setFloatBuffer(bool on) {
    useContext();
    if (on == floatOn_)
        return;
    if (on) {
        if (floatBuffer_ == nullptr)
            floatBuffer_ = new FloatBuffer(width, height);
        floatBuffer_->takeBackBuffer();
        floatBuffer_->bind();
    } else {
        // What was drawn stays, in the window's own back buffer.
        floatBuffer_->convert(dither_, &clipCounter());
    }
    floatOn_ = on;
}

} // namespace Stimulark
