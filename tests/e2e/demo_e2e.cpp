// The demo and the README's example program, run for real on the X display and
// judged from screenshots, their standard error and their exit codes.

#include "demo_driver.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

using namespace DemoDriver;

namespace {

constexpr auto startLimit = 30s; // first start under the sanitizers is slow
constexpr auto exitLimit = 5s;

// The screenshot that first satisfies `shown`, or the last one taken once the
// program has ended or the time is up.
Screenshot waitForScreen(Child& child, const std::string& folder,
                         const std::function<bool(const Screenshot&)>& shown) {
    const auto deadline = std::chrono::steady_clock::now() + startLimit;
    Screenshot shot = grabScreen(folder);
    while (!shown(shot) && child.running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
        shot = grabScreen(folder);
    }
    return shot;
}

bool isMarkerRed(Rgb p) { return p.r > 200 && p.g < 60 && p.b < 60; }
bool isWhite(Rgb p) { return near(p, {255, 255, 255}, 4); }

struct Area {
    int count = 0;
    double meanX = 0.0, meanY = 0.0;
    int minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
};

// The pixels of rows [top, bottom) that lie within `radius` of the screen centre
// and satisfy `inside`.
Area measure(const Screenshot& shot, const std::function<bool(Rgb)>& inside, int top, int bottom,
             double radius = 1e9) {
    Area a;
    double sumX = 0.0, sumY = 0.0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (std::hypot(x - shot.centerX(), y - shot.centerY()) < radius && inside(shot.at(x, y))) {
                ++a.count;
                sumX += x;
                sumY += y;
                a.minX = std::min(a.minX, x);
                a.maxX = std::max(a.maxX, x);
                a.minY = std::min(a.minY, y);
                a.maxY = std::max(a.maxY, y);
            }
    if (a.count > 0) {
        a.meanX = sumX / a.count;
        a.meanY = sumY / a.count;
    }
    return a;
}

// The direction, in degrees with y downwards, from the screen centre to the middle
// of the picture's red corner; nothing when the corner is not on screen.
std::optional<double> markerAngle(const Screenshot& shot) {
    const Area marker = measure(shot, isMarkerRed, 0, shot.height, 200.0);
    if (marker.count < 500)
        return std::nullopt;
    return std::atan2(marker.meanY - shot.centerY(), marker.meanX - shot.centerX()) * 180.0 / M_PI;
}

class DemoRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs an X display: run under xvfb-run";
        child_.emplace(GYRDEX_EXECUTABLE, folder_.path() + "/stderr.txt");
        first_ = waitForScreen(*child_, folder_.path(), [](const Screenshot& s) {
            return showsDemoBackground(s) && markerAngle(s).has_value();
        });
        ASSERT_TRUE(showsDemoBackground(first_)) << stderrText();
    }

    // Sums the turns between screenshots until the picture has turned `enough`
    // degrees either way; each step stays far below half a turn at any frame rate
    // the flip allows, because the pointer stays within 2 pixels of the centre line
    // (0.094 degrees a frame: 56 a second even at the 600 frames a second that
    // the flip allows without vertical sync).
    double turnWithPointerAt(int x, double enough) {
        xdotool("mousemove " + std::to_string(x) + " " + std::to_string(static_cast<int>(first_.centerY())));
        std::this_thread::sleep_for(300ms);
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        std::optional<double> previous = markerAngle(grabScreen(folder_.path()));
        double total = 0.0;
        while (previous && std::abs(total) < enough && std::chrono::steady_clock::now() < deadline) {
            const std::optional<double> now = markerAngle(grabScreen(folder_.path()));
            if (!now)
                return 0.0;
            total += std::remainder(*now - *previous, 360.0);
            previous = now;
        }
        return total;
    }

    std::string stderrText() const { return readFile(folder_.path() + "/stderr.txt"); }

    TemporaryFolder folder_;
    std::optional<Child> child_;
    Screenshot first_;
};

TEST_F(DemoRun, ShowsGreyCanvasWhiteLineAndBlendedPictureInTheCentre) {
    const Screenshot& shot = first_;
    EXPECT_TRUE(isGrey128(shot.at(static_cast<int>(shot.centerX()), 50)));

    // The instruction line: white glyphs 7 rows high standing on row 100, from
    // x 100 over the 223 pixels its glyph widths add up to.
    const Area text = measure(shot, isWhite, 0, 180);
    EXPECT_GE(text.minX, 100);
    EXPECT_LE(text.minX, 102);
    EXPECT_GE(text.maxX, 300);
    EXPECT_LE(text.maxX, 322);
    EXPECT_GE(text.minY, 94);
    EXPECT_LE(text.maxY, 100);

    // The picture's round outline: centred on the screen, at its own size.
    const Area picture = measure(shot, [](Rgb p) { return !isGrey128(p); }, 0, shot.height, 200.0);
    EXPECT_NEAR(picture.meanX, shot.centerX(), 1.5);
    EXPECT_NEAR(picture.meanY, shot.centerY(), 1.5);
    EXPECT_NEAR(picture.count, M_PI * 120.0 * 120.0, 0.03 * M_PI * 120.0 * 120.0);

    // The disc's rim, outside the plate at any angle, is the picture's 40% yellow
    // blended over the grey.
    const Rgb rim = shot.at(static_cast<int>(shot.centerX() + 117.0), static_cast<int>(shot.centerY()));
    EXPECT_TRUE(near(rim, {178, 158, 97}, 3)) << rim.r << "," << rim.g << "," << rim.b;

    xdotool("key Escape");
    EXPECT_EQ(child_->waitExit(exitLimit), std::optional<int>(0)) << stderrText();
    EXPECT_EQ(stderrText(), "");
}

TEST_F(DemoRun, TurnsClockwiseRightOfTheCentreLineAndBackLeftOfIt) {
    const int centre = static_cast<int>(first_.centerX()); // 511 of 511.5
    EXPECT_GT(turnWithPointerAt(centre + 2, 15.0), 15.0);
    EXPECT_LT(turnWithPointerAt(centre - 1, 15.0), -15.0);

    xdotool("key Escape");
    EXPECT_EQ(child_->waitExit(exitLimit), std::optional<int>(0)) << stderrText();
}

TEST_F(DemoRun, AltF4EndsAtOnceWithExitCode1) {
    xdotool("key alt+F4");
    EXPECT_EQ(child_->waitExit(exitLimit), std::optional<int>(1)) << stderrText();
}

// A copy of the demo in a folder of its own, with or without a picture there.
class DemoWithoutPicture : public ::testing::Test {
protected:
    std::string runCopy() {
        const std::string copy = folder_.path() + "/gyrdex";
        std::filesystem::copy_file(GYRDEX_EXECUTABLE, copy);
        Child child(copy, folder_.path() + "/stderr.txt");
        exitCode_ = child.waitExit(startLimit);
        return readFile(folder_.path() + "/stderr.txt");
    }

    TemporaryFolder folder_;
    std::optional<int> exitCode_;
};

TEST_F(DemoWithoutPicture, MissingPictureIsNotifiedAndTheProcessEndsNormally) {
    const std::string text = runCopy();
    EXPECT_EQ(exitCode_, std::optional<int>(0));
    EXPECT_NE(text.find("Stimulark Notification: Stimulark::IMAGE_FORMATS::PNG_BRIDGE [FILE ACCESS ERROR] "
                        "Failed to open the requested file.\n"),
              std::string::npos)
        << text;
}

TEST_F(DemoWithoutPicture, TextFileNamedLikeThePictureIsRefusedAsNotPng) {
    std::ofstream(folder_.path() + "/Gyrdex.png") << "not a picture\n";
    const std::string text = runCopy();
    EXPECT_EQ(exitCode_, std::optional<int>(0));
    EXPECT_NE(text.find("Stimulark Notification: Stimulark::IMAGE_FORMATS::PNG_BRIDGE [FILE FORMAT ERROR] "
                        "The requested file is not PNG.\n"),
              std::string::npos)
        << text;
}

TEST(ReadmeExample, DrawsItsCentredSquareUntilEscape) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs an X display: run under xvfb-run";
    TemporaryFolder folder;
    Child child(EXAMPLE_EXECUTABLE, folder.path() + "/stderr.txt");
    const Screenshot shot = waitForScreen(child, folder.path(), [](const Screenshot& s) {
        return isMarkerRed(s.at(static_cast<int>(s.centerX()), static_cast<int>(s.centerY())));
    });

    // Rectangle(100, 100) centred on (511.5, 383.5) covers 462..561 x 334..433.
    const Area square = measure(shot, isMarkerRed, 0, shot.height);
    EXPECT_EQ(square.minX, static_cast<int>(shot.centerX() - 49.5));
    EXPECT_EQ(square.maxX, static_cast<int>(shot.centerX() + 49.5));
    EXPECT_EQ(square.minY, static_cast<int>(shot.centerY() - 49.5));
    EXPECT_EQ(square.maxY, static_cast<int>(shot.centerY() + 49.5));
    EXPECT_EQ(square.count, 100 * 100);
    EXPECT_TRUE(near(shot.at(5, 5), {0, 0, 0}, 0));

    xdotool("key Escape");
    EXPECT_EQ(child.waitExit(exitLimit), std::optional<int>(0)) << readFile(folder.path() + "/stderr.txt");
}

} // namespace
