# Included by the top-level CMakeLists.txt before the toolkit when STIMULARK_FUZZ
# is on: builds libpng and zlib from Debian's source packages, which
# scripts/fetch-fuzz-sources unpacks into .deps/src, with the fuzzer's
# instrumentation, and makes the toolkit link them instead of the system's shared
# libraries, so that the fuzzer follows the branches of the code that parses the
# file.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "The fuzz targets need clang: -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
endif()

set(FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)

set(STIMULARK_FUZZ_SOURCES ${PROJECT_SOURCE_DIR}/.deps/src CACHE PATH
    "Where scripts/fetch-fuzz-sources unpacked libpng1.6 and zlib")
set(fuzz_libpng_dir ${STIMULARK_FUZZ_SOURCES}/libpng1.6)
set(fuzz_zlib_dir ${STIMULARK_FUZZ_SOURCES}/zlib)
if(NOT EXISTS ${fuzz_libpng_dir}/png.c OR NOT EXISTS ${fuzz_zlib_dir}/inflate.c)
  message(FATAL_ERROR "The fuzz build compiles libpng and zlib from source; run scripts/fetch-fuzz-sources first")
endif()

# The public headers are copied into a folder of their own, searched before the
# system's, so that no private header of either library is on the include path.
set(fuzz_include_dir ${PROJECT_BINARY_DIR}/fuzz/include)
foreach(header zlib.h zconf.h)
  configure_file(${fuzz_zlib_dir}/${header} ${fuzz_include_dir}/${header} COPYONLY)
endforeach()
foreach(header png.h pngconf.h)
  configure_file(${fuzz_libpng_dir}/${header} ${fuzz_include_dir}/${header} COPYONLY)
endforeach()
configure_file(${fuzz_libpng_dir}/scripts/pnglibconf.h.prebuilt ${fuzz_include_dir}/pnglibconf.h COPYONLY)

# Third-party code keeps its own warnings to itself (-w).
set(fuzz_library_options -fsanitize=fuzzer-no-link ${FUZZ_SANITIZERS} -w)

set(fuzz_zlib_sources adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil)
list(TRANSFORM fuzz_zlib_sources PREPEND ${fuzz_zlib_dir}/)
list(TRANSFORM fuzz_zlib_sources APPEND .c)
add_library(fuzz_zlib STATIC ${fuzz_zlib_sources})
target_include_directories(fuzz_zlib SYSTEM BEFORE PUBLIC ${fuzz_include_dir})
target_compile_options(fuzz_zlib PRIVATE ${fuzz_library_options})
target_link_options(fuzz_zlib INTERFACE ${FUZZ_SANITIZERS})

set(fuzz_libpng_sources png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil
    pngset pngtrans pngwio pngwrite pngwtran pngwutil)
list(TRANSFORM fuzz_libpng_sources PREPEND ${fuzz_libpng_dir}/)
list(TRANSFORM fuzz_libpng_sources APPEND .c)
add_library(fuzz_libpng STATIC ${fuzz_libpng_sources})
target_include_directories(fuzz_libpng SYSTEM BEFORE PUBLIC ${fuzz_include_dir})
# Only the portable filters: the SIMD ones need sources that are not compiled here.
target_compile_definitions(fuzz_libpng PRIVATE
  PNG_ARM_NEON_OPT=0 PNG_MIPS_MSA_OPT=0 PNG_POWERPC_VSX_OPT=0 PNG_INTEL_SSE_OPT=0)
target_compile_options(fuzz_libpng PRIVATE ${fuzz_library_options})
target_link_libraries(fuzz_libpng PUBLIC fuzz_zlib m)

set(STIMULARK_PNG_LIBRARIES fuzz_libpng fuzz_zlib)
