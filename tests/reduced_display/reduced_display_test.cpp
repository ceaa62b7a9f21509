// The canvas on displays that offer less than llvmpipe does, made so by Mesa's override variables. Mesa reads
// them from the environment a process starts with (under Wine the Linux side's, which a Windows program cannot
// change), so each test here runs as a CTest test of its own that sets them (tests/CMakeLists.txt).

#include "canvas/display_canvas.hpp"

#include <cstdlib>
#include <string>

namespace Stimulark::Testing {
namespace {

// Whether the process started with `name` set to `value`.
testing::AssertionResult startedWith(const char* name, const char* value) {
    const char* actual = std::getenv(name);
    if (actual && std::string(actual) == value)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "run with " << name << "=" << value << ", as CTest does";
}

// The shapes refuse, naming what the display offers, and the fixed-function drawing still works.
TEST(OldContext, ShapesAreRefusedByName) {
    ASSERT_TRUE(startedWith("MESA_GL_VERSION_OVERRIDE", "2.1"));
    Clock::initializeFrequency();
    Canvas canvas(0);
    const std::string refusal =
        failureMessage([&] { canvas.fillOval(Rectangle(0.0, 0.0, 9.0, 9.0), Color::white); });
    const std::string start =
        "Stimulark::Canvas [API ERROR] OpenGL 3.3 is needed for this drawing; the display offers 2.1 Mesa ";
    const std::string version = refusal.starts_with(start) ? refusal.substr(start.size()) : "";
    EXPECT_TRUE(version.size() > 1 && version.back() == '.' &&
                version.find_first_not_of("0123456789.") == std::string::npos)
        << refusal;
    canvas.clear(Color::black, BACK_BUFFER);
    canvas.fillRect(Rectangle(0.0, 0.0, 9.0, 9.0), Color::white);
    EXPECT_EQ(pixelAt(4, 4), white);
}

// The float buffer's conversion counts clipped pixels in a pass of its own, as many (binary noise of contrast 1.5
// clips every one).
TEST(NoAtomicCounters, TheConversionCountsInAPassOfItsOwn) {
    ASSERT_TRUE(startedWith("MESA_EXTENSION_OVERRIDE", "-GL_ARB_shader_atomic_counters"));
    Clock::initializeFrequency();
    Canvas canvas(0);
    canvas.setFloatBuffer(true);
    canvas.drawNoise(Rectangle(0.0, 0.0, 9.0, 9.0), 1, NOISE_BINARY, 1.5, Color(0.5), 3U);
    canvas.flip(1);
    EXPECT_EQ(canvas.clippedPixels(), 100);
}

} // namespace
} // namespace Stimulark::Testing
