#include "demo_driver.hpp"

#include "stimulark/app/Exception.hpp"
#include "stimulark/image/Image.hpp"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace DemoDriver {

namespace {

int decodeStatus(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

void run(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status != 0)
        throw std::runtime_error("command failed (" + std::to_string(status) + "): " + command);
}

} // namespace

Child::Child(const std::string& executable, const std::string& stderrPath) {
    const int errFd = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errFd < 0)
        throw std::runtime_error("cannot create " + stderrPath);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(errFd, STDERR_FILENO);
        ::setenv("STIMULARK_NOTIFICATIONS", "stderr", 1); // never a box nobody can dismiss
        ::execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(errFd);
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
}

Child::~Child() {
    if (running()) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

bool Child::running() {
    if (exitCode_)
        return false;
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_)
        exitCode_ = decodeStatus(status);
    return !exitCode_;
}

std::optional<int> Child::waitExit(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    return exitCode_;
}

Rgb Screenshot::at(int x, int y) const {
    const auto& p = pixels[static_cast<std::size_t>(y) * width + x];
    return {p[0], p[1], p[2]};
}

Screenshot grabScreen(const std::string& folder) {
    const std::string path = folder + "/screen.png";
    // PNG24 keeps 8-bit RGB whatever the colour count, so the file never comes
    // out as a palette or grey PNG.
    run("import -window root PNG24:" + path);
    Stimulark::Image image;
    try {
        image.load(path);
    } catch (const Stimulark::Exception& e) {
        throw std::runtime_error("screenshot unreadable: " + e.fullMessage());
    }
    Screenshot shot;
    shot.width = image.width;
    shot.height = image.height;
    shot.pixels.resize(static_cast<std::size_t>(shot.width) * shot.height);
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const Stimulark::Color c = image.getPixel(x, y);
            shot.pixels[static_cast<std::size_t>(y) * shot.width + x] = {
                static_cast<std::uint8_t>(c.r * 255.0 + 0.5), static_cast<std::uint8_t>(c.g * 255.0 + 0.5),
                static_cast<std::uint8_t>(c.b * 255.0 + 0.5)};
        }
    }
    return shot;
}

void xdotool(const std::string& arguments) { run("xdotool " + arguments); }

bool near(Rgb pixel, Rgb expected, int tolerance) {
    return std::abs(pixel.r - expected.r) <= tolerance && std::abs(pixel.g - expected.g) <= tolerance &&
           std::abs(pixel.b - expected.b) <= tolerance;
}

bool isGrey128(Rgb pixel) { return near(pixel, {128, 128, 128}, 1); }

bool showsDemoBackground(const Screenshot& shot) {
    const int right = shot.width - 6;
    const int bottom = shot.height - 6;
    return isGrey128(shot.at(5, 5)) && isGrey128(shot.at(right, 5)) && isGrey128(shot.at(5, bottom)) &&
           isGrey128(shot.at(right, bottom));
}

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "stimulark-e2e-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace DemoDriver
