#include "support/Scripted.hpp"

namespace Stimulark::Testing {

void ScriptedTest::SetUp() {
    previous_ = installPlatform(std::make_unique<ScriptedPlatform>());
    scripted_ = &static_cast<ScriptedPlatform&>(platform());
    Clock::ticksPerMillisecond = scripted_->frequency / 1000;
    resetKeyboard();
    resetMouse();
}

void ScriptedTest::TearDown() {
    installPlatform(std::move(previous_));
    resetKeyboard();
    resetMouse();
}

} // namespace Stimulark::Testing
