# SPDX-License-Identifier: MIT
"""vokmail against real servers on 127.0.0.1: a message with an HTML body, a
plain alternative and attachments goes out through aiosmtpd, is checked
there, is delivered into Dovecot's Maildir and read back over POP3 (list,
top, fetch with its attachments, delete). Run by CTest:

    python3 test_integration.py VOKMAIL SERVERS_DIR

VOK_SKIP_INTEGRATION=1 skips it; without the servers it fails.
"""
import atexit
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "tests", "servers"))
import mailservers  # noqa: E402

VOKMAIL = None
SERVERS = None
EMPTY = tempfile.mkdtemp(prefix="vokmail-home-")  # no configuration, no .netrc
atexit.register(shutil.rmtree, EMPTY, True)
RUN_LIMIT = 120


def run(*args, password=mailservers.PASSWORD):
    env = dict(os.environ, VOKMAIL_PASSWORD=password, XDG_CONFIG_HOME=EMPTY, HOME=EMPTY)
    p = subprocess.run([VOKMAIL, *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, env=env, timeout=RUN_LIMIT)
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


def human(size):
    return "%d B" % size if size < 1024 else "%.1f KiB" % (size / 1024) if size < 1 << 20 \
        else "%.1f MiB" % (size / (1 << 20))


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


def read(path):
    with open(path, "rb") as f:
        return f.read()


@unittest.skipIf(os.environ.get("VOK_SKIP_INTEGRATION") == "1", "VOK_SKIP_INTEGRATION=1")
class SendAndFetch(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        rng = random.Random(8)
        self.html = write(os.path.join(self.dir, "page.html"),
                          b"<html><body><h1>Quarterly figures</h1>\r\n"
                          b"<p>See the attached files.</p></body></html>\r\n")
        # Every byte value, and a size that is no multiple of 57.
        self.blob = write(os.path.join(self.dir, "data.bin"),
                          bytes(rng.randrange(256) for _ in range(150001)))
        self.csv = write(os.path.join(self.dir, "raw.csv"), b"year,value\r\n2023,17\r\n2024,19\r\n")

    def tearDown(self):
        self.tmp.cleanup()

    def send(self, smtp, *extra):
        return run("send", "--server", "127.0.0.1:%d" % smtp.port, "--user", mailservers.USER,
                   "--from", "Sender <sender@example.com>", "--to", "ann@example.com",
                   "--bcc", "hidden@example.com", "--subject", "Figures", *extra)

    def test_send_list_top_fetch_delete(self):
        with mailservers.Server("smtp") as smtp, mailservers.Server("pop3") as pop3:
            log = os.path.join(self.dir, "send.log")
            status, out, err = self.send(
                smtp, "--html", self.html, "--alt-text", "Quarterly figures\nSee the files.",
                "--attach", self.blob, "--attach", self.csv + "|figures.csv", "--log", log,
                "--progress")
            self.assertEqual((status, out), (0, ""), err)
            self.assertIn("Message accepted for 2 recipients", err)
            self.assertIn("2 attachments", err)
            # The library's log shows the session, the password included.
            self.assertIn(b"*** vokSendEmail\r\n", read(log))
            self.assertIn(smtp.token.encode(), read(log), "not greeted by our own server")

            eml = smtp.message(1)
            alt = write(os.path.join(self.dir, "alt.txt"), b"Quarterly figures\r\nSee the files.\r\n")
            check = subprocess.run(
                [mailservers.PYTHON, os.path.join(SERVERS, "check_message.py"), "--eml", eml,
                 "--meta", eml[:-4] + ".json", "--mechanism", "CRAM-MD5",
                 "--mail-from", "sender@example.com",
                 "--rcpt", "ann@example.com", "--rcpt", "hidden@example.com",
                 "--header", "Subject: Figures", "--hidden", "hidden@example.com",
                 "--type", "multipart/mixed",
                 "--structure", "multipart/mixed(multipart/alternative(text/plain,text/html),"
                 "application/octet-stream,text/csv)",
                 "--plain", alt, "--html", self.html, "--attachments", "data.bin/figures.csv",
                 "--part", "text/plain||||" + alt,
                 "--part", "text/html||||" + self.html,
                 "--part", "application/octet-stream|attachment|data.bin||" + self.blob,
                 "--part", "text/csv|attachment|figures.csv||" + self.csv],
                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
            self.assertEqual(check.returncode, 0, check.stdout.decode())

            pop3.deliver(eml)
            server = ["--server", "127.0.0.1:%d" % pop3.port, "--user", mailservers.USER]

            status, out, err = run("list", *server, "--log", log)
            self.assertEqual(status, 0, err)
            self.assertIn(pop3.token.encode(), read(log), "not greeted by our own server")
            lines = out.splitlines()
            self.assertEqual(lines[0].split(), ["#", "size", "unique", "id", "from", "date", "subject"])
            self.assertRegex(lines[1], r"^    1 +\d+\.\d KiB  [0-9a-fA-F]{16}  Sender <sender@example.com> .*  Figures$")
            self.assertRegex(lines[2], r"^1 message, \d+\.\d KiB$")
            status, out, err = run("list", *server, "--json")
            self.assertEqual(status, 0, err)
            entry = json.loads(out)
            size = entry["size"]
            self.assertEqual((entry["number"], entry["from"], entry["subject"]),
                             (1, "Sender <sender@example.com>", "Figures"))
            self.assertGreater(size, 150001)
            self.assertRegex(entry["uid"], r"^[0-9A-Fa-f]{16}$")
            self.assertRegex(entry["date"], r"\d{4} \d\d:\d\d:\d\d")

            status, out, err = run("top", "1", *server)
            self.assertEqual(status, 0, err)
            self.assertIn("Subject: Figures\n", out)
            self.assertIn("X-Mailer: ", out)
            self.assertNotIn("+OK", out)
            self.assertNotIn("Quarterly", out)  # no body lines asked for

            inbox = os.path.join(self.dir, "inbox")
            status, out, err = run("fetch", "1", *server, "--dir", inbox, "--progress")
            self.assertEqual((status, out), (0, ""), err)
            saved_blob = os.path.join(inbox, "data.bin")
            saved_csv = os.path.join(inbox, "figures.csv")
            self.assertIn("Message 1 (%s) saved to %s" % (human(size), os.path.join(inbox, "message-1.txt")), err)
            self.assertIn("  attachment saved to " + saved_blob, err)
            self.assertIn("  attachment saved to " + saved_csv, err)
            self.assertEqual(read(saved_blob), read(self.blob))
            self.assertEqual(read(saved_csv), read(self.csv))
            text = read(os.path.join(inbox, "message-1.txt"))
            self.assertIn(b"Quarterly figures", text)
            self.assertIn(b"[Attachment saved to", text)

            # Fetch with --delete: gone at the next login.
            status, out, err = run("fetch", "all", *server, "--dir", os.path.join(self.dir, "again"),
                                   "--delete", "--json")
            self.assertEqual(status, 0, err)
            self.assertEqual(json.loads(out)["deleted"], True)
            status, out, err = run("list", *server)
            self.assertEqual((status, out.splitlines()[-1]), (0, "0 messages, 0 B"))
            # A message number beyond the mailbox is refused at once.
            status, _, err = run("top", "1", *server)
            self.assertEqual(status, 69)
            self.assertIn("there is no message 1: the mailbox holds 0 messages", err)

    def test_plain_body_from_file_and_server_refusals(self):
        with mailservers.Server("smtp") as smtp, mailservers.Server("pop3") as pop3:
            body = write(os.path.join(self.dir, "body.txt"), b"Line one\r\n.\r\nLine three\r\n")
            # Commas in file names: the list goes to the library with
            # another separator.
            odd = write(os.path.join(self.dir, "a,b.dat"), b"\x00\x01,\xff" * 100)
            status, out, err = self.send(smtp, "--body", "@" + body, "--cc",
                                         "Bob <bob@example.com>, carl@example.com",
                                         "--attach", odd, "--attach", self.csv + "|x,y.csv",
                                         "--progress")
            self.assertEqual(status, 0, err)
            self.assertIn("for 4 recipients", err)
            message = read(smtp.message(1))
            self.assertIn(b"\r\nLine one\r\n.\r\nLine three\r\n", message)
            self.assertIn(b"CC: Bob <bob@example.com>,<carl@example.com>\r\n", message)
            self.assertIn(b'filename="a,b.dat"', message)
            self.assertIn(b'filename="x,y.csv"', message)

            # A wrong password: the server's own words follow the library's text.
            status, _, err = self.send(smtp, "--body", "x", "--password", "wrong")
            self.assertEqual(status, 77)
            self.assertIn("-49 SMTP returned error. 535", err)
            status, _, err = run("list", "--server", "127.0.0.1:%d" % pop3.port,
                                 "--user", mailservers.USER, password="wrong")
            self.assertEqual(status, 77)
            self.assertIn("-63 POP3 returned error. -ERR", err)

            # VRFY: aiosmtpd answers only after a login, and then with 252
            # (cannot verify), which is no failure.
            smtp_at = "127.0.0.1:%d" % smtp.port
            status, out, err = run("verify", "ann@example.com", "--server", smtp_at)
            self.assertEqual(status, 77, err)
            self.assertRegex(out, r"^ann@example.com: not allowed: 530 ")
            status, out, err = run("verify", "ann@example.com", "Bob <bob@example.com>",
                                   "--server", smtp_at, "--user", mailservers.USER)
            self.assertEqual(status, 0, err)
            self.assertRegex(out, r"^ann@example.com: cannot verify \(server will accept\): 252 .*\n"
                                  r"Bob <bob@example.com>: cannot verify \(server will accept\): 252 ")

            # APOP against the same account.
            status, out, err = run("list", "--server", "127.0.0.1:%d" % pop3.port,
                                   "--user", mailservers.USER, "--apop")
            self.assertEqual((status, out.splitlines()[-1]), (0, "0 messages, 0 B"), err)


if __name__ == "__main__":
    SERVERS = os.path.abspath(sys.argv.pop(2))
    VOKMAIL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
