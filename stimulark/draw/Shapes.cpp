#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/draw/Arguments.hpp"
#include "stimulark/draw/ShaderPath.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace Stimulark {

namespace {

constexpr double degrees = 3.14159265358979323846 / 180.0;

void check(bool inRange, const char* argument) { checkArgument(typeid(Canvas), inRange, argument); }

void checkFinite(double value, const char* argument) { check(std::isfinite(value), argument); }

void checkSize(double value, const char* argument) { check(std::isfinite(value) && value >= 0.0, argument); }

void checkBounds(const Rectangle& r, const char* argument) {
    check(std::isfinite(r.left) && std::isfinite(r.top) && std::isfinite(r.right) && std::isfinite(r.bottom),
          argument);
}

void checkPoints(std::span<const Point> points) {
    for (const Point& p : points)
        check(std::isfinite(p.x) && std::isfinite(p.y), "a point");
}

// A rectangle's pixels reach half a pixel beyond its edge pixels' centres.
ShapeInstance shape(const Rectangle& r, ShapeInstance::Kind kind, Color c, double pen = 0.0, double start = 0.0,
                    double sweep = 0.0) {
    const double left = std::min(r.left, r.right), right = std::max(r.left, r.right);
    const double top = std::min(r.top, r.bottom), bottom = std::max(r.top, r.bottom);
    return {static_cast<float>(left - 0.5), static_cast<float>(top - 0.5), static_cast<float>(right + 0.5),
            static_cast<float>(bottom + 0.5), static_cast<float>(pen), static_cast<float>(start),
            static_cast<float>(sweep), static_cast<float>(kind), static_cast<float>(c.r), static_cast<float>(c.g),
            static_cast<float>(c.b), static_cast<float>(c.a)};
}

DotInstance dot(double x, double y, double diameter, Color c) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(diameter), 0.0F,
            static_cast<float>(c.r), static_cast<float>(c.g), static_cast<float>(c.b), static_cast<float>(c.a)};
}

// Reused from call to call, so that drawing allocates nothing once warm.
std::vector<Piece> pieces;
std::vector<DotInstance> dotInstances;

} // namespace

void Canvas::useContext() {
    if (!hasWindow)
        refuseWithoutWindow();
    if (APICanvasProperties::currentSerial != api->serial)
        api->makeContextCurrent();
}

ShaderPath& Canvas::shaderPath() {
    useContext();
    if (shaderPath_ == nullptr)
        shaderPath_ = new ShaderPath(width, height);
    return *shaderPath_;
}

void Canvas::drawLine(double x1, double y1, double x2, double y2, double lineWidth, Color color) {
    const Point ends[] = {{x1, y1}, {x2, y2}};
    drawLines(ends, lineWidth, color);
}

void Canvas::drawLines(std::span<const Point> points, double lineWidth, Color color) {
    checkPoints(points);
    checkSize(lineWidth, "the width");
    ShaderPath& path = shaderPath();
    pieces.clear();
    strokePieces(points, lineWidth, pieces);
    path.fillPieces(pieces, color);
}

void Canvas::frameRect(const Rectangle& rect, double penWidth, Color color) {
    checkBounds(rect, "the rectangle");
    checkSize(penWidth, "the pen width");
    const ShapeInstance one = shape(rect, ShapeInstance::frameRect, color, penWidth);
    shaderPath().drawShapes({&one, 1});
}

void Canvas::fillOval(const Rectangle& bounds, Color color) {
    checkBounds(bounds, "the bounds");
    const ShapeInstance one = shape(bounds, ShapeInstance::fillOval, color);
    shaderPath().drawShapes({&one, 1});
}

void Canvas::frameOval(const Rectangle& bounds, double penWidth, Color color) {
    checkBounds(bounds, "the bounds");
    checkSize(penWidth, "the pen width");
    const ShapeInstance one = shape(bounds, ShapeInstance::frameOval, color, penWidth);
    shaderPath().drawShapes({&one, 1});
}

void Canvas::fillArc(const Rectangle& bounds, double startAngle, double arcAngle, Color color) {
    checkBounds(bounds, "the bounds");
    checkFinite(startAngle, "the start angle");
    checkFinite(arcAngle, "the arc angle");
    // A sweep backwards is the same wedge swept forwards from its other end.
    const double start = arcAngle < 0.0 ? startAngle + arcAngle : startAngle;
    const double sweep = std::min(std::abs(arcAngle), 360.0);
    if (sweep == 0.0)
        return;
    const ShapeInstance one =
        shape(bounds, ShapeInstance::fillArc, color, 0.0, std::fmod(start, 360.0) * degrees, sweep * degrees);
    shaderPath().drawShapes({&one, 1});
}

void Canvas::fillPolygon(std::span<const Point> points, Color color) {
    checkPoints(points);
    shaderPath().fillPolygon(points, color);
}

void Canvas::drawDots(std::span<const Point> centres, double diameter, Color color) {
    checkPoints(centres);
    checkSize(diameter, "the diameter");
    ShaderPath& path = shaderPath();
    dotInstances.clear();
    for (const Point& p : centres)
        dotInstances.push_back(dot(p.x, p.y, diameter, color));
    path.drawDots(dotInstances, diameter);
}

void Canvas::drawDots(std::span<const Dot> dots) {
    for (const Dot& d : dots) {
        check(std::isfinite(d.x) && std::isfinite(d.y), "a dot's centre");
        checkSize(d.diameter, "a dot's diameter");
    }
    ShaderPath& path = shaderPath();
    dotInstances.clear();
    double largest = 0.0;
    for (const Dot& d : dots) {
        dotInstances.push_back(dot(d.x, d.y, d.diameter, d.color));
        largest = std::max(largest, d.diameter);
    }
    path.drawDots(dotInstances, largest);
}

} // namespace Stimulark
