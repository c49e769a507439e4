#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The test Dovecot (mailservers.py) with TLS required: STLS on its POP3
# port (RFC 2595), no login before it, the given certificate (PEM files):
#
#   dovecot_tls.sh start DIR CERT KEY   as "mailservers.py pop3 DIR"
set -euo pipefail
exec /usr/bin/python3 "$(dirname "$0")/mailservers.py" pop3 "${2:?folder}" \
  --tls-cert "${3:?certificate}" --tls-key "${4:?key}" >/dev/null
