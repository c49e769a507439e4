# SPDX-License-Identifier: MIT
# Run by CPack before it packs the .deb: Debian's copyright file and the
# change log of a native package (gzip -9n), in /usr/share/doc/vok32.
set(doc ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/${CPACK_PACKAGE_NAME})
file(MAKE_DIRECTORY ${doc})
file(READ ${CPACK_VOK_SOURCE_DIR}/LICENSE license)
string(REGEX REPLACE "\n\n" "\n .\n" license_body "${license}")
string(REGEX REPLACE "\n([^ ])" "\n \\1" license_body "${license_body}")
file(WRITE ${doc}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: vok32

Files: *
Copyright: 2026 The VOK32 authors
License: Expat
 ${license_body}
")
file(WRITE ${doc}/changelog
"${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

  * Release ${CPACK_PACKAGE_VERSION}; CHANGELOG.md.gz tells what changed.

 -- ${CPACK_PACKAGE_CONTACT}  Tue, 08 Dec 2026 00:00:00 +0000
")
find_program(GZIP gzip REQUIRED)
foreach(name changelog CHANGELOG.md)
  execute_process(COMMAND ${GZIP} -9nf ${doc}/${name} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${doc}/${name} failed")
  endif()
endforeach()
# The licence is in the copyright file.
file(REMOVE ${doc}/LICENSE)
