// Shapes and dots on the shader path, read back from the canvas (Xvfb's llvmpipe here): areas against their
// formulas, half-covered pixels, line ends and widths, polygons by the even-odd rule, dots as separate blobs, the
// GL matrix, and the refusals.

#include "display_canvas.hpp"

#include "stimulark/canvas/APICanvasProperties.hpp"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

namespace Stimulark::Testing {
namespace {

constexpr double pi = 3.14159265358979323846;

// White shapes on black, measured in pixels' worth of coverage (the red channel over 255).
class Shapes : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        canvas->clear(Color::black, BACK_BUFFER);
    }
    // The coverage of each pixel of a block, and their sum.
    std::vector<double> coverage(int left, int top, int width, int height) {
        const PixelBlock block = readPixels(left, top, width, height);
        std::vector<double> values;
        for (const std::uint32_t p : block.pixels)
            values.push_back(static_cast<double>(p >> 16) / 255.0);
        return values;
    }
    double area(int left, int top, int width, int height) {
        const std::vector<double> values = coverage(left, top, width, height);
        return std::accumulate(values.begin(), values.end(), 0.0);
    }
    double at(int x, int y) { return coverage(x, y, 1, 1)[0]; }
    // Whether each pixel's coverage is within a level of the 8-bit buffer of the one expected: a half covered
    // pixel may round to 127 or 128.
    static testing::AssertionResult levels(const std::vector<double>& got, const std::vector<double>& expected) {
        for (std::size_t i = 0; i < got.size(); ++i)
            if (std::abs(got[i] - expected[i]) > 1.0 / 255)
                return testing::AssertionFailure() << "pixel " << i << ": " << got[i] * 255 << " of 255, not "
                                                   << expected[i] * 255;
        return testing::AssertionSuccess();
    }
    // A rectangle whose pixels reach from x0 to x1 and from y0 to y1 (not pixel centres).
    static Rectangle edges(double x0, double y0, double x1, double y1) {
        return Rectangle().set(x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5);
    }
};

// Discs and rings of any size cover their area; the wedge its share of the disc; an oval's bounds are its pixels.
TEST_F(Shapes, OvalsRingsAndWedgesCoverTheirAreas) {
    for (const double r : {2.0, 3.7, 10.0, 52.3}) {
        SCOPED_TRACE(testing::Message() << "radius " << r);
        canvas->clear(Color::black, BACK_BUFFER);
        const double cx = 300.3, cy = 300.8;
        canvas->fillOval(edges(cx - r, cy - r, cx + r, cy + r), Color::white);
        const int reach = static_cast<int>(r) + 3;
        const double disc = area(300 - reach, 300 - reach, 2 * reach + 2, 2 * reach + 2);
        // The shader's error is under 0.1 %; the 8-bit read-back adds up to half a level on each edge pixel.
        EXPECT_NEAR(disc, pi * r * r, 0.005 * pi * r * r + 2 * pi * r * 0.5 / 255);
    }
    canvas->clear(Color::black, BACK_BUFFER);
    canvas->fillOval(Rectangle().set(0.0, 0.0, 9.0, 9.0), Color::white);
    EXPECT_NEAR(area(0, 0, 12, 12), pi * 25.0, 0.005 * pi * 25.0) << "(0, 0)-(9, 9): a disc of diameter 10";
    EXPECT_EQ(at(4, 4), 1.0);
    EXPECT_EQ(at(10, 4), 0.0);

    canvas->clear(Color::black, BACK_BUFFER);
    canvas->frameOval(edges(100.0, 100.0, 300.0, 300.0), 12.5, Color::white);
    EXPECT_NEAR(area(95, 95, 210, 210), pi * (100.0 * 100.0 - 87.5 * 87.5),
                0.005 * pi * (100.0 * 100.0 - 87.5 * 87.5));
    EXPECT_EQ(at(200, 200), 0.0) << "a ring";

    canvas->clear(Color::black, BACK_BUFFER);
    canvas->fillArc(edges(400.0, 100.0, 600.0, 300.0), 90.0, -135.0, Color::white); // from 3 o'clock back to 10:30
    EXPECT_NEAR(area(395, 95, 210, 210), pi * 100.0 * 100.0 * 135.0 / 360.0, 0.005 * pi * 100.0 * 100.0);
    EXPECT_EQ(std::vector({at(500, 150), at(475, 157), at(450, 195), at(550, 250)}),
              std::vector({1.0, 1.0, 0.0, 0.0})) << "12 and 11 o'clock in; 9 o'clock and below 3 out";
}

// A straight edge through pixel centres halves those pixels, for rectangles, lines and polygons alike; a line
// ends exactly at its end points and is as wide as asked, also turned by the program's GL matrix.
TEST_F(Shapes, StraightEdgesHalveThePixelsTheyHalveAndLinesEndWhereAsked) {
    canvas->frameRect(Rectangle(100.0, 100.0, 199.0, 149.0), 3.5, Color::white);
    EXPECT_TRUE(levels({at(100, 120), at(102, 120), at(103, 120), at(104, 120)}, {1.0, 1.0, 0.5, 0.0}))
        << "three and a half pixels of pen inside the bounds";

    canvas->drawLine(300.0, 200.0, 400.0, 200.0, 4.0, Color::white);
    EXPECT_TRUE(levels({at(299, 200), at(300, 200), at(301, 200), at(400, 200), at(401, 200)},
                       {0.0, 0.5, 1.0, 0.5, 0.0})) << "butt ends on the end points";
    EXPECT_TRUE(levels({at(350, 197), at(350, 198), at(350, 199), at(350, 202), at(350, 203)},
                       {0.0, 0.5, 1.0, 0.5, 0.0})) << "two pixels to each side";
    EXPECT_NEAR(area(290, 190, 120, 20), 400.0, 1.0);

    const Point square[] = {{500.0, 100.0}, {600.0, 100.0}, {600.0, 150.0}, {500.0, 150.0}};
    canvas->fillPolygon(square, Color::white);
    EXPECT_TRUE(levels({at(500, 120), at(501, 120), at(550, 100), at(550, 150), at(550, 151)},
                       {0.5, 1.0, 0.5, 0.5, 0.0}));

    // Turned a quarter about (700, 300): from (650, 300) to (750, 300) becomes (700, 250) to (700, 350).
    glPushMatrix();
    glTranslated(700.0, 300.0, 0.0);
    glRotated(90.0, 0.0, 0.0, 1.0);
    canvas->drawLine(-50.0, 0.0, 50.0, 0.0, 2.0, Color::white);
    glPopMatrix();
    EXPECT_TRUE(levels({at(700, 249), at(700, 250), at(700, 300), at(699, 300), at(701, 300), at(702, 300)},
                       {0.0, 0.5, 1.0, 0.5, 0.5, 0.0}));
    EXPECT_NEAR(area(690, 240, 20, 120), 200.0, 1.0);
}

// A connected line is one shape: a translucent one is as light where its parts meet as anywhere along it; its
// joins are mitred, or bevelled where a mitre would pass four widths.
TEST_F(Shapes, ConnectedLinesJoinWithoutSeamsOrDoubleBlending) {
    const Point zigzag[] = {{100.0, 300.0}, {200.0, 200.0}, {300.0, 300.0}};
    canvas->drawLines(zigzag, 10.0, Color(1.0, 1.0, 1.0, 0.5));
    EXPECT_NEAR(at(200, 203), 128 / 255.0, 1.5 / 255) << "inside the join";
    EXPECT_NEAR(at(150, 250), 128 / 255.0, 1.5 / 255) << "along a segment";
    // The mitre's tip lies 5 / cos 45° above the joint, at 192.9.
    EXPECT_NEAR(at(200, 195), 128 / 255.0, 1.5 / 255);
    EXPECT_EQ(at(200, 191), 0.0);
    const Point hairpin[] = {{400.0, 300.0}, {500.0, 200.0}, {510.0, 300.0}};
    canvas->drawLines(hairpin, 10.0, Color::white);
    EXPECT_EQ(at(500, 190), 0.0) << "bevelled: the mitre would reach beyond four widths";
}

// Concave outlines are filled, and where an outline crosses itself the even-odd rule holds.
TEST_F(Shapes, PolygonsFillByTheEvenOddRule) {
    std::vector<Point> star;
    for (int i = 0; i < 10; ++i) {
        const double radius = i % 2 ? 40.0 : 100.0, angle = i * pi / 5;
        star.push_back({200.0 + radius * std::sin(angle), 300.0 - radius * std::cos(angle)});
    }
    double shoelace = 0.0;
    for (std::size_t i = 0; i < star.size(); ++i) {
        const Point a = star[i], b = star[(i + 1) % star.size()];
        shoelace += a.x * b.y - b.x * a.y;
    }
    canvas->fillPolygon(star, Color::white);
    EXPECT_NEAR(area(95, 195, 210, 210), std::abs(shoelace) / 2, 0.01 * std::abs(shoelace) / 2);
    EXPECT_EQ(at(200, 300), 1.0);
    EXPECT_EQ(at(241, 243), 0.0) << "between two points of the star";

    // A bow-tie: two triangles meeting at (500, 300), each 100 wide and 200 high.
    const Point bow[] = {{400.0, 200.0}, {600.0, 400.0}, {600.0, 200.0}, {400.0, 400.0}};
    canvas->fillPolygon(bow, Color::white);
    EXPECT_NEAR(area(395, 195, 210, 210), 2 * 100.0 * 200.0 / 2, 0.01 * 20000.0);
    EXPECT_EQ(std::vector({at(420, 300), at(500, 220), at(580, 300)}), std::vector({1.0, 0.0, 1.0}));
    // A pentagram drawn as one outline leaves its centre out.
    std::vector<Point> pentagram;
    for (int i = 0; i < 5; ++i)
        pentagram.push_back({800.0 + 100.0 * std::sin(i * 4 * pi / 5), 300.0 - 100.0 * std::cos(i * 4 * pi / 5)});
    canvas->fillPolygon(pentagram, Color::white);
    EXPECT_EQ(std::vector({at(800, 300), at(800, 220)}), std::vector({0.0, 1.0}));
}

// Dots of any diameter from half a pixel up stay separate blobs, each covering its disc's area, in their own
// sizes and colours.
TEST_F(Shapes, DotsAreSeparateDiscsOfTheirOwnSizes) {
    std::vector<Dot> dots;
    const double diameters[] = {0.5, 1.0, 2.5, 4.0, 9.0, 30.0};
    double x = 20.3;
    for (const double d : diameters) {
        for (int row = 0; row < 4; ++row)
            dots.push_back({x, 100.7 + row * 40.0, d, Color::white});
        x += 45.0;
    }
    canvas->drawDots(dots);
    for (const Dot& dot : dots) {
        const int reach = static_cast<int>(dot.diameter / 2) + 3;
        const double blob = area(static_cast<int>(dot.x) - reach, static_cast<int>(dot.y) - reach, 2 * reach + 1,
                                 2 * reach + 1);
        const double disc = pi * dot.diameter * dot.diameter / 4;
        EXPECT_NEAR(blob, disc, std::max(0.01 * disc, 2.0 / 255 + dot.diameter * 4 / 255))
            << "a dot of " << dot.diameter << " at " << dot.x << ", " << dot.y;
    }
    // Separate blobs: the coverage between two neighbours falls to nothing.
    EXPECT_EQ(at(42, 101), 0.0);

    canvas->clear(Color::black, BACK_BUFFER);
    const Point centres[] = {{500.0, 500.0}, {520.0, 500.0}};
    canvas->drawDots(centres, 8.0, Color(0.0, 1.0, 0.0, 1.0));
    EXPECT_EQ(std::pair(readPixels(500, 500, 1, 1).pixels[0], readPixels(520, 500, 1, 1).pixels[0]),
              std::pair(std::uint32_t{0x00FF00}, std::uint32_t{0x00FF00}));
}

// A dot whose centre is off the window still shows its part on it; the GL matrix scales dots, round where
// it keeps circles round (and beyond the display's largest point sprite) and as ellipses where it does not.
TEST_F(Shapes, DotsFollowTheMatrixAndCrossTheWindowsEdge) {
    const Dot edge{-1.5, 300.0, 8.0, Color::white};
    canvas->drawDots({&edge, 1});
    // The disc's part right of the window's left edge, x = -0.5, by strips of 1/1000 pixel.
    double inside = 0.0;
    for (int k = 0; k < 3000; ++k) {
        const double x = -0.5 + (k + 0.5) / 1000.0 - edge.x;
        inside += x * x < 16.0 ? 2.0 * std::sqrt(16.0 - x * x) / 1000.0 : 0.0;
    }
    EXPECT_NEAR(area(0, 290, 6, 21), inside, 0.01 * inside);

    const Dot small{100.0, 100.0, 5.0, Color::white}, large{300.0, 200.0, 200.0, Color::white};
    glPushMatrix();
    glScaled(2.0, 2.0, 1.0);
    canvas->drawDots({&small, 1});
    canvas->drawDots({&large, 1});
    glPopMatrix();
    EXPECT_NEAR(area(190, 190, 21, 21), pi * 25.0, 0.01 * pi * 25.0);
    EXPECT_NEAR(area(390, 190, 421, 421), pi * 200.0 * 200.0, 0.005 * pi * 200.0 * 200.0);
    glPushMatrix();
    glScaled(2.0, 1.0, 1.0);
    canvas->drawDots({&small, 1});
    glPopMatrix();
    // A stretched pixel is taken as a square of its area, so the edge is a little off.
    EXPECT_NEAR(area(190, 90, 21, 21), pi * 5.0 * 2.5, 0.03 * pi * 12.5);
    EXPECT_EQ(area(190, 80, 21, 5), 0.0) << "an ellipse, 5 pixels high";
}

// Shapes leave the fixed-function drawing as it was, work again on a later canvas, and refuse what they cannot
// draw.
TEST_F(Shapes, LeaveTheCanvasAsTheyFoundItAndRefuseWhatTheyCannotDraw) {
    canvas->fillOval(Rectangle(10.0, 10.0, 49.0, 49.0), Color::white);
    canvas->fillRect(Rectangle(100.0, 10.0, 109.0, 19.0), Color::red);
    canvas->drawText("A", 200.0, 40.0, Color::white, 0, -1.0);
    EXPECT_EQ(readPixels(105, 15, 1, 1).pixels[0], 0xFF0000u);
    EXPECT_GT(inkIn(195, 25, 20, 20, 0).count, 10) << "the bitmap text";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    canvas.reset();
    canvas = std::make_unique<Canvas>(0);
    canvas->clear(Color::black, BACK_BUFFER);
    canvas->fillOval(Rectangle(10.0, 10.0, 49.0, 49.0), Color::white);
    EXPECT_EQ(at(30, 30), 1.0) << "the shader path made again in the new canvas's context";

    const std::string outOfRange = "Stimulark::Canvas [ARGUMENT ERROR] ";
    const double nan = std::nan("");
    const Point badPoint[] = {{0.0, 0.0}, {nan, 1.0}};
    EXPECT_EQ(failureMessage([&] { canvas->drawLine(0.0, 0.0, 1.0, 1.0, -1.0, Color::white); }),
              outOfRange + "the width is out of range.");
    EXPECT_EQ(failureMessage([&] { canvas->drawLines(badPoint, 1.0, Color::white); }),
              outOfRange + "a point is out of range.");
    EXPECT_EQ(failureMessage([&] { canvas->frameOval(Rectangle(0.0, 0.0, 9.0, 9.0), nan, Color::white); }),
              outOfRange + "the pen width is out of range.");
    EXPECT_EQ(failureMessage([&] { canvas->fillArc(Rectangle(0.0, 0.0, 9.0, 9.0), 0.0, HUGE_VAL, Color::white); }),
              outOfRange + "the arc angle is out of range.");
    const Dot badDot{1.0, 1.0, -2.0, Color::white};
    EXPECT_EQ(failureMessage([&] { canvas->drawDots({&badDot, 1}); }), outOfRange + "a dot's diameter is out of range.");
}

} // namespace
} // namespace Stimulark::Testing
