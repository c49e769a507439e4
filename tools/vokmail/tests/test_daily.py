# SPDX-License-Identifier: MIT
"""vokmail in scripts: exit statuses against scripted and real servers,
stdin bodies, accounts, sendmail's command line, fetch --new into a Maildir.
Run by CTest:

    python3 test_daily.py VOKMAIL SERVERS_DIR
"""
import email
import email.policy
import glob
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "tests", "servers"))
import mailservers  # noqa: E402

VOKMAIL = None
RUN_LIMIT = 60


def run(*args, home, env=None, stdin=b"", program=None):
    """Runs vokmail with HOME and the XDG folders inside home."""
    full = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "cfg"),
                XDG_STATE_HOME=os.path.join(home, "state"))
    full.pop("VOKMAIL_PASSWORD", None)
    full.update(env or {})
    p = subprocess.run([program or VOKMAIL, *args], input=stdin, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, env=full, timeout=RUN_LIMIT)
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


class Scripted:
    """A loopback SMTP or POP3 server that answers each command by its verb
    from a table ("greet" is the greeting, "." the end of DATA) and records
    what the client said."""

    DEFAULTS = {
        "smtp": {"greet": "220 scripted", "EHLO": "250-scripted\r\n250 AUTH PLAIN",
                 "HELO": "250 hi", "AUTH": "235 ok", "MAIL": "250 ok", "RCPT": "250 ok",
                 "DATA": "354 go", ".": "250 queued", "VRFY": "250 <a@b>", "QUIT": "221 bye",
                 "RSET": "250 ok"},
        "pop3": {"greet": "+OK scripted", "USER": "+OK", "PASS": "+OK", "STAT": "+OK 0 0",
                 "QUIT": "+OK bye"},
    }

    def __init__(self, kind, replies):
        self.replies = dict(self.DEFAULTS[kind], **replies)
        self.lines = []
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(2)
        self.sock.settimeout(0.2)
        self.port = self.sock.getsockname()[1]
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        # --tls auto connects a second time when a loopback server has no
        # STARTTLS.
        sessions = 0
        deadline = time.monotonic() + RUN_LIMIT
        while sessions < 4 and not self.stop.is_set() and time.monotonic() < deadline:
            try:
                conn, _ = self.sock.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            sessions += 1
            try:
                self._session(conn)
            except OSError:
                pass

    def _session(self, conn):
        conn.settimeout(RUN_LIMIT)
        with conn, conn.makefile("rb") as reader:
            conn.sendall(self.replies["greet"].encode() + b"\r\n")
            in_data = False
            for _ in range(10000):
                line = reader.readline()
                if not line:
                    return
                text = line.decode("latin-1").rstrip("\r\n")
                self.lines.append(text)
                if in_data:
                    if text != ".":
                        continue
                    in_data, verb = False, "."
                else:
                    verb = text.split(" ")[0].upper()
                reply = self.replies.get(verb, "502 unknown")
                conn.sendall(reply.encode() + b"\r\n")
                in_data = verb == "DATA" and reply.startswith("354")
                if verb == "QUIT" or reply.startswith("421"):
                    return

    def close(self):
        self.stop.set()
        self.thread.join(5)
        self.sock.close()


class Daily(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.home = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def vokmail(self, *args, **kw):
        return run(*args, home=self.home, **kw)

    def file(self, name, data, mode=0o600):
        path = os.path.join(self.home, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.chmod(path, mode)
        return path

    def test_exit_statuses_against_scripted_servers(self):
        send = ("send", "--from", "a@b.c", "--to", "d@e.f", "--body", "x")
        pop = ("list", "--user", "u", "--password", "p")
        closed = socket.socket()
        closed.bind(("127.0.0.1", 0))  # bound, never listening: refused
        # kind, replies, arguments (server appended), status, part of stderr or stdout
        cases = [
            ("smtp", {}, send, 0, ""),
            ("smtp", {"RCPT": "550 5.1.1 no such user"}, send, 65, "550 5.1.1"),
            ("smtp", {".": "554 5.6.0 refused"}, send, 65, "554"),
            ("smtp", {"RCPT": "450 4.2.0 busy"}, send, 75, "450"),
            ("smtp", {"greet": "421 closing"}, send, 75, "421"),
            ("smtp", {"greet": "554 go away"}, send, 69, "554"),
            ("smtp", {"AUTH": "535 5.7.8 bad"}, send + ("--user", "u", "--password", "p"), 77,
             "535"),
            ("smtp", {}, send + ("--tls", "starttls"), 69, "-83"),
            ("smtp", {"VRFY": "550 unknown"}, ("verify", "x@y.z"), 67, "x@y.z: unknown: 550"),
            ("smtp", {"VRFY": "252 2.1.5 will try"}, ("verify", "x@y.z"), 0,
             "x@y.z: cannot verify (server will accept): 252"),
            ("smtp", {"VRFY": "251 forwarded"}, ("verify", "x@y.z"), 0, "x@y.z: known: 251"),
            ("pop3", {"PASS": "-ERR bad login"}, pop, 77, "-ERR bad login"),
            ("pop3", {"PASS": "-ERR [IN-USE] locked"}, pop, 75, "[IN-USE]"),
            (None, {}, send, 69, "-10061"),
            (None, {}, ("send", "--from", "a@b.c", "--to", "d@e.f", "--body-file",
                        os.path.join(self.home, "missing")), 66, "missing"),
            (None, {}, ("send", "--from", "a@b.c"), 64, "--to"),
        ]
        for kind, replies, args, status, part in cases:
            with self.subTest(args=args, replies=replies):
                server = Scripted(kind, replies) if kind else None
                port = server.port if server else closed.getsockname()[1]
                try:
                    got, out, err = self.vokmail(*args, "--server", "127.0.0.1:%d" % port)
                finally:
                    if server:
                        server.close()
                self.assertEqual(got, status, err)
                self.assertIn(part, out + err)
        closed.close()
        # An unknown host, and an output folder that cannot be made.
        got, _, err = self.vokmail(*send, "--server", "no-such-host.invalid")
        self.assertEqual(got, 68, err)
        blocker = self.file("blocker", b"")
        server = Scripted("pop3", {"STAT": "+OK 1 10", "LIST": "+OK 1 10", "UIDL": "+OK 1 a"})
        got, _, err = self.vokmail("fetch", "1", "--server", "127.0.0.1:%d" % server.port,
                                   "--user", "u", "--password", "p", "--dir", blocker + "/in")
        server.close()
        self.assertEqual(got, 73, err)

    def test_dry_run(self):
        base = ("send", "--dry-run", "--from", "a@b.c")
        multipart = b"Content-Type: multipart/mixed; boundary=x\n\n--x\n\nhi\n--x--\n"
        # arguments, stdin, status, parts of stdout (or stderr when refused)
        cases = [
            (("--to", "d@e.f", "--body", "-"), b"from stdin\n", 0, ["RCPT TO:<d@e.f>", "\nfrom stdin\n"]),
            (("--to", "d@e.f", "--body", "@/dev/stdin"), b"dev stdin", 0, ["\ndev stdin\n"]),
            (("--bcc", "h@e.f", "--subject", "s"), b"", 0,
             ["RCPT TO:<h@e.f>", "To: undisclosed-recipients:;"]),
            (("--cc", "c@e.f, g@e.f"), b"", 0, ["RCPT TO:<g@e.f>", "\nCc: <c@e.f>, <g@e.f>\n"]),
            (("--to", "d@e.f", "--header", "X-A: 1\r\nBcc: x@y.z"), b"", 64, ["no line breaks"]),
            (("--to", "d@e.f", "--inline", "a.gif"), b"", 64, ["--inline goes with --html"]),
            (("--raw", "-", "--to", "d@e.f"), multipart, 0, ["RCPT TO:<d@e.f>", "Content-Type: multipart/mixed"]),
            (("--raw", "-", "-t"), b"To: r@e.f\nSubject: s\n\nhi\n", 0,
             ["RCPT TO:<r@e.f>", "Subject: s\n"]),
        ]
        for args, stdin, status, parts in cases:
            with self.subTest(args=args):
                got, out, err = self.vokmail(*base, *args, stdin=stdin)
                self.assertEqual(got, status, err)
                for part in parts:
                    # The envelope goes to stderr, the message alone to stdout.
                    envelope = part.startswith(("RCPT TO:", "MAIL FROM:"))
                    self.assertIn(part, err if status or envelope else out)
                if status == 0:
                    msg = email.message_from_string(out, policy=email.policy.default)
                    self.assertEqual(msg.defects, [])
                    self.assertTrue(msg["From"] or msg["Subject"] or msg["Content-Type"], out)

    def test_envelope_helo_headers_and_verbose(self):
        server = Scripted("smtp", {})
        got, out, err = self.vokmail(
            "send", "--server", "127.0.0.1:%d" % server.port, "--from", "Ann <ann@a.example>",
            "--envelope-from", "bounce@b.example", "--helo", "relay.example", "--to", "d@e.f",
            "--header", "X-Ticket: 42", "--priority", "high", "--body", "hi", "-v",
            "--user", "u", "--password-command", "echo s3cret; echo ignored")
        server.close()
        self.assertEqual((got, out), (0, ""), err)
        said = "\n".join(server.lines)
        for part in ("EHLO relay.example", "MAIL FROM:<bounce@b.example>", "\nFrom: Ann <ann@a.example>",
                     "\nX-Ticket: 42", "\nX-Priority: 1 (Highest)"):
            self.assertIn(part, said)
        self.assertIn("AUTH PLAIN", err)  # -v shows the dialogue on stderr ...
        self.assertNotIn("s3cret", err)   # ... the password masked
        # EHLO, and no AUTH without a user.
        server = Scripted("smtp", {})
        got, _, err = self.vokmail("send", "--server", "127.0.0.1:%d" % server.port, "--esmtp",
                                   "--from", "a@b.c", "--to", "d@e.f", "--body", "hi")
        server.close()
        self.assertEqual(got, 0, err)
        self.assertEqual([l.split()[0] for l in server.lines[:3]], ["EHLO", "EHLO", "MAIL"])

    def test_accounts_refusals(self):
        cfg = "[account default]\nserver = 127.0.0.1:1\nuser = u\npassword = pw\n"
        path = self.file("cfg/vokmail/config", cfg.encode(), 0o644)
        got, _, err = self.vokmail("list")
        self.assertEqual(got, 78, err)
        self.assertIn("may be read by others", err)
        os.chmod(path, 0o600)
        got, _, err = self.vokmail("list", "--account", "work")
        self.assertEqual(got, 78, err)
        got, _, err = self.vokmail("list")
        self.assertEqual(got, 69, err)  # the account's server, a closed port

    def test_send_and_fetch_with_real_servers(self):
        url = "https://example.com/" + "segment/" * 30 + "end?x=1"
        with mailservers.Server("smtp") as smtp, mailservers.Server("pop3") as pop3:
            netrc = self.file(".netrc", ("machine 127.0.0.1 login %s password %s\n"
                                         % (mailservers.USER, mailservers.PASSWORD)).encode())
            self.file("cfg/vokmail/config", (
                "[account default]\nserver = 127.0.0.1:%d\nuser = %s\nfrom = Ann <ann@example.com>\n"
                "password_command = echo %s\n\n[account pop]\nserver = 127.0.0.1:%d\nuser = %s\n"
                % (smtp.port, mailservers.USER, mailservers.PASSWORD, pop3.port,
                   mailservers.USER)).encode())
            # The body from stdin, Bcc only, through the default account.
            got, out, err = self.vokmail("send", "--bcc", "hidden@example.com", "--subject",
                                         "s1 Grüße – ok",
                                         "--body", "-", "--progress",
                                         stdin=("see\n" + url + "\n").encode())
            self.assertEqual((got, out), (0, ""), err)
            self.assertIn("Message accepted for 1 recipient", err)
            msg = email.message_from_bytes(open(smtp.message(1), "rb").read(),
                                           policy=email.policy.default)
            self.assertEqual(msg["To"], "undisclosed-recipients:;")
            self.assertIsNone(msg["Bcc"])
            text = [p for p in msg.walk() if p.get_content_type() == "text/plain"][0]
            self.assertEqual(text.get_content().splitlines(), ["see", url])
            # sendmail's command line through a link of that name: -t reads
            # the recipients, -f sets the envelope sender.
            link = os.path.join(self.home, "sendmail")
            os.symlink(VOKMAIL, link)
            raw = (b"From: Cron <cron@example.com>\nTo: bob@example.com\nBcc: hid@example.com\n"
                   b"Subject: nightly\nX-Job: backup\n\nall done\n.\nstill here\n")
            got, out, err = run("-t", "-i", "-f", "root@example.com", home=self.home,
                                stdin=raw, program=link)
            self.assertEqual((got, out), (0, ""), err)
            meta = json.load(open(smtp.message(2)[:-4] + ".json"))
            self.assertEqual(meta["mail_from"], "root@example.com")
            self.assertEqual(sorted(meta["rcpt_tos"]), ["bob@example.com", "hid@example.com"])
            msg = email.message_from_bytes(open(smtp.message(2), "rb").read(),
                                           policy=email.policy.default)
            self.assertEqual((msg["From"], msg["X-Job"], msg["Bcc"]),
                             ("Cron <cron@example.com>", "backup", None))
            self.assertIn("all done\n.\nstill here", msg.get_content().replace("\r\n", "\n"))

            for n in (1, 2):
                pop3.deliver(smtp.message(n))
            # The pop account takes its password from ~/.netrc.
            maildir = os.path.join(self.home, "Mail")
            fetch = ("fetch", "--account", "pop", "--new", "--maildir", maildir, "--json")
            got, out, err = self.vokmail(*fetch)
            self.assertEqual(got, 0, err)
            fetched = [json.loads(line) for line in out.splitlines()]
            self.assertEqual([m["number"] for m in fetched], [1, 2])
            delivered = sorted(glob.glob(os.path.join(maildir, "new", "*")))
            self.assertEqual(sorted(m["maildir"] for m in fetched), delivered)
            self.assertEqual(os.listdir(os.path.join(maildir, "tmp")), [])
            self.assertIn(b"Subject: nightly", b"".join(open(p, "rb").read() for p in delivered))
            # Nothing new the second time; a new message only after delivery.
            got, out, err = self.vokmail(*fetch)
            self.assertEqual((got, out), (0, ""), err)
            pop3.deliver(smtp.message(1))
            got, out, err = self.vokmail(*fetch, "--delete")
            self.assertEqual(got, 0, err)
            self.assertEqual([json.loads(line)["number"] for line in out.splitlines()], [3])
            # delete by unique id, without downloading.
            got, out, err = self.vokmail("list", "--account", "pop", "--json")
            listed = json.loads(out.encode("latin-1").decode("utf-8").splitlines()[0])
            self.assertEqual(listed["subject"], "s1 Grüße – ok")  # encoded words decoded
            uid = json.loads(out.splitlines()[0])["uid"]
            got, out, err = self.vokmail("delete", "--account", "pop", "--uid", uid)
            self.assertEqual(got, 0, err)
            got, out, err = self.vokmail("list", "--account", "pop", "--json")
            self.assertEqual([json.loads(line)["subject"] for line in out.splitlines()], ["nightly"])
            os.chmod(netrc, 0o644)
            got, _, err = self.vokmail("list", "--account", "pop")
            self.assertEqual(got, 78, err)


if __name__ == "__main__":
    sys.argv.pop(2)
    VOKMAIL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
