# Installation: the header, the library, a pkg-config file and a CMake
# package, so that programs build against an installed copy with either
#   pkg-config --cflags --libs vok32
# or
#   find_package(vok32) ... target_link_libraries(app PRIVATE vok32::vok32)
include(CMakePackageConfigHelpers)

set(VOK_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vok32)
set(VOK_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS vok32 EXPORT vok32Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES include/vok32.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT vok32Targets NAMESPACE vok32:: DESTINATION ${VOK_CMAKE_PACKAGE_DIR})

configure_package_config_file(cmake/vok32Config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/vok32Config.cmake
  INSTALL_DESTINATION ${VOK_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/vok32ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vok32Config.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/vok32ConfigVersion.cmake
  DESTINATION ${VOK_CMAKE_PACKAGE_DIR})

# The way up from the pkg-config folder to the prefix, whatever the libdir.
file(RELATIVE_PATH VOK_PC_TO_PREFIX /prefix/${VOK_PKGCONFIG_DIR} /prefix)
string(REGEX REPLACE "/$" "" VOK_PC_TO_PREFIX "${VOK_PC_TO_PREFIX}")
# The library links OpenSSL where it is the TLS backend; a static link of it
# needs to know.
if(VOK_TLS_BACKEND STREQUAL "openssl")
  set(VOK_PC_REQUIRES_PRIVATE "Requires.private: libssl >= 3.0, libcrypto >= 3.0")
else()
  set(VOK_PC_REQUIRES_PRIVATE "")
endif()
configure_file(cmake/vok32.pc.in ${CMAKE_CURRENT_BINARY_DIR}/vok32.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vok32.pc DESTINATION ${VOK_PKGCONFIG_DIR})

# The usual shared-library naming: libvok32.so -> libvok32.so.3 -> libvok32.so.3.4.2.
# The DLL keeps its one fixed name.
if(NOT WIN32)
  set_target_properties(vok32 PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
endif()
