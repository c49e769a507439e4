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
set(CMAKE_C_COMPILER ${VOK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VOK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VOK_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${VOK_MINGW_TRIPLE}-objdump)
set(CMAKE_NM ${VOK_MINGW_TRIPLE}-nm)
set(CMAKE_DLLTOOL ${VOK_MINGW_TRIPLE}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${VOK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs built here run on this machine under Wine; the tests set
# their own runner (tests/win/wine-run.sh), which picks the Wine prefix.
