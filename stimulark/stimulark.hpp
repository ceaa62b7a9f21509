#pragma once

/// \file
/// Everything a program on the toolkit needs, in one include. Define
/// applicationMain() and link `stimulark_main` (`Stimulark::main` in CMake), whose
/// entry starts the toolkit and reports what escapes it. The frame statistics
/// (stimulark/canvas/FrameTiming.hpp) and the drawable base come with the canvas.

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
#include "stimulark/text/Font.hpp"
#include "stimulark/version.hpp"
