# SPDX-License-Identifier: MIT
"""Command-line tests of vokmail: exit statuses, messages, offline checks and
failures against loopback sockets. Run by CTest:

    python3 test_cli.py VOKMAIL
"""
import atexit
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

VOKMAIL = None
RUN_LIMIT = 60  # seconds any one vokmail run may take
_EMPTY = tempfile.mkdtemp(prefix="vokmail-home-")  # no configuration, no .netrc
atexit.register(shutil.rmtree, _EMPTY, True)


def run(*args, env=None, stdin=subprocess.DEVNULL):
    """Runs vokmail with args; returns (status, stdout, stderr)."""
    full_env = dict(os.environ, XDG_CONFIG_HOME=_EMPTY, HOME=_EMPTY)
    full_env.pop("VOKMAIL_PASSWORD", None)
    full_env.update(env or {})
    p = subprocess.run([VOKMAIL, *args], stdin=stdin, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, env=full_env, timeout=RUN_LIMIT)
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


_HELD = []


def free_port():
    """A loopback port that refuses connections: bound and held by this
    process, so that no other server can take it, but never listening."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    _HELD.append(s)
    return s.getsockname()[1]


class SilentServer:
    """Accepts connections on loopback and never says a word."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(4)
        self.sock.settimeout(0.2)
        self.port = self.sock.getsockname()[1]
        self.clients = []
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    def _accept(self):
        deadline = time.monotonic() + RUN_LIMIT
        while not self.stop.is_set() and time.monotonic() < deadline:
            try:
                conn, _ = self.sock.accept()
                self.clients.append(conn)
            except OSError:
                pass

    def close(self):
        self.stop.set()
        self.thread.join(5)
        for c in self.clients:
            c.close()
        self.sock.close()


class Usage(unittest.TestCase):
    def test_help_and_version(self):
        status, out, _ = run("--help")
        self.assertEqual(status, 0)
        self.assertIn("Usage: vokmail COMMAND", out)
        for command in ("send", "list", "top", "fetch", "delete", "verify", "sendmail"):
            status, out, _ = run(command, "--help")
            self.assertEqual(status, 0, command)
            self.assertIn("Usage: vokmail " + command, out)
        status, out, _ = run("help", "fetch")
        self.assertEqual((status, out.splitlines()[0].split()[:3]), (0, ["Usage:", "vokmail", "fetch"]))
        self.assertEqual(run("--version")[:2], (0, "vokmail 3.4.2 build 11\n"))

    def test_command_line_errors_exit_64(self):
        # Every server named is a closed loopback port: a run that gets as far
        # as the network fails with status 69, not 64.
        h = "127.0.0.1:%d" % free_port()
        cases = [
            (),
            ("frobnicate",),
            ("send", "--server", h, "--from", "a@b"),                         # no --to
            ("send", "--from", "a@b", "--to", "c@d"),                           # no --server
            ("send", "--server", h, "--to", "c@d"),                           # no --from
            ("send", "--server", h, "--from", "a@b", "--to", "c@d", "--bogus"),
            ("send", "--server", h, "--from", "a@b", "--to", "c@d", "--subject"),
            ("send", "--server", h, "--from", "a@b", "--to", "c@d", "--subject", "x",
             "--subject", "y"),
            ("send", "--server", h, "--from", "a@b", "--to", "c@d", "--body", "x",
             "--html", "f.html"),
            ("send", "--server", h, "--from", "a@b", "--to", "c@d", "--alt-text", "x"),
            ("send", "--server", h, "--from", "a@b", "--to", "c@d", "--port", "70000"),
            ("send", "--server", "127.0.0.1:port", "--from", "a@b", "--to", "c@d"),
            ("send", "--server", h, "--from", "a@b, x@y", "--to", "c@d"),
            ("send", "--server", h, "--from", "a@b", "--to", "\"Doe, J\" <j@d>"),
            ("send", "--server", h, "--from", "a@b", "--to", "c@d", "--user", "u",
             "--no-esmtp"),
            ("send", "--server", h, "--from", "a@b", "--to", "c@d", "--attach", "|shown"),
            ("list", "--server", h),                                           # no --user
            ("list", "--server", h, "--user", "u", "extra"),
            ("top", "--server", h, "--user", "u", "--password", "p"),          # no number
            ("top", "0", "--server", h, "--user", "u", "--password", "p"),
            ("top", "-1", "--server", h, "--user", "u", "--password", "p"),
            ("top", "1", "--server", h, "--user", "u", "--password", "p", "--lines", "x"),
            ("fetch", "1", "--server", h, "--user", "u", "--password", "p"),   # no --dir
            ("fetch", "all", "--server", h, "--user", "u", "--password", "p", "--dir", "d",
             "--name", "x.txt"),
            ("fetch", "1", "--server", h, "--user", "u", "--password", "p", "--dir", "d" * 130),
            ("verify",),
            ("verify", "a@b", "--port", "25"),                                   # --port without --server
            ("send", "--server", h, "--from", "a@b", "--to", "c@d", "--timeout", "0"),
        ]
        for args in cases:
            with self.subTest(args=args):
                status, out, err = run(*args)
                self.assertEqual(status, 64, err)
                self.assertTrue(err.startswith("vokmail: ") or err.startswith("Usage:"), err)

    def test_missing_password_without_terminal_is_a_usage_error(self):
        # No --password, no VOKMAIL_PASSWORD, and stdin is no terminal: no prompt, no hang.
        status, _, err = run("list", "--server", "127.0.0.1", "--user", "u")
        self.assertEqual(status, 64)
        self.assertIn("VOKMAIL_PASSWORD", err)

    def test_password_prompt_does_not_echo(self):
        master, slave = os.openpty()
        try:
            env = {k: v for k, v in os.environ.items() if k != "VOKMAIL_PASSWORD"}
            p = subprocess.Popen([VOKMAIL, "list", "--server", "127.0.0.1:%d" % free_port(),
                                  "--user", "ann"], stdin=slave, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, env=env)
            # The prompt goes to stderr; the answer is typed on the terminal.
            prompt = b""
            deadline = time.monotonic() + 20
            while b": " not in prompt and time.monotonic() < deadline:
                ready, _, _ = select.select([p.stderr], [], [], 0.5)
                if ready:
                    prompt += os.read(p.stderr.fileno(), 200)
            self.assertEqual(prompt, b"Password for ann at 127.0.0.1: ")
            os.write(master, b"hunter2\n")
            try:
                _, err = p.communicate(timeout=RUN_LIMIT)
            finally:
                p.kill()
            echoed = b""
            while select.select([master], [], [], 0.2)[0]:
                chunk = os.read(master, 200)
                if not chunk:
                    break
                echoed += chunk
        finally:
            os.close(slave)
            os.close(master)
        self.assertNotIn(b"hunter2", echoed)
        # It read the password and went on to the (refused) connection.
        self.assertEqual(p.returncode, 69)
        self.assertIn(b"-36 Error attempting to connect.", err)

    def test_unreadable_input_files_fail_before_connecting(self):
        port = free_port()
        with tempfile.TemporaryDirectory() as d:
            for option in ("--attach", "--html"):
                with self.subTest(option=option):
                    status, _, err = run("send", "--server", "127.0.0.1", "--port", str(port),
                                         "--from", "a@b", "--to", "c@d", option,
                                         os.path.join(d, "missing"))
                    self.assertEqual(status, 66)
                    self.assertIn("missing' is not a readable file", err)
                    self.assertNotIn("connect", err)


class VerifyOffline(unittest.TestCase):
    def test_form_checks(self):
        status, out, _ = run("verify", "joe@example.com", "Joe Bloggs <joe@example.com>", "<a@b>")
        self.assertEqual(status, 0)
        self.assertEqual(out.count("valid    "), 3)

        status, out, _ = run("verify", "ann@example.com", "joe.example.com", "jo(e@example.com",
                             "joe@host@example.com", "<>")
        self.assertEqual(status, 65)
        lines = out.splitlines()
        self.assertEqual(lines[0], "valid    ann@example.com")
        self.assertEqual(lines[1], "invalid  joe.example.com: Missing '@' character in email address. (-39)")
        self.assertEqual(lines[2], "invalid  jo(e@example.com: Bad character in email address. (-32)")
        self.assertEqual(lines[3], "invalid  joe@host@example.com: Too many '@' symbols in email address. (-53)")
        self.assertEqual(lines[4], "invalid  <>: Unexpected NULL pointer. (-47)")

    def test_a_comma_list_is_checked_item_by_item(self):
        status, out, _ = run("verify", "a@b, c")
        self.assertEqual(status, 65)
        self.assertEqual(out.splitlines(), ["valid    a@b",
                                            "invalid  c: Missing '@' character in email address. (-39)"])


class NetworkFailures(unittest.TestCase):
    def test_refused_connection_reports_both_codes(self):
        port = free_port()
        for args in (("send", "--server", "127.0.0.1", "--port", str(port), "--from", "a@b",
                      "--to", "c@d", "--body", "hi"),
                     ("list", "--server", "127.0.0.1:%d" % port, "--user", "u"),
                     ("verify", "joe", "--server", "127.0.0.1:%d" % port)):
            with self.subTest(command=args[0]):
                status, _, err = run(*args, env={"VOKMAIL_PASSWORD": "pw"})
                self.assertEqual(status, 69, err)
                self.assertIn("failed: -36 Error attempting to connect.", err)
                self.assertIn("socket error -10061: Connection refused by remote host.", err)

    def test_wall_clock_limit_stops_a_silent_server(self):
        server = SilentServer()
        try:
            started = time.monotonic()
            status, _, err = run("send", "--server", "127.0.0.1", "--port", str(server.port),
                                 "--from", "a@b", "--to", "c@d", "--timeout", "2")
            took = time.monotonic() - started
        finally:
            server.close()
        self.assertEqual(status, 75)
        self.assertIn("gave up after 2 s", err)
        self.assertLess(took, 15)

    def test_log_file_records_the_session(self):
        port = free_port()
        with tempfile.TemporaryDirectory() as d:
            log = os.path.join(d, "trace.log")
            status, _, _ = run("send", "--server", "127.0.0.1", "--port", str(port),
                               "--from", "a@b", "--to", "c@d", "--log", log)
            self.assertEqual(status, 69)
            with open(log, "rb") as f:
                text = f.read()
            self.assertIn(b"*** vokSmtpConnect\r\n", text)
            self.assertIn(b"VOK Win32 Version 3.4.2 Build 11\r\n", text)
            self.assertIn(b"Connection refused by remote host.", text)
            status, _, err = run("send", "--server", "127.0.0.1", "--from", "a@b", "--to", "c@d",
                                 "--log", os.path.join(d, "no", "such", "dir", "x.log"))
            self.assertEqual(status, 73)
            self.assertIn("cannot create the log file", err)


if __name__ == "__main__":
    VOKMAIL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
