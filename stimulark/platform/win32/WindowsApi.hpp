#pragma once

// windows.h as the Win32 backend and its tests take it: without the rarely used
// parts and without the min and max macros (libstdc++ on MinGW may have asked for
// that already). Include it after the toolkit's headers, whose Windows-style
// constants (WM_*, VK_*, PFD_*, DM_*) its macros would otherwise turn into numbers.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
