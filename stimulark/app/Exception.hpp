#pragma once

/// \file
/// Forwarding header for stimulark/core/Exception.hpp.
///
/// The failure type lives at the bottom of the toolkit, below every subsystem that
/// throws it (stimulark/core/Exception.hpp); this header remains for programs
/// written against its first home.
#include "stimulark/core/Exception.hpp"
