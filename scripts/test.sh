#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the library and runs the whole test suite twice: a normal build and
# one with AddressSanitizer and UndefinedBehaviorSanitizer, where any report
# fails the run. Then cross-builds VOK32.dll (32- and 64-bit) and tests it
# under Wine. Installs what it needs with apt-get on a fresh Debian machine
# (run as root there, or with sudo).
#
#   --skip-windows   leave out the Windows part (quick local runs; CI runs all)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

skip_windows=no
for arg in "$@"; do
  case $arg in
    --skip-windows) skip_windows=yes ;;
    *) echo "usage: $0 [--skip-windows]" >&2; exit 2 ;;
  esac
done

# --- Packages -----------------------------------------------------------------
# shellcheck source=scripts/packages.sh
. "$root/scripts/packages.sh"
install_packages cmake g++ make libgtest-dev libbenchmark-dev binutils python3-aiosmtpd pkgconf \
  mono-mcs fp-compiler lintian dpkg-dev man-db zip unzip \
  dovecot-pop3d libssl-dev openssl

jobs=$(nproc 2>/dev/null || echo 2)

run_suite() {
  local dir=$1; shift
  echo "== build: $dir ($*)"
  cmake -S "$root" -B "$root/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$root/$dir" -j "$jobs"
  echo "== test: $dir"
  (cd "$root/$dir" && ctest --output-on-failure -j "$jobs" --timeout 300)
}

run_suite build

# Any sanitizer report aborts the process that made it, so ctest sees it fail.
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DVOK_SANITIZE=ON
unset ASAN_OPTIONS UBSAN_OPTIONS

if [ "$skip_windows" = yes ]; then
  echo "== Linux suites passed (Windows part skipped)"
  exit 0
fi

# --- Windows: VOK32.dll cross-built with mingw-w64, tested under Wine ---------
# i686: the export and import check of the DLL, the two binding programs
# (LoadLibrary and import library) and the whole suite, run by Wine in a
# 32-bit prefix of the build tree (made on first use, about ten seconds).
# x86_64: the DLL with its export check and the two binding programs, in a
# 64-bit prefix.
echo "== Windows: VOK32.dll with mingw-w64, tests under Wine"
win_start=$SECONDS
install_packages mingw-w64 googletest wine wine64 wine32:i386 libgnutls30:i386

run_windows() {
  local dir=$1 toolchain=$2 label=$3; shift 3
  echo "== build: $dir (cmake/$toolchain)"
  cmake -S "$root" -B "$root/$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$root/$dir" -j "$jobs" "$@"
  echo "== test under Wine: $dir${label:+ (label $label)}"
  (cd "$root/$dir" && ctest --output-on-failure -j "$jobs" --timeout 600 ${label:+-L "$label"})
}

run_windows build-win32 mingw-i686.cmake ""
run_windows build-win64 mingw-x86_64.cmake dll --target vok32 vok_loadlib vok_implicit vok_tls_session vokmail
echo "== Windows part passed in $((SECONDS - win_start)) s"

echo "== all suites passed"
