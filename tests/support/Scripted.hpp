#pragma once

#include "stimulark/app/Exception.hpp"
#include "stimulark/platform/ScriptedPlatform.hpp"

#include <gtest/gtest.h>

namespace Stimulark::Testing {

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
std::string failureMessage(Action action) {
    try {
        action();
    } catch (const Exception& failure) {
        return failure.fullMessage();
    }
    return "no failure";
}

} // namespace Stimulark::Testing
