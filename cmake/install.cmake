# SPDX-License-Identifier: MIT
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
# The linker name: libvok32.so here, the import library libVOK32.dll.a on
# Windows (-lVOK32).
if(WIN32)
  set(VOK_PC_LIBNAME VOK32)
else()
  set(VOK_PC_LIBNAME vok32)
endif()
configure_file(cmake/vok32.pc.in ${CMAKE_CURRENT_BINARY_DIR}/vok32.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vok32.pc DESTINATION ${VOK_PKGCONFIG_DIR})

# The usual shared-library naming: libvok32.so -> libvok32.so.3 -> libvok32.so.3.4.2.
# The DLL keeps its one fixed name.
if(NOT WIN32)
  set_target_properties(vok32 PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
endif()

# The module definition beside the DLL (for lib.exe /def: and other
# linkers), the licence and the change log, the manual pages.
if(WIN32)
  install(FILES exports/VOK32.def DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(FILES LICENSE README.md CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(NOT WIN32)
  # Compressed as Debian's policy asks (gzip -n: no name or time stamp, so
  # the same bytes on every build).
  find_program(VOK_GZIP gzip)
  set(VOK_MAN_PAGES man/vokmail.1 man/vok32.3)
  set(VOK_MAN_GZ "")
  foreach(page IN LISTS VOK_MAN_PAGES)
    get_filename_component(name ${page} NAME)
    add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND ${VOK_GZIP} -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/${page} > ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz
      DEPENDS ${page} VERBATIM)
    list(APPEND VOK_MAN_GZ ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz)
  endforeach()
  add_custom_target(vok_man_pages ALL DEPENDS ${VOK_MAN_GZ})
  if(VOK_BUILD_TOOLS)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/vokmail.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/vok32.3.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man3)
endif()

# A Debian package: cpack -G DEB in the build folder (prefix /usr); the test
# deb_package runs lintian on it.
# Only in a top-level build: a parent project keeps its own CPack set-up.
if(VOK_TOP_LEVEL)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME vok32)
  set(CPACK_PACKAGE_VENDOR "The VOK32 authors")
  set(CPACK_PACKAGE_CONTACT "The VOK32 authors <vok32@example.org>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "e-mail client library: SMTP, POP3 and MIME in a flat C API")
  set(CPACK_PACKAGE_DESCRIPTION "VOK32 sends mail over SMTP and reads POP3 mailboxes, with MIME
composition and decoding, behind a flat C interface of 26 functions that any
language able to call C can use. Every network operation is a state machine
that one thread can drive for many channels at once. Includes the vokmail
command-line client.")
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/vok32")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The shared library asks for ldconfig through a trigger (Debian policy 8.1.1).
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/cmake/deb/triggers)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # Debian's copyright file and native change log, written into the package's
  # tree after the install step.
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/deb-docs.cmake)
  set(CPACK_VOK_SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  include(CPack)
endif()
