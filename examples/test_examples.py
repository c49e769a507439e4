# SPDX-License-Identifier: MIT
"""The examples at work: the Python example offline and against the
loopback servers, and the C example sending through them. Run by CTest:

    python3 test_examples.py LIBRARY SEND_MAIL SERVERS_DIR [POLL_LOOP]

SERVERS_DIR holds mailservers.py, the tests' server launcher.
VOK_SKIP_INTEGRATION=1 skips the parts that need the servers.
"""
import email
import os
import subprocess
import sys
import tempfile
import unittest
from email import policy

HERE = os.path.dirname(os.path.abspath(__file__))
LIBRARY = SEND_MAIL = SERVERS = POLL_LOOP = None
mailservers = None
LIMIT = 120


def example(*args, env=None):
    p = subprocess.run([sys.executable, os.path.join(HERE, "vok32_example.py"), *(
                        ["--library", LIBRARY] if LIBRARY else []), *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=LIMIT, env=dict(os.environ, **(env or {})))
    return p.returncode, p.stdout.decode(), p.stderr.decode()


def read(path):
    with open(path, "rb") as f:
        return f.read()


class PythonOffline(unittest.TestCase):
    def test_version_and_verify(self):
        self.assertEqual(example("version")[:2], (0, "VOK32 3.4.2 build 11\n"))
        status, out, _ = example("verify", "ann@example.com", "no-at-sign")
        self.assertEqual(status, 1)
        self.assertEqual(out.splitlines(), [
            "valid   ann@example.com",
            "invalid no-at-sign: Missing '@' character in email address."])

    def test_errors_come_back_with_their_text(self):
        # Port 1 on loopback: nobody listens, the connect is refused.
        status, _, err = example("send", "--port", "1", "--from", "a@b", "--to", "c@d")
        self.assertEqual(status, 1)
        self.assertIn("vokSmtpConnect failed: -36 Error attempting to connect.", err)

    def test_no_library_is_a_message_not_a_traceback(self):
        global LIBRARY
        saved, LIBRARY = LIBRARY, None
        try:
            status, _, err = example("version", env={"VOK32_LIBRARY": "/nonexistent/libvok32.so"})
        finally:
            LIBRARY = saved
        self.assertEqual(status, 1)
        self.assertNotIn("Traceback", err)


class Integration(unittest.TestCase):
    def setUp(self):
        if os.environ.get("VOK_SKIP_INTEGRATION") == "1":
            self.skipTest("VOK_SKIP_INTEGRATION=1")
        self.tmp = tempfile.TemporaryDirectory()
        self.attachment = os.path.join(self.tmp.name, "table.dat")
        with open(self.attachment, "wb") as f:
            f.write(bytes(range(256)) * 41)

    def tearDown(self):
        self.tmp.cleanup()

    def test_python_sends_and_fetches(self):
        with mailservers.Server("smtp") as smtp, mailservers.Server("pop3") as pop3:
            status, out, err = example(
                "send", "--port", str(smtp.port), "--user", mailservers.USER,
                "--password", mailservers.PASSWORD, "--from", "py@example.com",
                "--to", "ann@example.com", "--subject", "Grüße aus Python",
                "--attach", self.attachment)
            self.assertEqual((status, out), (0, "sent to ann@example.com\n"), err)
            eml = smtp.message(1)
            message = email.message_from_bytes(read(eml), policy=policy.default)
            self.assertEqual(message["Subject"], "Grüße aus Python")
            parts = list(message.iter_attachments())
            self.assertEqual([p.get_filename() for p in parts], ["table.dat"])
            self.assertEqual(parts[0].get_content(), read(self.attachment))

            pop3.deliver(eml)
            inbox = os.path.join(self.tmp.name, "inbox")
            status, out, err = example("fetch", "--port", str(pop3.port), "--user", mailservers.USER,
                                       "--dir", inbox, env={"VOKMAIL_PASSWORD": mailservers.PASSWORD})
            self.assertEqual(status, 0, err)
            self.assertIn("1 message(s)", out)
            self.assertIn("attachments: table.dat", out)
            self.assertEqual(read(os.path.join(inbox, "table.dat")), read(self.attachment))

    def test_c_example_sends(self):
        with mailservers.Server("smtp") as smtp:
            p = subprocess.run(
                [SEND_MAIL, "127.0.0.1", str(smtp.port), "<c@example.com>", "<ann@example.com>",
                 "From C", "Hello from C.\r\n", self.attachment],
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                timeout=LIMIT,
                env=dict(os.environ, SEND_MAIL_USER=mailservers.USER, SEND_MAIL_PASSWORD=mailservers.PASSWORD))
            self.assertEqual(p.returncode, 0, p.stderr.decode())
            self.assertTrue(p.stdout.startswith(b"sent: "), p.stdout)
            message = email.message_from_bytes(read(smtp.message(1)), policy=policy.default)
            self.assertEqual(message["Subject"], "From C")
            self.assertEqual(message.get_body(("plain",)).get_content().strip(), "Hello from C.")
            attachment = next(message.iter_attachments())
            self.assertEqual(attachment.get_content(), read(self.attachment))

    def test_poll_loop_drives_64_channels(self):
        if not POLL_LOOP:
            self.skipTest("no poll_loop given")
        with mailservers.Server("smtp") as smtp:
            p = subprocess.run([POLL_LOOP, "127.0.0.1", str(smtp.port), "<loop@example.com>",
                                "<ann@example.com>", "64"], stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=LIMIT,
                               env=dict(os.environ, POLL_LOOP_USER=mailservers.USER,
                                        POLL_LOOP_PASSWORD=mailservers.PASSWORD))
            self.assertEqual(p.returncode, 0, p.stderr.decode())
            self.assertEqual(p.stdout, b"64 of 64 channels sent their message\n")
            subjects = {email.message_from_bytes(read(smtp.message(n)), policy=policy.default)["Subject"]
                        for n in range(1, 65)}
            self.assertEqual(subjects, {"poll loop, channel %d" % c for c in range(64)})


if __name__ == "__main__":
    LIBRARY, SEND_MAIL, SERVERS = (os.path.abspath(a) for a in sys.argv[1:4])
    if len(sys.argv) > 4:
        POLL_LOOP = os.path.abspath(sys.argv[4])
    del sys.argv[1:5]
    sys.path.insert(0, SERVERS)
    import mailservers  # noqa: E402  (found through SERVERS_DIR)
    unittest.main(verbosity=2)
