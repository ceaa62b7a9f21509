#pragma once

// Drives real programs on the X display named by DISPLAY: starts them, moves
// the pointer, presses keys and reads screenshots. Every wait is bounded.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace DemoDriver {

using namespace std::chrono_literals;

// A child process with its standard error in a file. It is killed when the
// object goes while it still runs, so a failing test leaves nothing behind.
class Child {
public:
    Child(const std::string& executable, const std::string& stderrPath);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The exit code (128 + signal for a killed process), or nothing if the process
    // still runs after `limit`.
    std::optional<int> waitExit(std::chrono::milliseconds limit);
    bool running();

private:
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

struct Rgb {
    int r = 0, g = 0, b = 0;
};

class Screenshot {
public:
    int width = 0;
    int height = 0;
    std::vector<std::array<std::uint8_t, 3>> pixels;

    Rgb at(int x, int y) const;
    double centerX() const { return (width / 2) - 0.5; }
    double centerY() const { return (height / 2) - 0.5; }
};

// Grabs the whole screen into a PNG in `folder` and reads it back with the
// toolkit's own loader.
Screenshot grabScreen(const std::string& folder);

// Runs an xdotool command such as "mousemove 10 20" or "key Escape".
void xdotool(const std::string& arguments);

bool near(Rgb pixel, Rgb expected, int tolerance);
bool isGrey128(Rgb pixel);
// The whole screen, not just a few pixels, is the mid-grey of the demo.
bool showsDemoBackground(const Screenshot& shot);

// A fresh folder under the system's temporary folder; removed by its destructor.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string readFile(const std::string& path);

} // namespace DemoDriver
