#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes vok32-<version>-win32.zip or -win64.zip from a mingw cross build in
# which VOK32.dll and vokmail.exe are built:
#
#     scripts/make-win-zip.sh BUILD-DIR win32|win64 OUT-DIR
#
# The zip holds one folder, vok32-<version>-<arch>/:
#   bin/      VOK32.dll (stripped, with its version resource), vokmail.exe
#   lib/      VOK32.lib (import library for MSVC's link.exe), libVOK32.dll.a
#             (for mingw), VOK32.def
#   include/  vok32.h
#   bindings/ C#, VB.NET, Delphi/Free Pascal, Python (the vok32 package)
#   docs/     getting started per language, reference tables
#   README.md, LICENSE, CHANGELOG.md
# Prints the zip's path.
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 BUILD-DIR win32|win64 OUT-DIR" >&2; exit 2; }
build=$(cd "$1" && pwd) arch=$2
mkdir -p "$3"
out=$(cd "$3" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
case "$arch" in
  win32) triple=i686-w64-mingw32 machine=i386 ;;
  win64) triple=x86_64-w64-mingw32 machine=i386:x86-64 ;;
  *) echo "arch must be win32 or win64" >&2; exit 2 ;;
esac

version=$(sed -n 's/^#define VOK_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\).*/\2/p' \
  "$root/include/vok32.h" | paste -sd.)
name=vok32-$version-$arch
stage=$out/$name
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage"/{bin,lib,include,bindings}

for f in "$build/VOK32.dll" "$build/tools/vokmail/vokmail.exe" "$build/libVOK32.dll.a"; do
  [ -f "$f" ] || { echo "$f is missing: build the targets vok32 and vokmail first" >&2; exit 1; }
done
$triple-strip -o "$stage/bin/VOK32.dll" "$build/VOK32.dll"
$triple-strip -o "$stage/bin/vokmail.exe" "$build/tools/vokmail/vokmail.exe"
cp "$build/libVOK32.dll.a" "$root/exports/VOK32.def" "$stage/lib/"

# VOK32.lib: MSVC links 32-bit stdcall functions as _vokName@N, so its
# module definition names them decorated (the one the build wrote beside
# the mingw import library, with the @N of the compiled code); --kill-at
# makes each import the DLL's plain name. 64-bit has one convention.
if [ "$arch" = win32 ]; then
  def=$build/libVOK32.dll.a.def
  kill=--kill-at
else
  def=$root/exports/VOK32.def
  kill=
fi
$triple-dlltool -m "$machine" $kill --input-def "$def" --dllname VOK32.dll \
  --output-lib "$stage/lib/VOK32.lib"

cp "$root/include/vok32.h" "$stage/include/"
cp -r "$root/bindings/csharp" "$root/bindings/vbnet" "$root/bindings/pascal" "$stage/bindings/"
mkdir -p "$stage/bindings/python"
cp -r "$root/bindings/python/vok32" "$stage/bindings/python/"
rm -rf "$stage"/bindings/*/tests "$stage"/bindings/python/vok32/__pycache__
cp -r "$root/docs" "$stage/"
cp "$root/README.md" "$root/LICENSE" "$root/CHANGELOG.md" "$stage/"

# Stable order and times, so the same tree gives the same zip.
find "$stage" -exec touch -d @0 {} +
(cd "$out" && find "$name" | LC_ALL=C sort | zip -q -X -D "$name.zip" -@)
rm -rf "$stage"
echo "$out/$name.zip"
