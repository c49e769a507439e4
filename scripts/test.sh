#!/usr/bin/env bash
# Builds the library and runs the whole test suite twice: a normal build and
# one with AddressSanitizer and UndefinedBehaviorSanitizer, where any report
# fails the run. Then cross-builds VOK32.dll (32- and 64-bit) and tests it
# under Wine. Installs what it needs with apt-get on a fresh Debian machine
# (run as root there, or with sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# --- Packages -----------------------------------------------------------------
packages=(cmake g++ make libgtest-dev libbenchmark-dev binutils python3-aiosmtpd pkgconf)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi

# Dovecot's POP3 server for the POP3 integration tests, which start a private
# instance of their own. Installing the package must not start the system's
# daemon on port 110: policy-rc.d forbids it for the time of the install.
if ! dpkg -s dovecot-pop3d >/dev/null 2>&1; then
  echo "== installing: dovecot-pop3d"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  made_policy=0
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
    $SUDO chmod 755 /usr/sbin/policy-rc.d
    made_policy=1
  fi
  $SUDO apt-get update -q
  rc=0
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q dovecot-pop3d || rc=$?
  if [ "$made_policy" -eq 1 ]; then $SUDO rm -f /usr/sbin/policy-rc.d; fi
  [ "$rc" -eq 0 ] || exit "$rc"
fi

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

# --- Windows: VOK32.dll cross-built with mingw-w64, tested under Wine ---------
# i686: the export and import check of the DLL, the two binding programs
# (LoadLibrary and import library) and the whole suite, run by Wine in a
# 32-bit prefix of the build tree (made on first use, about ten seconds).
# x86_64: the DLL with its export check and the two binding programs, in a
# 64-bit prefix.
echo "== Windows: VOK32.dll with mingw-w64, tests under Wine"
win_start=$SECONDS
win_packages=(mingw-w64 googletest wine wine64 wine32:i386)
missing=()
for p in "${win_packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi

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
run_windows build-win64 mingw-x86_64.cmake dll --target vok32 vok_loadlib vok_implicit
echo "== Windows part passed in $((SECONDS - win_start)) s"

echo "== all suites passed"
