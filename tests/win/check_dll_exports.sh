#!/bin/sh
# SPDX-License-Identifier: MIT
# VOK32.dll must export exactly the names of the module definition, plain
# (no leading underscore, no @N), and must import nothing but system DLLs:
# WinSock 2 from WS2_32.dll (never WSOCK32.dll), SChannel from SECUR32/CRYPT32, and no compiler runtime.
#
#     check_dll_exports.sh VOK32.dll VOK32.def [libvok32_core.a]
#
# With the core archive it also checks that a 32-bit build compiled every
# export as stdcall (the object symbol is _name@N).
# OBJDUMP and NM may name the mingw tools; the build machine's objdump reads
# PE files too.
set -u
dll=$1
def=$2
core=${3:-}
OBJDUMP=${OBJDUMP:-objdump}
NM=${NM:-nm}
[ -f "$dll" ] || { echo "no DLL at $dll"; exit 1; }
[ -f "$def" ] || { echo "no module definition at $def"; exit 1; }
command -v "$OBJDUMP" >/dev/null 2>&1 || OBJDUMP=objdump

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0

"$OBJDUMP" -p "$dll" > "$tmp/dump" || { echo "$OBJDUMP cannot read $dll"; exit 1; }

# Names in the module definition, the way check_exports.sh reads them.
sed -n 's/^[[:space:]]*\(vok[A-Za-z0-9]*\).*/\1/p' "$def" | sort -u > "$tmp/want"
[ -s "$tmp/want" ] || { echo "no vok names in $def"; exit 1; }

# The export name table: lines "[   n] name" after "[Ordinal/Name Pointer] Table".
awk '/^\[Ordinal\/Name Pointer\] Table/ {t = 1; next}
     t && /^[[:space:]]*\[ *[0-9]+\]/ {sub(/^[[:space:]]*\[ *[0-9]+\][[:space:]]*/, ""); print; next}
     t && NF == 0 {t = 0}' "$tmp/dump" | sort > "$tmp/have"
if ! cmp -s "$tmp/want" "$tmp/have"; then
  echo "exports differ from $(basename "$def") (< def, > DLL):"
  diff "$tmp/want" "$tmp/have"
  fail=1
fi
if grep -q '@' "$tmp/have"; then
  echo "decorated export names:"; grep '@' "$tmp/have"; fail=1
fi
if ! grep -q 'Name[[:space:]].*[[:space:]]VOK32\.dll$' "$tmp/dump"; then
  echo "the export table does not name VOK32.dll"; fail=1
fi

# Imported DLLs: system ones only.
sed -n 's/^[[:space:]]*DLL Name: //p' "$tmp/dump" | tr 'A-Z' 'a-z' | sort -u > "$tmp/imports"
grep -qx 'ws2_32.dll' "$tmp/imports" || { echo "WS2_32.dll is not imported"; fail=1; }
while read -r lib; do
  case "$lib" in
    kernel32.dll|user32.dll|ws2_32.dll|msvcrt.dll|secur32.dll|crypt32.dll|advapi32.dll) ;;
    wsock32.dll) echo "imports WSOCK32.dll; the library uses WinSock 2 (WS2_32.dll)"; fail=1 ;;
    libgcc*|libstdc++*|libwinpthread*) echo "imports the compiler runtime $lib"; fail=1 ;;
    *) echo "imports $lib, which is not a system DLL the library may use"; fail=1 ;;
  esac
done < "$tmp/imports"

# stdcall: in a 32-bit object every export is _name@N.
if [ -n "$core" ] && grep -q 'Magic[[:space:]]*010b' "$tmp/dump"; then
  command -v "$NM" >/dev/null 2>&1 || NM=nm
  "$NM" -g --defined-only "$core" 2>/dev/null | awk '$2 == "T" {print $3}' | sort -u > "$tmp/syms"
  while read -r name; do
    grep -q "^_${name}@[0-9][0-9]*\$" "$tmp/syms" || { echo "$name is not compiled as stdcall"; fail=1; }
  done < "$tmp/want"
fi

[ $fail -eq 0 ] || exit 1
echo "DLL exports ok: $(wc -l < "$tmp/have") plain vok names; imports $(tr '\n' ' ' < "$tmp/imports")"
