#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Windows release zips, vok32-<version>-win32.zip and -win64.zip,
# into OUT-DIR (default dist/): cross-builds VOK32.dll and vokmail.exe with
# mingw-w64 (Release, in build-release-win32/ and build-release-win64/) and
# packs each with scripts/make-win-zip.sh.
#
#     bash scripts/package-windows.sh [OUT-DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/dist}
# shellcheck source=scripts/packages.sh
. "$root/scripts/packages.sh"
install_packages cmake mingw-w64 zip python3

jobs=$(nproc 2>/dev/null || echo 2)
for arch in win32 win64; do
  case "$arch" in win32) tc=mingw-i686.cmake ;; win64) tc=mingw-x86_64.cmake ;; esac
  dir=$root/build-release-$arch
  cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$tc" -DCMAKE_BUILD_TYPE=Release \
    -DVOK_BUILD_TESTS=OFF -DVOK_BUILD_FUZZ=OFF -DVOK_BUILD_EXAMPLES=OFF >/dev/null
  cmake --build "$dir" -j "$jobs" --target vok32 vokmail
  bash "$root/scripts/make-win-zip.sh" "$dir" "$arch" "$out"
done
