# SPDX-License-Identifier: MIT
# GoogleTest for cross builds, made from the sources of Debian's googletest
# package with the cross compiler. Provides GTest::gtest and
# GTest::gtest_main like find_package(GTest) does on the build machine.
set(VOK_GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH
  "GoogleTest sources used by cross builds")
if(NOT EXISTS ${VOK_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources at ${VOK_GTEST_SOURCE_DIR} (apt-get install googletest)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${VOK_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
