#pragma once

#include "stimulark/app/Exception.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/platform/ApplicationProperties.hpp"
#include "stimulark/platform/Clock.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/platform/ScriptedPlatform.hpp"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace Stimulark::Testing {

inline constexpr double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();

inline std::array<double, 4> rgba(const Color& c) { return {c.r, c.g, c.b, c.a}; }

// A fresh scripted backend with keyboard and mouse reset; the previous backend is put back afterwards.
class ScriptedTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    ScriptedPlatform& scripted() { return *scripted_; }

private:
    ScriptedPlatform* scripted_ = nullptr;
    std::unique_ptr<Platform> previous_;
};

// The full message of the toolkit failure an action raises, or "no failure".
template <typename Action>
std::string failureMessage(Action action) try {
    return action(), "no failure";
} catch (const Exception& failure) {
    return failure.fullMessage();
}

} // namespace Stimulark::Testing
