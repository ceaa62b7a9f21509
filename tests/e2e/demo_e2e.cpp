// The demo and the README's example programs, run for real on the 1024 x 768 X display, driven with
// xdotool and judged from screenshots, their standard error and their exit codes. Every wait is bounded.
//
// The same cases judge another build of the programs, e.g. the Windows one under Wine, when these are set:
//   STIMULARK_E2E_RUNNER                 a program that starts each of them (its path first, then theirs)
//   STIMULARK_E2E_GYRDEX, STIMULARK_E2E_FIRST_EXPERIMENT, STIMULARK_E2E_REACTION_TIME,
//   STIMULARK_E2E_ROTATED_PICTURE, STIMULARK_E2E_DROPPED_FRAMES, STIMULARK_E2E_RANDOM_DOTS,
//   STIMULARK_E2E_ORIENTATION, STIMULARK_E2E_INSTRUCTIONS
//                                        the programs in place of this build's

#include "stimulark/image/Image.hpp"
#include "support/Screen.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
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
using namespace Stimulark::Testing;

namespace {

constexpr auto startLimit = 30s, exitLimit = 5s; // the first start under the sanitizers is slow

// The variable's value, or `otherwise` when it is unset or empty.
std::string setting(const char* name, const char* otherwise) {
    const char* value = std::getenv(name);
    return value && *value ? value : otherwise;
}
const std::string runner = setting("STIMULARK_E2E_RUNNER", "");
const std::string gyrdexExecutable = setting("STIMULARK_E2E_GYRDEX", GYRDEX_EXECUTABLE);
const std::string exampleExecutable = setting("STIMULARK_E2E_FIRST_EXPERIMENT", EXAMPLE_EXECUTABLE);
const std::string reactionExecutable = setting("STIMULARK_E2E_REACTION_TIME", REACTION_EXECUTABLE);
const std::string rotatedPictureExecutable = setting("STIMULARK_E2E_ROTATED_PICTURE", ROTATED_PICTURE_EXECUTABLE);
const std::string droppedFramesExecutable = setting("STIMULARK_E2E_DROPPED_FRAMES", DROPPED_FRAMES_EXECUTABLE);
const std::string randomDotsExecutable = setting("STIMULARK_E2E_RANDOM_DOTS", RANDOM_DOTS_EXECUTABLE);
const std::string orientationExecutable = setting("STIMULARK_E2E_ORIENTATION", ORIENTATION_EXECUTABLE);
const std::string instructionsExecutable = setting("STIMULARK_E2E_INSTRUCTIONS", INSTRUCTIONS_EXECUTABLE);

// A program started from a fresh folder with its standard error in a file there and notifications on standard
// error only, never a box nobody dismisses. Killed if still running at the end, so a failing test leaves nothing.
class Program {
public:
    const std::filesystem::path folder = [pattern = testing::TempDir() + "stimulark-e2e-XXXXXX"]() mutable {
        return ::mkdtemp(pattern.data()) ? pattern : throw std::runtime_error("mkdtemp failed");
    }();

    ~Program() {
        if (pid_ > 0 && !exitCode()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // How the program ends the lines of its standard output and error: a Windows program's C runtime writes
    // those in text mode, which turns each "\n" into "\r\n".
    std::string newline = "\n";

    void start(const std::string& executable, const char* display = nullptr, std::vector<std::string> arguments = {}) {
        newline = std::filesystem::path(executable).extension() == ".exe" ? "\r\n" : "\n";
        const std::string errPath = (folder / "stderr.txt").string(), outPath = (folder / "stdout.txt").string();
        arguments.insert(arguments.begin(), executable);
        if (!runner.empty())
            arguments.insert(arguments.begin(), runner);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
            ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
            ::setenv("STIMULARK_NOTIFICATIONS", "stderr", 1);
            if (display)
                ::setenv("DISPLAY", display, 1);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (pid_ < 0)
            throw std::runtime_error("fork failed");
    }

    // The exit code (128 + signal for a killed process), or nothing while it still runs after `limit`.
    std::optional<int> exitCode(std::chrono::milliseconds limit = 0ms) {
        for (const auto end = Clock::now() + limit; !code_ && pid_ > 0; std::this_thread::sleep_for(20ms))
            if (int status = 0; ::waitpid(pid_, &status, WNOHANG) == pid_)
                code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            else if (Clock::now() >= end)
                break;
        return code_;
    }

    std::string err() const { return read("stderr.txt"); }
    std::string out() const { return read("stdout.txt"); }
    std::string read(const char* name) const {
        std::ifstream file(folder / name);
        return {std::istreambuf_iterator<char>(file), {}};
    }

private:
    pid_t pid_ = -1;
    std::optional<int> code_;
};

// Colours are 0xRRGGBB; a channel is picked by its shift (16 red, 8 green, 0 blue).
int channel(std::uint32_t p, int shift) { return static_cast<int>(p >> shift & 0xFF); }
bool near(std::uint32_t p, std::uint32_t q, int tolerance) {
    return std::ranges::all_of(std::array{0, 8, 16},
                               [&](int s) { return std::abs(channel(p, s) - channel(q, s)) <= tolerance; });
}
bool isGrey128(std::uint32_t p) { return near(p, 0x808080, 1); }
bool isWhite(std::uint32_t p) { return near(p, 0xFFFFFF, 4); }
bool isRed(std::uint32_t p) { return channel(p, 16) > 200 && channel(p, 8) < 60 && channel(p, 0) < 60; }
constexpr double centerX = 511.5, centerY = 383.5; // where the picture turns

// The pieces of `text` between `separator`s (a CSV line's fields, an output's lines); text after the last is one too.
std::vector<std::string> split(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    for (std::size_t start = 0, end = 0; start < text.size(); start = end + separator.size()) {
        end = std::min(text.find(separator, start), text.size());
        pieces.push_back(text.substr(start, end - start));
    }
    return pieces;
}
// Digits, a point and exactly `decimals` digits.
bool isDecimal(const std::string& text, std::size_t decimals) {
    const std::size_t point = text.find('.');
    return point != std::string::npos && point > 0 && text.size() - point - 1 == decimals &&
           std::ranges::all_of(text, [](char c) { return c == '.' || (c >= '0' && c <= '9'); }) &&
           text.find('.', point + 1) == std::string::npos;
}

void xdotool(const std::string& arguments) { ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments; }

struct Area {
    int count = 0, minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
    double meanX = 0.0, meanY = 0.0; // sums until measured
};

// The pixels that satisfy `inside`, either all within 130 pixels of the centre, where the picture turns, or all beyond.
Area measure(const PixelBlock& s, bool (*inside)(std::uint32_t), bool central) {
    Area a;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width; ++x)
            if ((std::hypot(x - centerX, y - centerY) < 130.0) == central && inside(s.at(x, y)))
                a = {a.count + 1, std::min(a.minX, x), std::max(a.maxX, x), std::min(a.minY, y), std::max(a.maxY, y),
                     a.meanX + x, a.meanY + y};
    a.meanX /= std::max(a.count, 1);
    a.meanY /= std::max(a.count, 1);
    return a;
}

// The direction in degrees (y down) from the centre to the picture's red corner, if that is on screen.
std::optional<double> markerAngle(const PixelBlock& s) {
    const Area marker = measure(s, isRed, true);
    return marker.count < 500 ? std::nullopt
                              : std::optional(std::atan2(marker.meanY - centerY, marker.meanX - centerX) * 180 / M_PI);
}

// The first screenshot that satisfies `shown`, or the last once the program has ended or time is up.
PixelBlock waitForScreen(Program& run, bool (*shown)(const PixelBlock&)) {
    for (const auto end = Clock::now() + startLimit;; std::this_thread::sleep_for(100ms))
        if (PixelBlock shot = grabScreen(); shown(shot) || run.exitCode() || Clock::now() >= end)
            return shot;
}

// The demo's grey fills the whole 1024 x 768 screen and its picture is up.
bool demoShown(const PixelBlock& s) {
    return s.pixels.size() == 1024 * 768 && isGrey128(s.at(5, 5)) && isGrey128(s.at(1018, 5)) &&
           isGrey128(s.at(5, 762)) && isGrey128(s.at(1018, 762)) && markerAngle(s);
}

// The picture's turn in degrees, summed over screenshots until it reaches `enough` either way or 20 s pass. With
// the pointer within 1.5 pixels of the centre line it turns 0.094 degrees a frame (56 a second even at the 600
// frames a second the flip allows without vertical sync), so no step between screenshots nears half a turn.
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

// Asked to, the demo writes the interval between every two of its frames and their plot when Escape ends it.
TEST(Demo, DrawsItsFrameTurnsWithThePointerAndEndsOnEscapeOrAtOnceWithExitCode1OnAltF4) {
    Program run, again;
    run.start(gyrdexExecutable, nullptr, {"--frame-intervals", run.folder.string()});
    const PixelBlock first = waitForScreen(run, demoShown);
    ASSERT_TRUE(demoShown(first)) << run.err();
    // The instruction line: white glyphs 7 rows high standing on row 100, from x 100 over the 223 pixels its
    // glyph advances add up to, the last one a blank column.
    const Area text = measure(first, isWhite, false);
    EXPECT_EQ(std::make_tuple(text.minX, text.maxX, text.minY, text.maxY), std::make_tuple(100, 321, 94, 100));

    // The picture's round outline: centred on the screen, at its own size; its rim, outside the plate at any
    // angle, is the picture's 40% yellow blended over grey.
    const Area picture = measure(first, [](std::uint32_t p) { return !isGrey128(p); }, true);
    EXPECT_LT(std::hypot(picture.meanX - centerX, picture.meanY - centerY), 1.5);
    EXPECT_NEAR(picture.count, M_PI * 120.0 * 120.0, 0.03 * M_PI * 120.0 * 120.0);
    EXPECT_TRUE(near(first.at(628, 383), 0xB29E61, 3)) << std::hex << first.at(628, 383);

    EXPECT_GT(turnWithPointerAt(513, 383, 15.0), 15.0);  // right of 511.5: clockwise
    EXPECT_LT(turnWithPointerAt(510, 383, 15.0), -15.0); // left: anticlockwise

    xdotool("key Escape");
    EXPECT_EQ(run.exitCode(exitLimit), std::optional<int>(0)) << run.err();
    EXPECT_EQ(run.err(), "");
    const std::vector<std::string> csv = split(run.read("frame-intervals.csv"), "\n");
    ASSERT_FALSE(csv.empty());
    EXPECT_EQ(csv[0], "flip,interval_ms,frames,dropped,onset_source");
    for (std::size_t i = 1; i < csv.size(); ++i) {
        const std::vector<std::string> row = split(csv[i], ",");
        ASSERT_EQ(row.size(), 5u) << csv[i];
        // The first frame replaced the opening's last blank one, which asks for two periods. Xvfb and Wine
        // report no presentation.
        EXPECT_TRUE(row[0] == std::to_string(i) && isDecimal(row[1], 3) && row[2] == (i == 1 ? "2" : "1") &&
                    row[4] == "swap completion") << csv[i];
    }
    EXPECT_GT(csv.size(), 61u) << "a frame at least every 20 s / 60 of the run";
    Stimulark::Image plot;
    plot.load((run.folder / "frame-intervals.png").string());
    EXPECT_GT(plot.width * plot.height, 0);

    again.start(gyrdexExecutable);
    ASSERT_TRUE(demoShown(waitForScreen(again, demoShown))) << again.err();
    xdotool("key alt+F4");
    EXPECT_EQ(again.exitCode(exitLimit), std::optional<int>(1)) << again.err();
}

// Without its picture or with a text file in its place (a copy in a folder of its own), or with its display
// server out of reach, the demo notifies the failure and ends normally, rather than carry on unseen on some
// offscreen stand-in, waiting for keys that never come.
TEST(DemoFailure, MissingOrNotPngPictureAndUnreachableDisplayAreNotifiedAndTheProcessEndsWithExitCode0) {
    int unused = 90;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(unused)))
        ++unused;
    std::string unreachable = ":";
    unreachable += std::to_string(unused);
    const std::string png = "Stimulark::IMAGE_FORMATS::PNG_BRIDGE ";
    const std::tuple<const char*, const char*, std::string> cases[] = { // picture file, display, notification
        {nullptr, nullptr, png + "[FILE ACCESS ERROR] Failed to open the requested file."},
        {"not a picture\n", nullptr, png + "[FILE FORMAT ERROR] The requested file is not PNG."},
        {nullptr, unreachable.c_str(),
         "Stimulark::APICanvasProperties [API ERROR] API Error (Failed to switch display mode)"}};
    for (const auto& [content, display, notification] : cases) {
        SCOPED_TRACE(notification);
        // Wine's programs share one desktop process, started by the first of them on that one's display: started
        // on the unreachable display it would fail every program until it ends. Windows always has its desktop, so
        // a demo on the real display keeps Wine's up meanwhile, and only the program's own display is out of reach.
        const bool keepDesktop = display && !runner.empty();
        Program keeper;
        if (keepDesktop) {
            keeper.start(gyrdexExecutable);
            ASSERT_TRUE(demoShown(waitForScreen(keeper, demoShown))) << keeper.err();
        }
        Program run;
        const std::filesystem::path copy = run.folder / std::filesystem::path(gyrdexExecutable).filename();
        std::filesystem::copy_file(gyrdexExecutable, copy);
        if (content)
            std::ofstream(run.folder / "Gyrdex.png") << content;
        run.start(copy, display);
        EXPECT_EQ(run.exitCode(startLimit), std::optional<int>(0));
        EXPECT_NE(run.err().find("Stimulark Notification: " + notification + run.newline), std::string::npos)
            << run.err();
        if (keepDesktop) {
            xdotool("key Escape");
            EXPECT_EQ(keeper.exitCode(exitLimit), std::optional<int>(0)) << keeper.err();
        }
    }
}

// Each trial's square is answered with F about 0.9 s after the last answer; each line holds a time from the
// square's onset to the press, which is shorter than the whole trial and never negative.
TEST(ReadmeExample, ReactionTimesAreTakenFromTheSquaresOnsetToThePress) {
    Program run;
    run.start(reactionExecutable);
    waitForScreen(run, [](const PixelBlock& s) { return isWhite(s.at(511, 383)); });
    for (int trial = 0; trial < 5 && !run.exitCode(900ms); ++trial)
        xdotool("key f");
    ASSERT_EQ(run.exitCode(startLimit), std::optional<int>(0)) << run.err();
    const std::vector<std::string> lines = split(run.out(), run.newline);
    ASSERT_EQ(lines.size(), 6u) << "a header and five trials: " << run.out();
    EXPECT_EQ(lines[0], "trial,key,reaction_ms,onset_source");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> row = split(lines[i], ",");
        ASSERT_TRUE(row.size() == 4 && isDecimal(row[2], 1)) << lines[i];
        EXPECT_EQ(row[0] + row[1] + row[3], std::to_string(i) + "Fswap completion");
        EXPECT_TRUE(std::stod(row[2]) > 0.0 && std::stod(row[2]) < 900.0) << lines[i];
    }
}

// Six trials answered with F: the CSV tells the tilt, whether F was right, the time from the patch's onset and
// that no pixel of the patch was out of range.
TEST(ReadmeExample, OrientationDiscriminationTimesAnswersFromTheGaborsOnset) {
    Program run;
    run.start(orientationExecutable);
    const PixelBlock shown = waitForScreen(run, [](const PixelBlock& s) {
        const auto inked = [](std::uint32_t p) { return !isGrey128(p); };
        return isGrey128(s.at(400, 383)) && measure(s, inked, true).count > 2000;
    });
    const Area patch = measure(shown, [](std::uint32_t p) { return !isGrey128(p); }, true);
    EXPECT_TRUE(patch.maxX - patch.minX < 103 && patch.maxY - patch.minY < 103) << "4 degrees: 102 pixels, not " << patch.minX << ".." << patch.maxX << ", " << patch.minY << ".." << patch.maxY;
    for (int press = 0; press < 20 && !run.exitCode(700ms); ++press)
        xdotool("key f");
    ASSERT_EQ(run.exitCode(startLimit), std::optional<int>(0)) << run.err();
    const std::vector<std::string> lines = split(run.out(), run.newline);
    ASSERT_EQ(lines.size(), 7u) << "a header and six trials: " << run.out();
    EXPECT_EQ(lines[0], "trial,tilt_deg,key,correct,reaction_ms,clipped_pixels,onset_source");
    const char* tilts[] = {"+10", "-10", "-10", "+10", "-10", "+10"};
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> row = split(lines[i], ",");
        ASSERT_TRUE(row.size() == 7 && isDecimal(row[4], 1)) << lines[i];
        const std::string correct = tilts[i - 1][0] == '-' ? "1" : "0";
        EXPECT_EQ(row[0] + row[1] + row[2] + row[3] + row[5] + row[6],
                  std::to_string(i) + tilts[i - 1] + "F" + correct + "0swap completion");
        EXPECT_TRUE(std::stod(row[4]) > 0.0 && std::stod(row[4]) < 1500.0) << lines[i];
    }
}

// Without a retrace (Xvfb, and Wine on it) no refresh rate can be measured, so the timing guide's dropped-frame
// example refuses to count, with a notification, and ends normally.
TEST(ReadmeExample, DroppedFramesAreCountedOnlyWhereTheDisplayHasARetrace) {
    Program run;
    run.start(droppedFramesExecutable);
    ASSERT_EQ(run.exitCode(startLimit), std::optional<int>(0)) << run.err();
    EXPECT_EQ(run.out(), "");
    EXPECT_NE(run.err().find("Stimulark Notification: no retrace: the display cannot time frames" + run.newline),
              std::string::npos) << run.err();
}

// The dots move within their disc around the red fixation dot and its ring; Escape ends the program.
TEST(ReadmeExample, RandomDotsMoveInTheirDiscAroundTheFixationDot) {
    Program run;
    run.start(randomDotsExecutable);
    const auto dotsShown = [](const PixelBlock& s) { return measure(s, isWhite, false).count > 400; };
    const PixelBlock first = waitForScreen(run, dotsShown);
    ASSERT_TRUE(dotsShown(first)) << run.err();
    const Area dots = measure(first, isWhite, false);
    EXPECT_TRUE(dots.minX >= 511 - 203 && dots.maxX <= 512 + 203 && dots.minY >= 383 - 203 && dots.maxY <= 384 + 203)
        << "within the field's disc of 200 around the centre";
    EXPECT_TRUE(isRed(first.at(511, 383)));
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(grabScreen() == first) << "the dots moved";
    xdotool("key Escape");
    EXPECT_EQ(run.exitCode(exitLimit), std::optional<int>(0)) << run.err();
}

// The rows of text on the grey screen, as bands of rows with ink, each with its first and last inked column.
struct Band {
    int top, bottom, left, right;
};
std::vector<Band> textBands(const PixelBlock& s) {
    std::vector<Band> bands;
    for (int y = 0; y < s.height(); ++y) {
        int left = s.width, right = -1;
        for (int x = 0; x < s.width; ++x)
            if (!isGrey128(s.at(x, y))) {
                left = std::min(left, x);
                right = x;
            }
        if (right < 0)
            continue;
        if (bands.empty() || bands.back().bottom != y - 1)
            bands.push_back({y, y, left, right});
        bands.back() = {bands.back().top, y, std::min(bands.back().left, left), std::max(bands.back().right, right)};
    }
    return bands;
}

// The instructions stand in the middle of the grey screen, each line centred and no wider than 600 pixels, the
// last apart from the rest; the space bar ends the program.
TEST(ReadmeExample, InstructionsAreWrappedAndCentredUntilTheSpaceBar) {
    Program run;
    run.start(instructionsExecutable);
    const auto textShown = [](const PixelBlock& s) {
        return s.pixels.size() == 1024 * 768 && isGrey128(s.at(5, 5)) && measure(s, isWhite, true).count > 500;
    };
    const PixelBlock shot = waitForScreen(run, textShown);
    ASSERT_TRUE(textShown(shot)) << run.err();
    const std::vector<Band> lines = textBands(shot);
    ASSERT_GE(lines.size(), 3u);
    for (const Band& line : lines) {
        EXPECT_LE(line.right - line.left + 1, 600) << "the line at " << line.top;
        EXPECT_NEAR((line.left + line.right) / 2.0, centerX, 3.0) << "the line at " << line.top;
    }
    EXPECT_NEAR((lines.front().top + lines.back().bottom) / 2.0, centerY, 1.5) << "the block, centred";
    const int lastGap = lines.back().top - lines[lines.size() - 2].bottom;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i)
        EXPECT_LT(lines[i].top - lines[i - 1].bottom, lastGap) << "an empty line before the last";

    xdotool("key space");
    EXPECT_EQ(run.exitCode(exitLimit), std::optional<int>(0)) << run.err();
    EXPECT_EQ(run.err(), "");
}

TEST(ReadmeExample, DrawsItsSquareOnExactPixelsUntilEscape) {
    Program run;
    run.start(exampleExecutable);
    const PixelBlock shot = waitForScreen(run, [](const PixelBlock& s) { return measure(s, isRed, true).count > 0; });

    // Rectangle(100, 100) centred on the 1024 x 768 screen's (511.5, 383.5) covers 462..561 x 334..433.
    const Area square = measure(shot, isRed, true);
    EXPECT_EQ(std::make_tuple(square.minX, square.maxX, square.minY, square.maxY, square.count),
              std::make_tuple(462, 561, 334, 433, 100 * 100));
    EXPECT_EQ(shot.at(5, 5), 0u);

    xdotool("key Escape");
    EXPECT_EQ(run.exitCode(exitLimit), std::optional<int>(0)) << run.err();
}

// A PNG file as rows of 0xRRGGBB.
PixelBlock readPng(const std::filesystem::path& path) {
    Stimulark::Image image;
    image.load(path.string());
    PixelBlock block{0, 0, image.width, {}};
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const Stimulark::Color c = image.getPixel(x, y);
            block.pixels.push_back(static_cast<std::uint32_t>(std::lround(c.r * 255) << 16 |
                                                              std::lround(c.g * 255) << 8 | std::lround(c.b * 255)));
        }
    return block;
}

// The frame rotated_picture saves is the grey screen with the demo's picture turned 30 degrees clockwise about its
// centre: each pixel around the centre shows the picture's texel that the turn brought there, over the grey.
TEST(ReadmeExample, RotatedPictureSavesItsFrameWithThePictureTurnedAboutTheCentre) {
    const std::filesystem::path pictureFile = std::filesystem::path(gyrdexExecutable).parent_path() / "Gyrdex.png";
    Program run;
    const std::filesystem::path frameFile = run.folder / "frame.png";
    run.start(rotatedPictureExecutable, nullptr, {pictureFile.string(), frameFile.string()});
    waitForScreen(run, [](const PixelBlock& s) { return markerAngle(s).has_value(); });
    xdotool("key Escape");
    ASSERT_EQ(run.exitCode(exitLimit), std::optional<int>(0)) << run.err();
    EXPECT_EQ(run.err(), "");

    ASSERT_TRUE(std::filesystem::exists(frameFile));
    const PixelBlock frame = readPng(frameFile);
    ASSERT_EQ(std::make_tuple(frame.width, frame.height()), std::make_tuple(1024, 768));
    for (const auto& [x, y] : {std::pair(0, 0), {1023, 0}, {0, 767}, {1023, 767}})
        EXPECT_TRUE(isGrey128(frame.at(x, y))) << x << "," << y << ": " << std::hex << frame.at(x, y);
    EXPECT_TRUE(isWhite(frame.at(511, 383))) << "the middle bar of the F";
    // The red corner lies 45 degrees below the right of the picture's middle before the turn.
    EXPECT_NEAR(markerAngle(frame).value_or(0.0), 75.0, 1.0);

    Stimulark::Image picture;
    picture.load(pictureFile.string());
    auto over = [&](int i, int j) { // texel (i, j) blended over the grey; outside the picture, the grey
        const bool inside = i >= 0 && j >= 0 && i < picture.width && j < picture.height;
        const Stimulark::Color c = inside ? picture.getPixel(i, j) : Stimulark::Color(0.0, 0.0, 0.0, 0.0);
        auto byte = [&](double v) { return static_cast<std::uint32_t>(std::lround((c.a * v + 0.5 - c.a / 2) * 255)); };
        return byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
    };
    const double cosine = std::cos(30.0 * M_PI / 180), sine = std::sin(30.0 * M_PI / 180);
    int checked = 0, wrong = 0;
    for (int y = 184; y < 584; ++y)
        for (int x = 312; x < 712; ++x) {
            // Turned back by 30 degrees, the pixel's offset from the centre is its texel's from the picture's middle.
            const double dx = x - centerX, dy = y - centerY;
            const int i = static_cast<int>(std::lround(127.5 + dx * cosine + dy * sine));
            const int j = static_cast<int>(std::lround(127.5 - dx * sine + dy * cosine));
            // Only where the 5 x 5 texels about it agree, so that no half-pixel rounding can matter.
            bool uniform = true;
            for (int v = -2; v <= 2 && uniform; ++v)
                for (int u = -2; u <= 2 && uniform; ++u)
                    uniform = over(i + u, j + v) == over(i, j);
            checked += uniform;
            wrong += uniform && !near(frame.at(x, y), over(i, j), 3);
        }
    EXPECT_GT(checked, 100000);
    EXPECT_EQ(wrong, 0) << "of " << checked;
}

// A picture that cannot be read is notified, and no frame is saved.
TEST(ReadmeExample, RotatedPictureNotifiesAMissingPictureAndSavesNothing) {
    Program run;
    const std::filesystem::path missing = run.folder / "missing.png", frameFile = run.folder / "frame.png";
    run.start(rotatedPictureExecutable, nullptr, {missing.string(), frameFile.string()});
    EXPECT_EQ(run.exitCode(startLimit), std::optional<int>(0));
    EXPECT_NE(run.err().find("Stimulark Notification: Stimulark::IMAGE_FORMATS::PNG_BRIDGE [FILE ACCESS ERROR] "
                             "Failed to open the requested file." + run.newline),
              std::string::npos)
        << run.err();
    // Nothing beside the run's own stderr.txt and stdout.txt.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(run.folder), {}), 2);
}

} // namespace
