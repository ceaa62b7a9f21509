#pragma once

// The failure type lives at the bottom of the toolkit, below every subsystem that
// throws it; this header remains for programs written against its first home.
#include "stimulark/core/Exception.hpp"
