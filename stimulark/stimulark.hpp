#pragma once

// Everything a program on the toolkit needs. Define applicationMain() and link
// stimulark_main.

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/canvas/VariableMonitor.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/file/File.hpp"
#include "stimulark/geometry/Rectangle.hpp"
#include "stimulark/image/Image.hpp"
#include "stimulark/math/Random.hpp"
#include "stimulark/platform/Clock.hpp"
#include "stimulark/platform/Keyboard.hpp"
#include "stimulark/version.hpp"
