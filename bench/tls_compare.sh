#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What TLS costs vokmail beside what it costs curl, on the same loopback
# sinks (vok_mail_sink): a 20 MiB attachment sent over SMTP (plain, then
# STARTTLS) and a message with a 20 MiB attachment fetched over POP3 (plain,
# then implicit TLS). Best of three runs each; the ratio is TLS over plain.
#
#   bench/tls_compare.sh BUILD-DIR     (a build with -DVOK_BUILD_BENCH=ON)
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
sink=$build/bench/vok_mail_sink
vokmail=$build/tools/vokmail/vokmail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "$root/tests/servers/tls_certs.sh" "$work/certs"
ca=$work/certs/ca.pem
head -c $((20 << 20)) /dev/urandom > "$work/data.bin"
{
  printf 'From: <ann@example.com>\r\nTo: <bob@example.org>\r\nSubject: Data\r\n'
  printf 'MIME-Version: 1.0\r\nContent-Type: application/octet-stream\r\n'
  printf 'Content-Transfer-Encoding: base64\r\n\r\n'
  base64 -w 76 "$work/data.bin" | sed 's/$/\r/'
} > "$work/message.eml"

runs=3
# best SECONDS of running "$@" $runs times against a sink started per run
best() {  # protocol tls command...
  local protocol=$1 tls=$2 b=""
  shift 2
  for _ in $(seq 1 $runs); do
    rm -f "$work/port"
    "$sink" "$protocol" "$tls" "$work/certs" 20 "$work/port" 1 &
    for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
    port=$(cat "$work/port")
    rm -rf "$work/out"; mkdir -p "$work/out"
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; echo "failed: $*" >&2; exit 1; }
    t1=$(date +%s.%N)
    wait
    b=$(echo "$t0 $t1 ${b:-999}" | awk '{d=$2-$1; print (d<$3)?d:$3}')
  done
  echo "$b"
}

row() {  # label plain tls
  awk -v l="$1" -v p="$2" -v t="$3" 'BEGIN{printf "%-34s %8.3f s %8.3f s   x%.2f\n", l, p, t, t/p}'
}

echo "                                      plain        TLS      ratio"
p=$(best smtp none sh -c "\"$vokmail\" send --server localhost:\$(cat $work/port) --tls none --from ann@example.com --to bob@example.org --subject Data --attach $work/data.bin --quiet")
t=$(best smtp starttls sh -c "\"$vokmail\" send --server localhost:\$(cat $work/port) --tls starttls --ca-file $ca --from ann@example.com --to bob@example.org --subject Data --attach $work/data.bin --quiet")
row "vokmail send 20 MiB (STARTTLS)" "$p" "$t"
p=$(best smtp none sh -c "curl -sS smtp://localhost:\$(cat $work/port) --mail-from ann@example.com --mail-rcpt bob@example.org -T $work/message.eml")
t=$(best smtp starttls sh -c "curl -sS smtp://localhost:\$(cat $work/port) --ssl-reqd --cacert $ca --mail-from ann@example.com --mail-rcpt bob@example.org -T $work/message.eml")
row "curl send 20 MiB (STARTTLS)" "$p" "$t"
p=$(best pop3 none sh -c "\"$vokmail\" fetch 1 --server localhost:\$(cat $work/port) --tls none --user ann --password secret --dir $work/out --quiet")
t=$(best pop3 implicit sh -c "\"$vokmail\" fetch 1 --server localhost:\$(cat $work/port) --tls implicit --ca-file $ca --user ann --password secret --dir $work/out --quiet")
row "vokmail fetch 20 MiB (implicit)" "$p" "$t"
p=$(best pop3 none sh -c "curl -sS pop3://localhost:\$(cat $work/port)/1 -u ann:secret -o $work/out/1.eml")
t=$(best pop3 implicit sh -c "curl -sS pop3s://localhost:\$(cat $work/port)/1 --cacert $ca -u ann:secret -o $work/out/1.eml")
row "curl fetch 20 MiB (implicit)" "$p" "$t"
