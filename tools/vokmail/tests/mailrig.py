# SPDX-License-Identifier: MIT
"""The loopback mail servers of the integration tests, for Python tests.

Starts the suite's own rigs from tests/servers: the aiosmtpd server
(smtp_server.py), which files each message it accepts as <n>.eml, and the
private Dovecot (dovecot.sh), which serves a Maildir over POP3. Both listen
on 127.0.0.1 only and are stopped on exit; every wait is bounded.
"""
import os
import shutil
import subprocess
import tempfile
import time

PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else "python3"
USER = "ann"
PASSWORD = "secret"


def skip_reason():
    """Why the integration tests cannot run here, or None."""
    if os.environ.get("VOK_SKIP_INTEGRATION") == "1":
        return "VOK_SKIP_INTEGRATION=1"
    return None


def _wait_for_file(path, limit, process=None):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if os.path.exists(path) and os.path.getsize(path) > 0:
            with open(path) as f:
                return f.read().strip()
        if process is not None and process.poll() is not None:
            break
        time.sleep(0.05)
    raise RuntimeError("no %s within %d s" % (path, limit))


class SmtpServer:
    """smtp_server.py: AUTH required (user ann, password secret)."""

    def __init__(self, servers_dir, lifetime=240):
        self.script = os.path.join(servers_dir, "smtp_server.py")
        self.lifetime = lifetime
        self.dir = None
        self.process = None
        self.port = None

    def __enter__(self):
        self.dir = tempfile.mkdtemp(prefix="vok_smtp_")
        self.folder = os.path.join(self.dir, "mail")
        os.mkdir(self.folder)
        port_file = os.path.join(self.dir, "port")
        with open(os.path.join(self.dir, "stderr"), "wb") as errors:
            self.process = subprocess.Popen(
                [PYTHON, self.script, "--folder", self.folder, "--port-file", port_file,
                 "--pid-file", os.path.join(self.dir, "pid"), "--user", USER,
                 "--password", PASSWORD, "--lifetime", str(self.lifetime)],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=errors)
        try:
            self.port = int(_wait_for_file(port_file, 20, self.process))
        except Exception:
            self.__exit__(None, None, None)
            raise
        return self

    def message(self, n):
        """The n-th message filed (from 1): its .eml path, once it is complete."""
        path = os.path.join(self.folder, "%d.eml" % n)
        _wait_for_file(os.path.join(self.folder, "%d.json" % n), 10)
        return path

    def __exit__(self, *exc):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)
        shutil.rmtree(self.dir, ignore_errors=True)


class Pop3Server:
    """dovecot.sh: one Maildir mailbox, user ann, password secret."""

    def __init__(self, servers_dir):
        self.script = os.path.join(servers_dir, "dovecot.sh")
        self.dir = None
        self.port = None

    def _run(self, *args, limit=30):
        subprocess.run(["bash", self.script, *args], check=True, stdin=subprocess.DEVNULL,
                       timeout=limit)

    def __enter__(self):
        self.dir = tempfile.mkdtemp(prefix="vok_pop3_")
        try:
            self._run("start", self.dir)
            with open(os.path.join(self.dir, "port")) as f:
                self.port = int(f.read().strip())
        except Exception:
            self.__exit__(None, None, None)
            raise
        return self

    def deliver(self, path):
        """Puts a message file into the mailbox; seen at the next login."""
        self._run("deliver", self.dir, path)

    def __exit__(self, *exc):
        try:
            self._run("stop", self.dir)
        except Exception:
            pass
        shutil.rmtree(self.dir, ignore_errors=True)
