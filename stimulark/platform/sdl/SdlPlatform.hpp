#pragma once

#include "stimulark/platform/Platform.hpp"

#include <memory>

namespace Stimulark {

// The SDL2 backend. SDL's video part starts on first need, so the toolkit runs
// without a display until a window, input or a box is wanted.
std::unique_ptr<Platform> createSdlPlatform();

} // namespace Stimulark
