#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine in a private prefix:
#
#     wine-run.sh win32|win64 PREFIX PROGRAM.exe [ARGS...]
#
# The prefix is made on first use (about ten seconds), under a lock so that
# tests started together do not both make it. Wine's own messages go to
# stderr; the exit status is the program's.
set -e
[ $# -ge 3 ] || { echo "usage: $0 win32|win64 PREFIX PROGRAM [ARGS...]" >&2; exit 2; }
arch=$1
prefix=$2
shift 2

export WINEARCH="$arch"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs while the prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Without a display a message box returns at once instead of waiting for a
# click that never comes.
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      echo "wine-run: making $arch prefix $prefix" >&2
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w
    fi
  ) 9>"$prefix.lock"
  [ -f "$prefix/system.reg" ] || { echo "wine-run: cannot make prefix $prefix" >&2; exit 1; }
fi

# Wine's output goes to files, never straight to the caller's pipes: the
# prefix's wine server and the services the first program in a prefix starts
# (services.exe, winedevice.exe, explorer.exe) inherit whatever the program
# was given and outlive it for as long as any other test uses the prefix, so
# a caller reading to end of file (ctest, subprocess) would wait for them.
wineserver -p5 </dev/null >/dev/null 2>&1 || true
out=$(mktemp) && err=$(mktemp) || exit 1
trap 'rm -f "$out" "$err"' EXIT
set +e
wine "$@" >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
exit $rc
