#!/bin/sh
# SPDX-License-Identifier: MIT
# VOK32.dll's TLS (SChannel) under Wine against the scripted TLS servers of
# the Linux side (tests/servers/tls_script.py) with certificates made for the
# run: STARTTLS and implicit TLS for SMTP and POP3 with the test CA as
# TlsCaFile, and a certificate for another name refused.
#
#     tls_wine.sh WINE-RUN... -- vok_tls_session.exe
set -u
servers=$(cd "$(dirname "$0")/../servers" && pwd)
run=""
while [ "$1" != "--" ]; do run="$run $1"; shift; done
shift
exe=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$servers/tls_certs.sh" "$work/certs" || exit 1
fail=0

# case NAME PROTOCOL SERVER-ARGS CLIENT-SERVER TLSMODE EXPECTED-OUTPUT-PART
case_() {
  name=$1 proto=$2 args=$3 host=$4 mode=$5 want=$6
  dir="$work/$name"
  mkdir -p "$dir"
  /usr/bin/python3 "$servers/tls_script.py" --scenario "$proto" $args --certs "$work/certs" \
    --port-file "$dir/port" --record "$dir/record" --lifetime 60 >"$dir/server.log" 2>&1 &
  for i in $(seq 1 150); do [ -s "$dir/port" ] && break; sleep 0.1; done
  port=$(cat "$dir/port")
  out=$($run "$exe" "$proto" "$host" "$port" "$mode" "Z:$work/certs/ca.pem" "Z:$dir" 2>/dev/null | tr -d '\r')
  wait
  case "$out" in
    *"$want"*) echo "ok: $name: $out" ;;
    *) echo "FAILED: $name: wanted [$want], got [$out]"; sed 's/^/  server: /' "$dir/record"
       [ -f "$dir/client.log" ] && tail -20 "$dir/client.log" | sed 's/^/  client: /'
       fail=1 ;;
  esac
}

case_ smtp_starttls smtp "--mode starttls" localhost 1 "rc=0 tls=1"
case_ smtp_implicit smtp "--mode implicit" localhost 2 "rc=0 tls=1"
case_ pop3_stls pop3 "--mode starttls" localhost 1 "rc=0 tls=1"
case_ pop3_implicit pop3 "--mode implicit" 127.0.0.1 2 "rc=0 tls=1"
case_ wrong_name smtp "--mode implicit --cert wrongname" localhost 2 "rc=-82"
case_ expired smtp "--mode implicit --cert expired" localhost 2 "rc=-81"
case_ self_signed smtp "--mode starttls --cert selfsigned" localhost 1 "rc=-81"
exit $fail
