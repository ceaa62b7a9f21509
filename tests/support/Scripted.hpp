#pragma once

#include "stimulark/platform/ScriptedPlatform.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace Stimulark::Testing {

// Runs a test on a fresh scripted backend with keyboard and mouse reset, and puts
// the previous backend back afterwards.
class ScriptedTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    ScriptedPlatform& scripted() { return *scripted_; }

private:
    ScriptedPlatform* scripted_ = nullptr;
    std::unique_ptr<Platform> previous_;
};

} // namespace Stimulark::Testing
