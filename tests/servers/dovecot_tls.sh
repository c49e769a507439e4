#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Dovecot of dovecot.sh with TLS required: STLS on its POP3 port (RFC 2595),
# no login before it, the given certificate (PEM files):
#
#   dovecot_tls.sh start DIR CERT KEY   as "dovecot.sh start DIR"
#
# dovecot.sh takes DIR/extra.conf into its configuration, last.
set -euo pipefail
dir=${2:?folder}
cert=$(cd "$(dirname "${3:?certificate}")" && pwd)/$(basename "$3")
key=$(cd "$(dirname "${4:?key}")" && pwd)/$(basename "$4")
mkdir -p "$dir"
cat > "$dir/extra.conf" <<CONF
ssl = required
ssl_cert = <$cert
ssl_key = <$key
ssl_min_protocol = TLSv1.2
disable_plaintext_auth = yes
CONF
exec bash "$(dirname "$0")/dovecot.sh" start "$dir"
