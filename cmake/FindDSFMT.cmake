# Finds dSFMT, the SIMD-oriented Mersenne Twister, built for the period 2^19937 - 1,
# which ships neither a CMake package nor a pkg-config file.
#
#   DSFMT_FOUND, DSFMT_INCLUDE_DIR, DSFMT_LIBRARY
#   dSFMT::dSFMT   imported target; carries DSFMT_MEXP=19937, which its header needs
find_path(DSFMT_INCLUDE_DIR NAMES dSFMT.h)
find_library(DSFMT_LIBRARY NAMES dSFMT-19937)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(DSFMT REQUIRED_VARS DSFMT_LIBRARY DSFMT_INCLUDE_DIR)

if(DSFMT_FOUND AND NOT TARGET dSFMT::dSFMT)
  add_library(dSFMT::dSFMT UNKNOWN IMPORTED)
  set_target_properties(dSFMT::dSFMT PROPERTIES
    IMPORTED_LOCATION "${DSFMT_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${DSFMT_INCLUDE_DIR}"
    INTERFACE_COMPILE_DEFINITIONS DSFMT_MEXP=19937)
endif()
mark_as_advanced(DSFMT_INCLUDE_DIR DSFMT_LIBRARY)
