# Installs the libraries, the public headers, the CMake package (with a find
# module for dSFMT, which ships none) and the pkg-config files; packs a .deb.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(STIMULARK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Stimulark)
install(TARGETS stimulark stimulark_main EXPORT StimularkTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILE_SET generated_headers DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT StimularkTargets NAMESPACE Stimulark:: DESTINATION ${STIMULARK_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/StimularkConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/StimularkConfig.cmake
                              INSTALL_DESTINATION ${STIMULARK_CMAKE_DIR})
# 0.x: a new minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/StimularkConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/StimularkConfig.cmake
              ${PROJECT_BINARY_DIR}/StimularkConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/FindDSFMT.cmake
        DESTINATION ${STIMULARK_CMAKE_DIR})

# The .pc files find the prefix from their own place, so an installed tree (or an
# unpacked .deb) works wherever it is moved.
file(RELATIVE_PATH STIMULARK_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" STIMULARK_PC_PREFIX "${STIMULARK_PC_PREFIX}")
if(WIN32)
  set(STIMULARK_PC_LIBS "-lepoxy -lharfbuzz -lfribidi -lfreetype -lpng -lz -ldSFMT-19937 -lopengl32 -lgdi32 -luser32 \
-ladvapi32")
  set(STIMULARK_PC_MAIN_FLAGS "-mwindows -Wl,--undefined=WinMain")
else()
  set(STIMULARK_PC_LIBS "-lepoxy -lharfbuzz -lfribidi -lfontconfig -lfreetype -lSDL2 -lGL -lpng -lz -ldSFMT-19937 \
-lX11 -lX11-xcb -lxcb -lwayland-client")
endif()
foreach(pc stimulark stimulark-main)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# cpack -G DEB. The libraries are static, so the package depends on the
# development packages of everything they link, and on the default font.
set(CPACK_PACKAGE_NAME libstimulark-dev)
set(CPACK_PACKAGE_VENDOR "Stimulark developers")
set(CPACK_PACKAGE_CONTACT "Stimulark developers <stimulark@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "A C++ toolkit for showing visual stimuli with frame-accurate timing, for
psychology and vision experiments: static libraries, headers, CMake package
and pkg-config files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libsdl2-dev, libgl-dev, libpng-dev, zlib1g-dev, libdsfmt-dev, libx11-dev, libx11-xcb-dev, libxcb1-dev, \
libwayland-dev, libepoxy-dev, libfreetype-dev, libharfbuzz-dev, libfribidi-dev, libfontconfig-dev, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pkg-config, cmake")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
