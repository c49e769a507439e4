# SPDX-License-Identifier: MIT
"""vokmail's --tls, --ca-file, --insecure, --auth, --oauth2-token-env and
[IPv6]:PORT against the suite's scripted TLS servers
(tests/servers/tls_script.py). Run by CTest:

    python3 test_tls.py VOKMAIL SERVERS
"""
import atexit
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

VOKMAIL = None
SERVERS = None
RUN_LIMIT = 60
EMPTY = tempfile.mkdtemp(prefix="vokmail-home-")  # no configuration, no .netrc
atexit.register(shutil.rmtree, EMPTY, True)


class Script:
    """One scripted server for one connection."""

    def __init__(self, work, certs, *args):
        self.dir = tempfile.mkdtemp(dir=work)
        self.record = os.path.join(self.dir, "record")
        port_file = os.path.join(self.dir, "port")
        self.proc = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(SERVERS, "tls_script.py"), "--certs", certs,
             "--port-file", port_file, "--record", self.record, "--lifetime", "40", *args],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 15
        while not os.path.exists(port_file) and time.monotonic() < deadline:
            time.sleep(0.05)
        with open(port_file) as f:
            self.port = int(f.read())

    def transcript(self):
        self.proc.wait(timeout=45)
        with open(self.record) as f:
            return f.read()


def run(*args, env=None):
    full_env = dict(os.environ, XDG_CONFIG_HOME=EMPTY, HOME=EMPTY)
    full_env.update(env or {})
    p = subprocess.run([VOKMAIL, *args, "--quiet"], stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=full_env,
                       timeout=RUN_LIMIT)
    return p.returncode, p.stderr.decode("latin-1")


class Tls(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp()
        cls.certs = os.path.join(cls.work, "certs")
        subprocess.run([os.path.join(SERVERS, "tls_certs.sh"), cls.certs], check=True)
        cls.ca = os.path.join(cls.certs, "ca.pem")

    def send(self, server, *args, env=None):
        return run("send", "--server", server, "--from", "ann@example.org", "--to",
                   "bob@example.org", "--subject", "hi", "--body", "x", *args, env=env)

    def test_send(self):
        # name, server arguments, host, vokmail arguments, status, stderr part, transcript part
        cases = [
            ("starttls", ("--mode", "starttls"), "localhost",
             ("--tls", "starttls", "--ca-file", self.ca), 0, "", "tls: MAIL"),
            ("auto, loopback without STARTTLS",
             ("--mode", "starttls", "--twist", "no-starttls", "--connections", "2"),
             "127.0.0.1", (), 0, "", "plain: MAIL"),  # --quiet: not even the note
            ("implicit, insecure", ("--mode", "implicit", "--cert", "selfsigned"), "localhost",
             ("--tls", "implicit", "--insecure"), 0, "warning: --insecure", "tls: MAIL"),
            ("xoauth2", ("--mode", "starttls"), "localhost",
             ("--ca-file", self.ca, "--user", "ann", "--oauth2-token-env", "TOKEN"), 0, "",
             "tls: AUTH XOAUTH2"),
            ("wrong name", ("--mode", "implicit", "--cert", "wrongname"), "localhost",
             ("--tls", "implicit", "--ca-file", self.ca), 77, "-82 Server name does not match",
             "end:"),
            ("ipv6", ("--mode", "implicit", "--ipv6"), "[::1]",
             ("--tls", "implicit", "--ca-file", self.ca), 0, "", "tls: MAIL"),
        ]
        for name, server_args, host, args, status, err_part, record_part in cases:
            with self.subTest(name):
                srv = Script(self.work, self.certs, "--scenario", "smtp", *server_args)
                got, err = self.send("%s:%d" % (host, srv.port), *args,
                                     env={"TOKEN": "good-token"})
                self.assertEqual(got, status, err)
                self.assertIn(err_part, err)
                transcript = srv.transcript()
                self.assertIn(record_part, transcript)
                self.assertNotIn("plain: AUTH", transcript)

    def test_fetch_over_stls(self):
        srv = Script(self.work, self.certs, "--scenario", "pop3", "--mode", "starttls")
        out = tempfile.mkdtemp(dir=self.work)
        status, err = run("fetch", "1", "--server", "localhost:%d" % srv.port, "--user", "ann",
                          "--password", "secret", "--ca-file", self.ca, "--dir", out)
        self.assertEqual(status, 0, err)
        with open(os.path.join(out, "message-1.txt"), "rb") as f:
            self.assertIn(b"line 0399 of the body", f.read())
        self.assertIn("tls: PASS secret", srv.transcript())

    def test_refused_combinations(self):
        for args in (("--tls", "bogus"), ("--tls", "none", "--ca-file", "x"),
                     ("--auth", "xoauth2", "--user", "ann"), ("--auth", "plain")):
            with self.subTest(args):
                status, err = self.send("127.0.0.1:1", *args)
                self.assertEqual(status, 64, err)


if __name__ == "__main__":
    SERVERS = os.path.abspath(sys.argv.pop(2))
    VOKMAIL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
