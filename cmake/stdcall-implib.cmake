# SPDX-License-Identifier: MIT
# Writes the import library of the 32-bit VOK32.dll, run after the DLL is
# linked:
#
#     cmake -DDEF=exports/VOK32.def -DCORE=libvok32_core.a -DNM=... -DDLLTOOL=...
#           -DDLL_NAME=VOK32.dll -DOUT=libVOK32.dll.a -P cmake/stdcall-implib.cmake
#
# The DLL exports plain names (--kill-at), while a C or C++ caller compiled
# with __stdcall asks its import library for _vokName@N. The library that ld
# writes beside the DLL has lost the @N as well, so nothing links against it.
# dlltool, given the decorated names and --kill-at, writes stubs named
# _vokName@N that import the plain names. The @N of each name comes from the
# compiled core, so the module definition stays the one list of names.
foreach(var DEF CORE NM DLLTOOL DLL_NAME OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "stdcall-implib.cmake: ${var} not given")
  endif()
endforeach()

execute_process(COMMAND ${NM} -g --defined-only ${CORE}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} cannot read ${CORE}")
endif()

file(STRINGS ${DEF} lines)
set(decorated "LIBRARY ${DLL_NAME}\nEXPORTS\n")
set(count 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*(vok[A-Za-z0-9]*)")
    set(name ${CMAKE_MATCH_1})
    if(NOT symbols MATCHES " T _${name}@([0-9]+)\n")
      message(FATAL_ERROR "${name} of ${DEF} is no stdcall function of ${CORE}")
    endif()
    string(APPEND decorated "    ${name}@${CMAKE_MATCH_1}\n")
    math(EXPR count "${count} + 1")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no vok names in ${DEF}")
endif()

set(stdcall_def ${OUT}.def)
file(WRITE ${stdcall_def} "${decorated}")
execute_process(COMMAND ${DLLTOOL} --kill-at --input-def ${stdcall_def}
    --dllname ${DLL_NAME} --output-lib ${OUT}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} could not write ${OUT}")
endif()
