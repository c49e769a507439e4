#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A private POP3 server for the integration tests: Dovecot in the
# foreground on 127.0.0.1, with its configuration, sockets, state, log and
# one mailbox (user ann, password secret, Maildir) all inside one folder.
#
#   dovecot.sh start DIR   messages DIR/mail/* go into the mailbox; the server
#                          is started and its port and PID are written to
#                          DIR/port and DIR/pid once it accepts connections
#   dovecot.sh stop DIR    stops the server whose PID is in DIR/pid
#   dovecot.sh deliver DIR FILE   puts one more message into the mailbox
#
# Dovecot refuses to touch mail as root, so the mailbox belongs to nobody.
set -euo pipefail

cmd=${1:?start, stop or deliver}
dir=$(cd "${2:?folder}" && pwd)
user=nobody
group=$(id -gn nobody 2>/dev/null || echo nogroup)

fail() { echo "dovecot.sh: $*" >&2; exit 1; }

deliver() {  # file
    local maildir=$dir/home/ann/Maildir
    local name
    # Named like Dovecot's own deliveries, so that the mailbox keeps the
    # order of delivery.
    name="$(date +%s).M$(date +%N)P$$.vok32test"
    cp "$1" "$maildir/tmp/$name"
    chown "$user:$group" "$maildir/tmp/$name"
    mv "$maildir/tmp/$name" "$maildir/new/$name"
}

free_port() {
    /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

case $cmd in
start)
    command -v dovecot >/dev/null || fail "dovecot is not installed (apt-get install dovecot-pop3d)"
    mkdir -p "$dir/run" "$dir/state" "$dir/home/ann/Maildir/"{cur,new,tmp}
    chmod 755 "$dir" "$dir/home"
    chown -R "$user:$group" "$dir/home"
    printf 'ann:{PLAIN}secret::::::\n' > "$dir/passwd"
    if [ -d "$dir/mail" ]; then
        for f in "$dir"/mail/*; do
            [ -f "$f" ] && deliver "$f"
        done
    fi
    port=$(free_port)
    cat > "$dir/dovecot.conf" <<CONF
base_dir = $dir/run
state_dir = $dir/state
log_path = $dir/dovecot.log
info_log_path = $dir/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain login apop
auth_failure_delay = 0
mail_location = maildir:~/Maildir
pop3_uidl_format = %08Xu%08Xv
passdb {
  driver = passwd-file
  args = scheme=PLAIN $dir/passwd
}
userdb {
  driver = static
  args = uid=$user gid=$group home=$dir/home/%u
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $port
  }
  inet_listener pop3s {
    port = 0
  }
}
# Settings of a caller's own (dovecot_tls.sh: TLS), when there are any.
!include_try $dir/extra.conf
CONF
    dovecot -F -c "$dir/dovecot.conf" > "$dir/dovecot.out" 2>&1 < /dev/null &
    pid=$!
    # Ready once the port takes connections (bounded: 10 s).
    for _ in $(seq 1 100); do
        if ! kill -0 "$pid" 2>/dev/null; then
            cat "$dir/dovecot.out" "$dir/dovecot.log" >&2 2>/dev/null || true
            fail "dovecot exited at start"
        fi
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port" > "$dir/port"
            echo "$pid" > "$dir/pid"
            exit 0
        fi
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    fail "dovecot did not listen on port $port"
    ;;
stop)
    [ -f "$dir/pid" ] || exit 0
    pid=$(cat "$dir/pid")
    kill "$pid" 2>/dev/null || exit 0
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || exit 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    ;;
deliver)
    deliver "${3:?file}"
    ;;
*)
    fail "unknown command $cmd"
    ;;
esac
