# SPDX-License-Identifier: MIT
# The part of the mingw-w64 toolchain files that both Windows targets share;
# the including file sets CMAKE_SYSTEM_PROCESSOR and VOK_MINGW_TRIPLE first.
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
