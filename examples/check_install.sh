#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a temporary prefix and builds the examples against
# that copy, found once through find_package and once through pkg-config
# (with CMake and with a plain compiler line); each program must then run
# from the installed library, not from the build tree.
#
#   check_install.sh BUILD_DIR EXAMPLES_DIR C_COMPILER [EXTRA_C_FLAGS]
set -euo pipefail
build=$1
examples=$2
cc=$3
flags=${4:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/vok32-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== install into $prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }

libdir=$(dirname "$(find "$prefix" -name 'libvok32.so' | head -n 1)")
[ -n "$libdir" ] && [ "$libdir" != . ] || fail "no libvok32.so installed"
for f in include/vok32.h bin/vokmail; do
  [ -f "$prefix/$f" ] || fail "missing $f"
done
[ -f "$libdir/pkgconfig/vok32.pc" ] || fail "missing vok32.pc"
[ -f "$libdir/cmake/vok32/vok32Config.cmake" ] || fail "missing the CMake package"
[ -f "$libdir/cmake/vok32/vok32ConfigVersion.cmake" ] || fail "missing the package version file"

# Whether the dynamic loader picks the library in the prefix for a program.
uses_installed_copy() {
  local found
  ldd "$1" >"$work/ldd.txt"
  found=$(awk '$1 ~ /^libvok32\.so/ { print $3 }' "$work/ldd.txt")
  if [ -z "$found" ] || [ "$(dirname "$(realpath "$found")")" != "$(realpath "$libdir")" ]; then
    cat "$work/ldd.txt" >&2
    return 1
  fi
}

# The program must run, from the library that lies in the prefix.
check_program() {
  local program=$1 how=$2
  local out
  out=$("$program" --version) || fail "$how: $program does not run"
  [ "$out" = "VOK32 3.4.2 build 11" ] || fail "$how: printed '$out'"
  uses_installed_copy "$program" || fail "$how: not linked to the installed copy"
  echo "ok: $how"
}

echo "== find_package"
cmake -S "$examples" -B "$work/with-package" -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/fp.log" 2>&1 || { cat "$work/fp.log"; fail "configure (find_package)"; }
cmake --build "$work/with-package" >>"$work/fp.log" 2>&1 || { cat "$work/fp.log"; fail "build (find_package)"; }
check_program "$work/with-package/send_mail" "find_package(vok32)"

echo "== pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --modversion vok32)" = "3.4.2" ] || fail "pkg-config --modversion"
cmake -S "$examples" -B "$work/with-pc" -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$flags" \
  -DVOK_EXAMPLES_PKGCONFIG=ON >"$work/pc.log" 2>&1 || { cat "$work/pc.log"; fail "configure (pkg-config)"; }
cmake --build "$work/with-pc" >>"$work/pc.log" 2>&1 || { cat "$work/pc.log"; fail "build (pkg-config)"; }
check_program "$work/with-pc/send_mail" "pkg_check_modules(vok32)"

# shellcheck disable=SC2046  # the flags are meant to split into words
"$cc" $flags -Wall -Wextra -Werror -o "$work/send_mail_cc" "$examples/send_mail.c" \
  $(pkg-config --cflags --libs vok32) -Wl,-rpath,"$(pkg-config --variable=libdir vok32)" \
  || fail "compile with the pkg-config flags"
check_program "$work/send_mail_cc" "cc \$(pkg-config --cflags --libs vok32)"

echo "== the installed vokmail"
out=$(env -u LD_LIBRARY_PATH "$prefix/bin/vokmail" --version) || fail "installed vokmail does not run"
[ "$out" = "vokmail 3.4.2 build 11" ] || fail "installed vokmail printed '$out'"
uses_installed_copy "$prefix/bin/vokmail" || fail "installed vokmail uses another copy"
echo "ok: installed vokmail"
