// The demo and the README's example program, run for real on the X display,
// driven with xdotool and judged from screenshots, their standard error and their
// exit codes. Every wait is bounded.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto startLimit = 30s; // the first start under the sanitizers is slow
constexpr auto exitLimit = 5s;

// A program started from a fresh folder with its standard error in a file there and
// notifications on standard error only, never a box nobody dismisses. It is killed
// if it still runs when the test ends, so a failing test leaves nothing behind.
class Program {
public:
    const std::filesystem::path folder = makeFolder();

    ~Program() {
        if (pid_ > 0 && !exitCode()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    void start(const std::string& executable) {
        const std::string errPath = (folder / "stderr.txt").string();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
            ::setenv("STIMULARK_NOTIFICATIONS", "stderr", 1);
            ::execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid_ < 0)
            throw std::runtime_error("fork failed");
    }

    // The exit code (128 + signal for a killed process), or nothing while the process
    // still runs after `limit`.
    std::optional<int> exitCode(std::chrono::milliseconds limit = 0ms) {
        int status = 0;
        for (const auto end = Clock::now() + limit; !code_ && pid_ > 0; std::this_thread::sleep_for(20ms))
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            else if (Clock::now() >= end)
                break;
        return code_;
    }

    std::string err() const {
        std::ifstream file(folder / "stderr.txt");
        return {std::istreambuf_iterator<char>(file), {}};
    }

private:
    static std::filesystem::path makeFolder() {
        std::string pattern = testing::TempDir() + "stimulark-e2e-XXXXXX";
        return ::mkdtemp(pattern.data()) ? pattern : throw std::runtime_error("mkdtemp failed");
    }

    pid_t pid_ = -1;
    std::optional<int> code_;
};

struct Rgb { int r, g, b; };
bool near(Rgb p, Rgb q, int tolerance) {
    return std::abs(p.r - q.r) <= tolerance && std::abs(p.g - q.g) <= tolerance && std::abs(p.b - q.b) <= tolerance;
}
bool isGrey128(Rgb p) { return near(p, {128, 128, 128}, 1); }
bool isWhite(Rgb p) { return near(p, {255, 255, 255}, 4); }
bool isRed(Rgb p) { return p.r > 200 && p.g < 60 && p.b < 60; }

struct Screenshot {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;

    Rgb at(int x, int y) const {
        const std::size_t i = 3 * (static_cast<std::size_t>(y) * width + x);
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    double centerX() const { return width / 2 - 0.5; }
    double centerY() const { return height / 2 - 0.5; }
};

// The whole screen in 8-bit RGB, read from ImageMagick's PPM.
Screenshot grabScreen() {
    Screenshot shot;
    FILE* pipe = ::popen("import -window root -depth 8 ppm:-", "r");
    if (pipe && std::fscanf(pipe, "P6 %d %d 255%*c", &shot.width, &shot.height) == 2) {
        shot.rgb.resize(3 * static_cast<std::size_t>(shot.width) * shot.height);
        shot.rgb.resize(std::fread(shot.rgb.data(), 1, shot.rgb.size(), pipe));
    }
    if (pipe)
        ::pclose(pipe);
    if (shot.rgb.empty() || shot.rgb.size() != 3 * static_cast<std::size_t>(shot.width) * shot.height)
        throw std::runtime_error("no screenshot: needs an X display (run under xvfb-run) and ImageMagick");
    return shot;
}

void xdotool(const std::string& arguments) { ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments; }

struct Area {
    int count = 0, minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
    double meanX = 0.0, meanY = 0.0;
};

// The pixels that satisfy `inside`, either all within 130 pixels of the screen
// centre, where the picture turns (`central`), or all beyond.
Area measure(const Screenshot& s, bool (*inside)(Rgb), bool central) {
    Area a;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            if ((std::hypot(x - s.centerX(), y - s.centerY()) < 130.0) == central && inside(s.at(x, y))) {
                ++a.count;
                a.meanX += x;
                a.meanY += y;
                std::tie(a.minX, a.maxX) = std::make_pair(std::min(a.minX, x), std::max(a.maxX, x));
                std::tie(a.minY, a.maxY) = std::make_pair(std::min(a.minY, y), std::max(a.maxY, y));
            }
    a.meanX /= std::max(a.count, 1);
    a.meanY /= std::max(a.count, 1);
    return a;
}

// The direction in degrees, y downwards, from the screen centre to the picture's
// red corner; nothing when the corner is not on screen.
std::optional<double> markerAngle(const Screenshot& s) {
    const Area marker = measure(s, isRed, true);
    if (marker.count < 500)
        return std::nullopt;
    return std::atan2(marker.meanY - s.centerY(), marker.meanX - s.centerX()) * 180.0 / M_PI;
}

// The first screenshot that satisfies `shown`, or the last one taken once the
// program has ended or the time is up.
Screenshot waitForScreen(Program& run, bool (*shown)(const Screenshot&)) {
    for (const auto end = Clock::now() + startLimit;; std::this_thread::sleep_for(100ms))
        if (Screenshot shot = grabScreen(); shown(shot) || run.exitCode() || Clock::now() >= end)
            return shot;
}

// The demo's grey fills the whole screen and its picture is up.
bool demoShown(const Screenshot& s) {
    const int right = s.width - 6, bottom = s.height - 6;
    return isGrey128(s.at(5, 5)) && isGrey128(s.at(right, 5)) && isGrey128(s.at(5, bottom)) &&
           isGrey128(s.at(right, bottom)) && markerAngle(s);
}

// The picture's turn in degrees, summed over screenshots until it reaches `enough`
// either way or 20 s pass. With the pointer within 1.5 pixels of the centre line it
// turns 0.094 degrees a frame (56 a second even at the 600 frames a second the flip
// allows without vertical sync), so no step between screenshots nears half a turn.
double turnWithPointerAt(int x, int y, double enough) {
    xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y));
    std::this_thread::sleep_for(300ms);
    const auto end = Clock::now() + 20s;
    double total = 0.0;
    for (auto previous = markerAngle(grabScreen()); previous && std::abs(total) < enough && Clock::now() < end;) {
        const auto now = markerAngle(grabScreen());
        total += now ? std::remainder(*now - *previous, 360.0) : 0.0;
        previous = now;
    }
    return total;
}

class Demo : public testing::Test {
protected:
    void SetUp() override {
        run.start(GYRDEX_EXECUTABLE);
        first = waitForScreen(run, demoShown);
        ASSERT_TRUE(demoShown(first)) << run.err();
    }

    Program run;
    Screenshot first;
};

TEST_F(Demo, DrawsItsFrameTurnsWithThePointerAndEndsOnEscape) {
    const int cx = static_cast<int>(first.centerX()), cy = static_cast<int>(first.centerY()); // 511, 383

    // The instruction line: white glyphs 7 rows high standing on row 100, from x 100
    // over the 223 pixels its glyph advances add up to, the last one a blank column.
    const Area text = measure(first, isWhite, false);
    EXPECT_EQ(std::make_tuple(text.minX, text.maxX, text.minY, text.maxY), std::make_tuple(100, 321, 94, 100));

    // The picture's round outline: centred on the screen, at its own size; its rim,
    // outside the plate at any angle, is the picture's 40% yellow blended over grey.
    const Area picture = measure(first, [](Rgb p) { return !isGrey128(p); }, true);
    EXPECT_LT(std::hypot(picture.meanX - first.centerX(), picture.meanY - first.centerY()), 1.5);
    EXPECT_NEAR(picture.count, M_PI * 120.0 * 120.0, 0.03 * M_PI * 120.0 * 120.0);
    const Rgb rim = first.at(static_cast<int>(first.centerX() + 117.0), cy);
    EXPECT_TRUE(near(rim, {178, 158, 97}, 3)) << rim.r << "," << rim.g << "," << rim.b;

    EXPECT_GT(turnWithPointerAt(cx + 2, cy, 15.0), 15.0);  // right of 511.5: clockwise
    EXPECT_LT(turnWithPointerAt(cx - 1, cy, 15.0), -15.0); // left: anticlockwise

    xdotool("key Escape");
    EXPECT_EQ(run.exitCode(exitLimit), std::optional<int>(0)) << run.err();
    EXPECT_EQ(run.err(), "");
}

TEST_F(Demo, AltF4EndsAtOnceWithExitCode1) {
    xdotool("key alt+F4");
    EXPECT_EQ(run.exitCode(exitLimit), std::optional<int>(1)) << run.err();
}

// A copy of the demo in a folder of its own, without its picture or with a text
// file in its place, notifies the failure and ends normally.
TEST(DemoPicture, MissingOrNotPngIsNotifiedAndTheProcessEndsWithExitCode0) {
    const std::pair<const char*, const char*> cases[] = { // the picture's content, the notification
        {nullptr, "[FILE ACCESS ERROR] Failed to open the requested file."},
        {"not a picture\n", "[FILE FORMAT ERROR] The requested file is not PNG."}};
    for (const auto& [content, notification] : cases) {
        SCOPED_TRACE(notification);
        Program run;
        std::filesystem::copy_file(GYRDEX_EXECUTABLE, run.folder / "gyrdex");
        if (content)
            std::ofstream(run.folder / "Gyrdex.png") << content;
        run.start(run.folder / "gyrdex");
        EXPECT_EQ(run.exitCode(startLimit), std::optional<int>(0));
        const auto line = "Stimulark Notification: Stimulark::IMAGE_FORMATS::PNG_BRIDGE " + std::string(notification);
        EXPECT_NE(run.err().find(line + "\n"), std::string::npos) << run.err();
    }
}

TEST(ReadmeExample, DrawsItsSquareOnExactPixelsUntilEscape) {
    Program run;
    run.start(EXAMPLE_EXECUTABLE);
    const Screenshot shot = waitForScreen(run, [](const Screenshot& s) { return measure(s, isRed, true).count > 0; });

    // Rectangle(100, 100) centred on (511.5, 383.5) covers 462..561 x 334..433.
    const Area square = measure(shot, isRed, true);
    const int left = static_cast<int>(shot.centerX() - 49.5), top = static_cast<int>(shot.centerY() - 49.5);
    EXPECT_EQ(std::make_tuple(square.minX, square.maxX, square.minY, square.maxY, square.count),
              std::make_tuple(left, left + 99, top, top + 99, 100 * 100));
    EXPECT_TRUE(near(shot.at(5, 5), {0, 0, 0}, 0));

    xdotool("key Escape");
    EXPECT_EQ(run.exitCode(exitLimit), std::optional<int>(0)) << run.err();
}

} // namespace
