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

# The prefix's wine server is started here, detached from this test's output:
# one started by the program itself would inherit ctest's pipe and hold it
# open for as long as any other test in the prefix runs (ctest then waits
# for it). A server already running makes this a no-op.
wineserver -p5 </dev/null >/dev/null 2>&1 || true

exec wine "$@"
