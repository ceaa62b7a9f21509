#include "support/Scripted.hpp"

#include "stimulark/platform/Clock.hpp"
#include "stimulark/platform/Keyboard.hpp"

namespace Stimulark::Testing {

void ScriptedTest::SetUp() {
    auto backend = std::make_unique<ScriptedPlatform>();
    scripted_ = backend.get();
    previous_ = installPlatform(std::move(backend));
    Clock::ticksPerMillisecond = scripted_->frequency / 1000;
    resetKeyboard();
    resetMouse();
}

void ScriptedTest::TearDown() {
    installPlatform(std::move(previous_));
    scripted_ = nullptr;
    resetKeyboard();
    resetMouse();
}

} // namespace Stimulark::Testing
