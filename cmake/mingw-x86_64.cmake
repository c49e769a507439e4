# SPDX-License-Identifier: MIT
# Cross build of VOK32.dll for 64-bit Windows with Debian's mingw-w64:
#
#     cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
#
# The posix thread flavour of the compilers is used because its libstdc++ has
# std::thread, which the tests need; everything is linked statically, so
# neither the DLL nor the test programs depend on a compiler runtime DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(VOK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
