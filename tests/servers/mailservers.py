#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Starts and stops the loopback mail servers of the tests and the demo.

  smtp: smtp_server.py (Debian's python3-aiosmtpd), AUTH required; it files
        each message it accepts as DIR/mail/<n>.eml with <n>.json beside it.
  pop3: a private Dovecot in the foreground with its configuration, state,
        log and one Maildir mailbox inside DIR; the files in DIR/mail at the
        start go into the mailbox, in name order.

Both know one account (ann / secret unless told otherwise), listen on
127.0.0.1 only and end by themselves after --lifetime seconds.

Ports: the SMTP server binds port 0 and reports the port it got. Dovecot
cannot take "any free port", so a port is picked at random below the
kernel's range for ephemeral ports and Dovecot is started on it; when it
exits because the port is taken, another is tried (bounded). Every instance
greets with a token of its own, and a port is reported only once the server
there has greeted with that token: a test that finds the token in the
greeting knows it reached its own server.

Once up, DIR holds port, pid and token. Command line:

  mailservers.py smtp DIR [--user U] [--password P] [--only MECH] [--lifetime S]
                          [--tls-cert PEM --tls-key PEM]   (STARTTLS required)
  mailservers.py pop3 DIR [--lifetime S] [--tls-cert PEM --tls-key PEM]
                                                           (STLS required)
  mailservers.py deliver DIR FILE    one more message into the POP3 mailbox
  mailservers.py stop DIR

Starting prints the port. Run as root for pop3: Dovecot refuses to touch
mail as root, so the mailbox belongs to nobody.
"""
import argparse
import glob
import grp
import os
import pwd
import random
import secrets
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
USER = "ann"
PASSWORD = "secret"
MAILBOX_OWNER = "nobody"
DOVECOT_TRIES = 20
START_LIMIT = 20.0  # seconds for one server to greet

DOVECOT_CONF = """\
base_dir = {dir}/run
state_dir = {dir}/state
log_path = {dir}/dovecot.log
info_log_path = {dir}/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain login apop
auth_failure_delay = 0
login_greeting = vok-test {token} ready.
mail_location = maildir:~/Maildir
pop3_uidl_format = %08Xu%08Xv
# Many sessions at once from one address (the thread and soak runs).
mail_max_userip_connections = 0
default_process_limit = 300
default_client_limit = 1200
passdb {{
  driver = passwd-file
  args = scheme=PLAIN {dir}/passwd
}}
userdb {{
  driver = static
  args = uid={uid} gid={gid} home={dir}/home/%u
}}
service pop3-login {{
  inet_listener pop3 {{
    address = 127.0.0.1
    port = {port}
  }}
  inet_listener pop3s {{
    port = 0
  }}
}}
# TLS, when asked for (written by start_pop3).
!include_try {dir}/extra.conf
"""

# Dovecot with TLS required: STLS on its POP3 port (RFC 2595), no login
# before it.
DOVECOT_TLS = """\
ssl = required
ssl_cert = <{cert}
ssl_key = <{key}
ssl_min_protocol = TLSv1.2
disable_plaintext_auth = yes
"""


class StartError(RuntimeError):
    pass


def _write(path, text):
    with open(path + ".tmp", "w") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


def _read(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def greeting(port, limit=5.0):
    """The first line a server on 127.0.0.1:port sends, or "" (bounded)."""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=limit) as s:
            line = b""
            deadline = time.monotonic() + limit
            while not line.endswith(b"\n") and time.monotonic() < deadline:
                chunk = s.recv(512)
                if not chunk:
                    break
                line += chunk
            return line.decode("latin-1").strip()
    except OSError:
        return ""


def _await_greeting(process, port_of, token, limit=START_LIMIT):
    """Polls until the server greets with its token. The port, or None when
    the process ended first; StartError when time runs out."""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if process.poll() is not None:
            return None
        port = port_of()
        if port and token in greeting(port):
            return port
        time.sleep(0.05)
    raise StartError("no greeting with token %s within %d s" % (token, limit))


def _spawn(dir, args, output):
    # A session of its own: the server outlives a launcher run from the
    # command line, and the test's terminal signals do not reach it.
    with open(os.path.join(dir, output), "wb") as out:
        return subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                                start_new_session=True)


def _kill(process):
    # The whole session: timeout(1) does not pass SIGKILL on to Dovecot.
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait(10)


def _up(dir, process, port, token):
    _write(os.path.join(dir, "token"), token)
    _write(os.path.join(dir, "pid"), str(process.pid))
    _write(os.path.join(dir, "port"), str(port))
    return port


def start_smtp(dir, user=USER, password=PASSWORD, only=None, lifetime=300, cert=None, key=None):
    os.makedirs(os.path.join(dir, "mail"), exist_ok=True)
    token = secrets.token_hex(8)
    bound = os.path.join(dir, "bound")
    args = [PYTHON, os.path.join(HERE, "smtp_server.py"), "--folder", os.path.join(dir, "mail"),
            "--port-file", bound, "--user", user, "--password", password,
            "--lifetime", str(lifetime), "--token", token]
    if only:
        args += ["--only", only]
    if cert:
        # STARTTLS required (RFC 3207); the greeting still comes in clear.
        args += ["--tls", "starttls", "--tls-cert", os.path.abspath(cert), "--tls-key",
                 os.path.abspath(key)]
    process = _spawn(dir, args, "server.log")
    try:
        port = _await_greeting(process, lambda: int(_read(bound) or 0), token)
    except StartError:
        _kill(process)
        raise
    if port is None:
        raise StartError("smtp_server.py exited:\n" + _read(os.path.join(dir, "server.log")))
    return _up(dir, process, port, token)


def _owner():
    user = pwd.getpwnam(MAILBOX_OWNER)
    try:
        group = grp.getgrgid(user.pw_gid).gr_name
    except KeyError:
        group = "nogroup"
    return user.pw_uid, user.pw_gid, group


def _ephemeral_floor():
    try:
        return int(_read("/proc/sys/net/ipv4/ip_local_port_range").split()[0])
    except (IndexError, ValueError):
        return 32768


def deliver(dir, path):
    """Puts one message into the mailbox; the server sees it at the next login."""
    maildir = os.path.join(dir, "home", USER, "Maildir")
    uid, gid, _ = _owner()
    # Named like Dovecot's own deliveries, so that the mailbox keeps the
    # order of delivery.
    now = time.time_ns()
    name = "%d.M%06dP%dQ%d.vok32test" % (now // 10**9, now // 1000 % 10**6, os.getpid(),
                                         len(os.listdir(os.path.join(maildir, "new"))))
    tmp = os.path.join(maildir, "tmp", name)
    shutil.copyfile(path, tmp)
    os.chown(tmp, uid, gid)
    os.rename(tmp, os.path.join(maildir, "new", name))


def start_pop3(dir, lifetime=300, cert=None, key=None):
    if not shutil.which("dovecot"):
        raise StartError("dovecot is not installed (apt-get install dovecot-pop3d)")
    uid, gid, group = _owner()
    for sub in ("run", "state", "home/%s/Maildir/cur" % USER, "home/%s/Maildir/new" % USER,
                "home/%s/Maildir/tmp" % USER):
        os.makedirs(os.path.join(dir, sub), exist_ok=True)
    os.chmod(dir, 0o755)
    os.chmod(os.path.join(dir, "home"), 0o755)
    os.chown(os.path.join(dir, "home"), uid, gid)
    for top, dirs, _ in os.walk(os.path.join(dir, "home")):
        for d in dirs:
            os.chown(os.path.join(top, d), uid, gid)
    _write(os.path.join(dir, "passwd"), "%s:{PLAIN}%s::::::\n" % (USER, PASSWORD))
    for path in sorted(glob.glob(os.path.join(dir, "mail", "*"))):
        if os.path.isfile(path):
            deliver(dir, path)

    extra = os.path.join(dir, "extra.conf")
    if cert:
        _write(extra, DOVECOT_TLS.format(cert=os.path.abspath(cert), key=os.path.abspath(key)))
    elif os.path.exists(extra):
        os.remove(extra)

    floor = min(_ephemeral_floor(), 65536)
    log = os.path.join(dir, "dovecot.log")
    for _ in range(DOVECOT_TRIES):
        token = secrets.token_hex(8)
        port = random.randrange(10000, floor) if floor > 11000 else random.randrange(1025, 65536)
        _write(os.path.join(dir, "dovecot.conf"),
               DOVECOT_CONF.format(dir=dir, token=token, port=port, uid=MAILBOX_OWNER, gid=group))
        open(log, "w").close()
        # timeout(1) ends a server whose test died without stopping it.
        process = _spawn(dir, ["timeout", str(lifetime), "dovecot", "-F", "-c",
                               os.path.join(dir, "dovecot.conf")], "dovecot.out")
        try:
            got = _await_greeting(process, lambda: port, token)
        except StartError:
            _kill(process)
            raise
        if got is not None:
            return _up(dir, process, port, token)
        said = _read(os.path.join(dir, "dovecot.out")) + _read(log)
        if "Address already in use" not in said:
            raise StartError("dovecot exited at start:\n" + said)
    raise StartError("dovecot found no free port in %d tries" % DOVECOT_TRIES)


def stop(dir):
    """Stops the server whose process id is in DIR/pid (bounded)."""
    try:
        pid = int(_read(os.path.join(dir, "pid")))
    except ValueError:
        return
    # SIGTERM to the server (timeout(1) passes it on to Dovecot), and should
    # that not end it, SIGKILL to its whole session.
    for kill, sig, limit in ((os.kill, signal.SIGTERM, 10.0), (os.killpg, signal.SIGKILL, 5.0)):
        try:
            kill(pid, sig)
        except ProcessLookupError:
            return
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            try:
                if os.waitpid(pid, os.WNOHANG)[0] == pid:
                    return  # our own child: reaped
            except ChildProcessError:
                pass  # started by another process
            try:
                os.kill(pid, 0)
            except ProcessLookupError:
                return
            time.sleep(0.05)


class Server:
    """A server in a folder of its own (a new temporary one unless given);
    as a context manager, stopped at the end and its temporary folder removed."""

    def __init__(self, kind, dir=None, **options):
        self.owned = dir is None
        self.dir = dir or tempfile.mkdtemp(prefix="vok_%s_" % kind)
        try:
            self.port = (start_smtp if kind == "smtp" else start_pop3)(self.dir, **options)
        except BaseException:
            self.close()
            raise
        self.token = _read(os.path.join(self.dir, "token"))

    def message(self, n, limit=10.0):
        """smtp: the n-th message filed (from 1), once it is complete."""
        path = os.path.join(self.dir, "mail", str(n))
        deadline = time.monotonic() + limit
        while not os.path.exists(path + ".json") and time.monotonic() < deadline:
            time.sleep(0.05)
        return path + ".eml"

    def deliver(self, path):
        deliver(self.dir, path)

    def close(self):
        stop(self.dir)
        if self.owned:
            shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("command", choices=("smtp", "pop3", "deliver", "stop"))
    parser.add_argument("dir")
    parser.add_argument("file", nargs="?")
    parser.add_argument("--user", default=USER)
    parser.add_argument("--password", default=PASSWORD)
    parser.add_argument("--only")
    parser.add_argument("--lifetime", type=int, default=300)
    parser.add_argument("--tls-cert", help="server certificate (PEM): TLS required")
    parser.add_argument("--tls-key", help="its private key (PEM)")
    args = parser.parse_args()
    dir = os.path.abspath(args.dir)
    try:
        if args.command == "smtp":
            print(start_smtp(dir, args.user, args.password, args.only, args.lifetime,
                             args.tls_cert, args.tls_key))
        elif args.command == "pop3":
            print(start_pop3(dir, args.lifetime, args.tls_cert, args.tls_key))
        elif args.command == "deliver":
            deliver(dir, args.file)
        else:
            stop(dir)
    except (StartError, OSError) as e:
        sys.exit("mailservers.py: %s" % e)


if __name__ == "__main__":
    main()
