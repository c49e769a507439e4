#!/usr/bin/env bash
# Builds the library and runs the whole test suite twice: a normal build and
# one with AddressSanitizer and UndefinedBehaviorSanitizer, where any report
# fails the run. Installs what it needs with apt-get on a fresh Debian
# machine (run as root there, or with sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# --- Packages -----------------------------------------------------------------
packages=(cmake g++ make libgtest-dev libbenchmark-dev binutils)
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

echo "== all suites passed"
