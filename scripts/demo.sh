#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The quick start: on a fresh Debian machine (as root, or with sudo) installs
# what it needs, builds vokmail, makes a private CA and a certificate for
# localhost, starts a real SMTP server and a real POP3 server on 127.0.0.1
# (the ones the tests use), both requiring TLS (STARTTLS, STLS), sends a message with an HTML
# body, a plain-text alternative and two attachments, lists the mailbox,
# fetches the message with its attachments, compares them with the
# originals, and stops the servers again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo

# --- Packages -----------------------------------------------------------------
# shellcheck source=scripts/packages.sh
. "$root/scripts/packages.sh"
install_packages cmake g++ make python3 python3-aiosmtpd dovecot-pop3d libssl-dev openssl

# --- Build --------------------------------------------------------------------
build=${VOK_DEMO_BUILD:-$root/build-demo}
echo "== building vokmail in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVOK_BUILD_TESTS=OFF \
  -DVOK_BUILD_FUZZ=OFF -DVOK_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target vokmail >/dev/null
vokmail=$build/tools/vokmail/vokmail

# --- Servers --------------------------------------------------------------------
# SMTP: aiosmtpd, asking for a login, filing each message it accepts as
# <n>.eml. POP3: a private Dovecot serving one Maildir mailbox. Both know one
# account: ann, password secret (tests/servers/mailservers.py, as in the tests).
launcher=$root/tests/servers/mailservers.py
work=$(mktemp -d "${TMPDIR:-/tmp}/vokmail-demo.XXXXXX")
smtp=$work/smtp
# Dovecot's own processes read their folder: one of its own, not inside $work.
pop3=$(mktemp -d "${TMPDIR:-/tmp}/vokmail-demo-pop3.XXXXXX")
cleanup() {
  /usr/bin/python3 "$launcher" stop "$smtp" 2>/dev/null || true
  $SUDO /usr/bin/python3 "$launcher" stop "$pop3" 2>/dev/null || true
  $SUDO rm -rf "$work" "$pop3"
}
trap cleanup EXIT

# A private CA and a server certificate for localhost, 127.0.0.1 and ::1
# (made with the openssl command); vokmail trusts the CA through --ca-file.
bash "$root/tests/servers/tls_certs.sh" "$work/certs"
ca=$work/certs/ca.pem
tls=(--tls-cert "$work/certs/good.pem" --tls-key "$work/certs/good.key")

# SMTP requires STARTTLS and then a login; POP3 requires STLS.
mkdir -p "$smtp"
smtp_port=$(/usr/bin/python3 "$launcher" smtp "$smtp" --lifetime 600 "${tls[@]}")
pop3_port=$($SUDO /usr/bin/python3 "$launcher" pop3 "$pop3" --lifetime 600 "${tls[@]}")
echo "== SMTP server on localhost:$smtp_port (STARTTLS required), POP3 server on localhost:$pop3_port (STLS required)"

# --- What to send ---------------------------------------------------------------
cat > "$work/report.html" <<'HTML'
<html><body>
<h1>Monthly report</h1>
<p>The figures are in the attached <b>spreadsheet</b>; the chart is attached too.</p>
</body></html>
HTML
head -c 120000 /dev/urandom > "$work/chart.bin"
printf 'month,sales\r\njanuary,120\r\nfebruary,135\r\n' > "$work/figures.csv"

export VOKMAIL_PASSWORD=secret  # read by vokmail instead of a prompt

echo
echo "\$ vokmail send --server localhost:$smtp_port --ca-file ca.pem --user ann --from ... --to ann@example.com \\"
echo "      --subject 'Monthly report' --html report.html --alt-text '...' \\"
echo "      --attach chart.bin --attach 'figures.csv|sales.csv'"
"$vokmail" send --server "localhost:$smtp_port" --ca-file "$ca" --user ann \
  --from "Reporting <reports@example.com>" --to "Ann <ann@example.com>" \
  --subject "Monthly report" --html "$work/report.html" \
  --alt-text "Monthly report: the figures and the chart are attached." \
  --attach "$work/chart.bin" --attach "$work/figures.csv|sales.csv"

# The SMTP server has filed the message (its reply came after that); deliver
# it into Ann's Maildir.
$SUDO /usr/bin/python3 "$launcher" deliver "$pop3" "$smtp/mail/1.eml"

echo
echo "\$ vokmail list --server localhost:$pop3_port --ca-file ca.pem --user ann"
"$vokmail" list --server "localhost:$pop3_port" --ca-file "$ca" --user ann

echo
inbox=$build/demo-inbox
rm -rf "$inbox"
echo "\$ vokmail fetch 1 --server localhost:$pop3_port --ca-file ca.pem --user ann --dir $inbox"
"$vokmail" fetch 1 --server "localhost:$pop3_port" --ca-file "$ca" --user ann --dir "$inbox"

echo
same=0
for pair in "chart.bin:chart.bin" "figures.csv:sales.csv"; do
  sent=$work/${pair%%:*}
  got=$inbox/${pair##*:}
  if cmp -s "$sent" "$got"; then
    echo "identical to what was sent: $got ($(wc -c <"$sent") bytes)"
    same=$((same + 1))
  else
    echo "DIFFERENT from what was sent: $got"
  fi
done
[ "$same" -eq 2 ] || { echo "demo: the attachments did not come back whole" >&2; exit 1; }
echo
echo "== done; stopping the servers"
