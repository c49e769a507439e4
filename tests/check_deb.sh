#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Packs the build as a .deb (cpack, prefix /usr), checks that the installed
# vokmail has no RUNPATH and that the manual pages render without warnings,
# and runs lintian, which must report no errors (warnings are printed).
#   check_deb.sh BUILD-DIR WORK-DIR
set -euo pipefail
build=$1 work=$2
rm -rf "$work" && mkdir -p "$work"
(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/*.deb)
dpkg-deb -x "$deb" "$work/root"

if readelf -d "$work/root/usr/bin/vokmail" | grep -E 'RUNPATH|RPATH'; then
  echo "vokmail under /usr carries a RUNPATH"; exit 1
fi
for page in "$work"/root/usr/share/man/man*/*.gz; do
  out=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$out" ] || { echo "$page: $out"; exit 1; }
done

if ! command -v lintian >/dev/null; then
  echo "lintian not installed: the package was not checked"; exit 77
fi
# lintian warns when run as root (CI containers); that line is no finding.
rc=0
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || rc=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
exit "$rc"
