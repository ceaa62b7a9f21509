# Cross-builds for 64-bit Windows with Debian's MinGW-w64 GCC:
#
#   cmake -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# scripts/setup-windows installs the compiler and Wine and builds libpng, dSFMT
# and GoogleTest for Windows into .deps/mingw64, which is searched after the
# MinGW root (zlib comes from Debian's libz-mingw-w64-dev).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(STIMULARK_MINGW_TRIPLET x86_64-w64-mingw32)
# The POSIX-threads flavour: the win32 one has no std::thread or std::mutex in GCC 12.
set(CMAKE_C_COMPILER ${STIMULARK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${STIMULARK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${STIMULARK_MINGW_TRIPLET}-windres)

get_filename_component(STIMULARK_MINGW_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../.deps/mingw64" ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/${STIMULARK_MINGW_TRIPLET} "${STIMULARK_MINGW_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Those modes put every search path under the roots, so a prefix of one's own
# (an installed Windows toolkit, -DCMAKE_PREFIX_PATH=...) would be looked for as
# /usr/x86_64-w64-mingw32/<prefix>; as a root itself, it is searched as given.
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
if(DEFINED ENV{CMAKE_PREFIX_PATH})
  string(REPLACE ":" ";" STIMULARK_ENV_PREFIXES "$ENV{CMAKE_PREFIX_PATH}")
  list(APPEND CMAKE_FIND_ROOT_PATH ${STIMULARK_ENV_PREFIXES})
endif()

# Each .exe runs alone: libstdc++, libgcc and winpthread are linked in rather
# than shipped as DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)
# The MinGW root holds zlib both as libz.a and as the import library of
# zlib1.dll, which Windows-GNU's library suffixes would prefer.
set(ZLIB_USE_STATIC_LIBS ON)

# CTest and gtest_discover_tests run the test programs through Wine. Debian 12
# keeps the 64-bit loader out of PATH, in /usr/lib/wine. Wine uses WINEPREFIX,
# or ~/.wine when it is unset; creating a prefix takes it some 8 s, more than
# gtest_discover_tests waits by default (DISCOVERY_TIMEOUT 5).
find_program(STIMULARK_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(STIMULARK_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${STIMULARK_WINE64}")
endif()
