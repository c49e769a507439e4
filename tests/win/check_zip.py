# SPDX-License-Identifier: MIT
"""The Windows release zip as a user gets it: made by scripts/make-win-zip.sh
from this build, unpacked, then under Wine: the DLL loaded by name and every
export bound (vok_loadlib), a C program linked through lib/VOK32.lib, and
vokmail.exe sending to and listing from the loopback servers.

    check_zip.py BUILD ARCH WORK CC LOADLIB WINE-RUN... --servers SERVERS
"""
import argparse
import glob
import os
import shutil
import shlex
import subprocess
import sys
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LIMIT = 180
A = None


def run(*cmd, **kw):
    p = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=LIMIT, **kw)
    return p.returncode, p.stdout.decode(errors="replace"), p.stderr.decode(errors="replace")


def wine(*cmd):
    return run(*A.wine_run, *cmd)


class WindowsZip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        rc, out, err = run("bash", os.path.join(ROOT, "scripts", "make-win-zip.sh"), A.build,
                           A.arch, A.work)
        assert rc == 0, err
        cls.zip = out.strip()
        with zipfile.ZipFile(cls.zip) as z:
            cls.names = z.namelist()
            z.extractall(A.work)
        cls.top = os.path.join(A.work, os.path.basename(cls.zip)[:-4])
        cls.bin = os.path.join(cls.top, "bin")

    def test_contents(self):
        top = os.path.basename(self.top) + "/"
        for name in ("bin/VOK32.dll", "bin/vokmail.exe", "lib/VOK32.lib", "lib/libVOK32.dll.a",
                     "lib/VOK32.def", "include/vok32.h", "bindings/csharp/Vok32.cs",
                     "bindings/vbnet/Vok32.vb", "bindings/pascal/vok32.pas",
                     "bindings/python/vok32/__init__.py", "README.md", "LICENSE", "CHANGELOG.md"):
            self.assertIn(top + name, self.names)
        with open(os.path.join(self.bin, "VOK32.dll"), "rb") as f:
            dll = f.read()
        self.assertIn("FileVersion".encode("utf-16-le"), dll)

    def test_dll_loads_and_binds_every_export(self):
        rc, out, err = wine(A.loadlib, os.path.join(self.bin, "VOK32.dll"),
                            os.path.join(self.top, "lib", "VOK32.def"))
        self.assertEqual(rc, 0, out + err)

    def test_program_links_through_vok32_lib(self):
        exe = os.path.join(self.bin, "implicit.exe")
        rc, out, err = run(*A.cc, "-Wall", "-Werror", "-static", "-I",
                           os.path.join(self.top, "include"),
                           os.path.join(ROOT, "tests", "win", "implicit.c"),
                           os.path.join(self.top, "lib", "VOK32.lib"), "-o", exe)
        self.assertEqual(rc, 0, out + err)
        rc, out, err = wine(exe)
        self.assertEqual(rc, 0, out + err)

    def test_vokmail_sends_and_lists(self):
        sys.path.insert(0, A.servers)
        import mailservers
        if not shutil.which("dovecot"):
            self.skipTest("dovecot is not installed")
        vokmail = os.path.join(self.bin, "vokmail.exe")
        body = os.path.join(A.work, "body.txt")
        with open(body, "w") as f:
            f.write("Sent by vokmail.exe under Wine.\n")
        with mailservers.Server("smtp") as smtp, mailservers.Server("pop3") as pop3:
            rc, out, err = wine(vokmail, "send", "--quiet", "--server",
                                "127.0.0.1:%d" % smtp.port, "--user", mailservers.USER,
                                "--password", mailservers.PASSWORD, "--from", "win@example.com",
                                "--to", "ann@example.com", "--subject", "From the zip",
                                "--body", "@" + body)
            self.assertEqual(rc, 0, out + err)
            eml = smtp.message(1)
            with open(eml, "rb") as f:
                self.assertIn(b"Subject: From the zip", f.read())
            pop3.deliver(eml)
            rc, out, err = wine(vokmail, "list", "--server", "127.0.0.1:%d" % pop3.port,
                                "--user", mailservers.USER, "--password", mailservers.PASSWORD)
            self.assertEqual(rc, 0, out + err)
            self.assertIn("1 message", out)


def main():
    global A
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("arch")
    ap.add_argument("work")
    ap.add_argument("cc")
    ap.add_argument("loadlib")
    ap.add_argument("wine_run", nargs="+")
    ap.add_argument("--servers", required=True)
    A = ap.parse_args()
    A.cc = shlex.split(A.cc)
    for old in glob.glob(os.path.join(A.work, "vok32-*")):
        subprocess.run(["rm", "-rf", old])
    unittest.main(argv=[sys.argv[0], "-v"])


if __name__ == "__main__":
    main()
