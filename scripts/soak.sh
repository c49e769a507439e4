#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The soak run (not part of CI): CYCLES (default 5000) connect/send/close
# cycles and as many download cycles on one channel of libvok32.so, against
# the loopback servers of the tests (aiosmtpd and a private Dovecot). Prints
# the process's open descriptors and resident memory at the start, the middle
# and the end of each; both must stay flat. Run as root (Dovecot), after
# scripts/test.sh has installed the packages.
#
#   bash scripts/soak.sh [CYCLES]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
cycles=${1:-5000}
build=${VOK_SOAK_BUILD:-$root/build}
launcher=$root/tests/servers/mailservers.py

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target vok_soak >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/vok-soak.XXXXXX")
# Dovecot's own processes read their folder: one of its own, not inside $work.
pop3=$(mktemp -d "${TMPDIR:-/tmp}/vok-soak-pop3.XXXXXX")
cleanup() {
  /usr/bin/python3 "$launcher" stop "$work/smtp" 2>/dev/null || true
  /usr/bin/python3 "$launcher" stop "$pop3" 2>/dev/null || true
  rm -rf "$work" "$pop3"
}
trap cleanup EXIT
mkdir -p "$work/smtp" "$work/out" "$pop3/mail"

# The mailbox holds one message with a 30,000-byte attachment.
{
  printf 'From: <soak@example.com>\r\nTo: <ann@example.com>\r\nSubject: soak\r\n'
  printf 'MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary="b1"\r\n\r\n'
  printf -- '--b1\r\nContent-Type: text/plain\r\n\r\nA soak message.\r\n'
  printf -- '--b1\r\nContent-Type: application/octet-stream; name="payload.bin"\r\n'
  printf 'Content-Transfer-Encoding: base64\r\n'
  printf 'Content-Disposition: attachment; filename="payload.bin"\r\n\r\n'
  head -c 30000 /dev/urandom | base64 -w 76 | sed 's/$/\r/'
  printf -- '--b1--\r\n'
} > "$pop3/mail/1"

# Generous lifetimes: the servers end by themselves should this script die.
lifetime=$((cycles * 3 + 600))
smtp_port=$(/usr/bin/python3 "$launcher" smtp "$work/smtp" --lifetime "$lifetime")
pop3_port=$(/usr/bin/python3 "$launcher" pop3 "$pop3" --lifetime "$lifetime")
echo "== soak: $cycles cycles each; SMTP on 127.0.0.1:$smtp_port, POP3 on 127.0.0.1:$pop3_port"
start=$SECONDS
"$build/tests/vok_soak" "$smtp_port" "$pop3_port" "$cycles" "$work/out"
echo "== soak passed in $((SECONDS - start)) s"
