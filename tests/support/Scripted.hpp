#pragma once

#include "stimulark/color/Color.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Backend.hpp"
#include "stimulark/platform/Clock.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "support/ScriptedPlatform.hpp"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <memory>

namespace Stimulark::Testing {

inline constexpr double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();

inline std::array<double, 4> rgba(const Color& c) { return {c.r, c.g, c.b, c.a}; }

// A fresh scripted backend with keyboard and mouse reset; the previous backend is put back afterwards.
class ScriptedTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = installPlatform(std::make_unique<ScriptedPlatform>());
        Clock::ticksPerMillisecond = scripted().frequency / 1000;
        resetKeyboard();
        resetMouse();
    }
    void TearDown() override {
        installPlatform(std::move(previous_));
        resetKeyboard();
        resetMouse();
    }
    static ScriptedPlatform& scripted() { return static_cast<ScriptedPlatform&>(platform()); }

private:
    std::unique_ptr<Platform> previous_;
};

// The full message of the toolkit failure an action raises, or "no failure".
template <typename Action>
std::string failureMessage(Action action) try {
    action();
    return "no failure";
} catch (const Exception& failure) {
    return failure.fullMessage();
}

} // namespace Stimulark::Testing
