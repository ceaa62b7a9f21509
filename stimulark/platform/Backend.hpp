#pragma once

#include "stimulark/platform/Platform.hpp"

#include <memory>

// Choosing the backend: for the toolkit itself and for test programs, never
// installed with the public headers.
namespace Stimulark {

// The backend this build was made for; defined by that backend's sources.
std::unique_ptr<Platform> createNativePlatform();

// Installs another backend (tests install a scripted one); returns the previous one.
std::unique_ptr<Platform> installPlatform(std::unique_ptr<Platform> backend);

} // namespace Stimulark
