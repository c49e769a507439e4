#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Compiles the generated C# and Pascal bindings with Debian's compilers and
# runs a small program of each against the library:
#   check_bindings.sh SOURCE-DIR LIBRARY WORK-DIR
# Exits 77 (skipped) when neither compiler is installed.
set -euo pipefail
src=$1 lib=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
libdir=$(dirname "$lib")
ran=0

if command -v mcs >/dev/null && command -v mono >/dev/null; then
  mcs -nologo -warnaserror -out:"$work/smoke.exe" "$src/bindings/csharp/Vok32.cs" \
    "$src/bindings/csharp/tests/Smoke.cs"
  # Mono looks for VOK32.dll by that name: map it to the shared library.
  printf '<configuration><dllmap dll="VOK32.dll" target="%s"/></configuration>\n' "$lib" \
    >"$work/smoke.exe.config"
  mono "$work/smoke.exe"
  ran=1
else
  echo "mcs/mono not installed: C# binding not compiled"
fi

if command -v fpc >/dev/null; then
  fpc -v0 -Sew -Fu"$src/bindings/pascal" -Fl"$libdir" -FU"$work" -o"$work/smoke" \
    "$src/bindings/pascal/tests/smoke.pas" >"$work/fpc.log" || { cat "$work/fpc.log"; exit 1; }
  LD_LIBRARY_PATH="$libdir" "$work/smoke"
  ran=1
else
  echo "fpc not installed: Pascal binding not compiled"
fi

[ "$ran" = 1 ] || exit 77
