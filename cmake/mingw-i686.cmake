# SPDX-License-Identifier: MIT
# Cross build of VOK32.dll for 32-bit Windows with Debian's mingw-w64:
#
#     cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
#
# The posix thread flavour of the compilers is used because its libstdc++ has
# std::thread, which the tests need; everything is linked statically, so
# neither the DLL nor the test programs depend on a compiler runtime DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(VOK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
