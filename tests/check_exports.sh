#!/bin/sh
# SPDX-License-Identifier: MIT
# The shared library must export the vok functions and nothing else: no
# internal routine and no standard-library template instance.
lib="$1"
[ -f "$lib" ] || { echo "no library at $lib"; exit 1; }
names=$(nm -D --defined-only "$lib" | awk '{print $NF}' | sort -u)
[ -n "$names" ] || { echo "no exported symbols"; exit 1; }
bad=$(printf '%s\n' "$names" | grep -v '^vok[A-Z][A-Za-z0-9]*$' || true)
if [ -n "$bad" ]; then
  echo "unexpected exports:"; printf '%s\n' "$bad"; exit 1
fi
# Every name in the module definition is exported, and nothing more.
def="$(dirname "$0")/../exports/VOK32.def"
want=$(sed -n 's/^[[:space:]]*\(vok[A-Za-z0-9]*\).*/\1/p' "$def" | sort -u)
if [ "$want" != "$names" ]; then
  echo "exports differ from VOK32.def:"
  printf '%s\n' "$want" > /tmp/vok_want.$$; printf '%s\n' "$names" > /tmp/vok_have.$$
  diff /tmp/vok_want.$$ /tmp/vok_have.$$; rm -f /tmp/vok_want.$$ /tmp/vok_have.$$
  exit 1
fi
echo "exports ok: $(printf '%s\n' "$names" | wc -l) vok functions"
