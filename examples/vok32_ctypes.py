#!/usr/bin/env python3
"""Using VOK32 from Python through ctypes: no compiler, no binding package.

    python3 vok32_ctypes.py [--library PATH] version
    python3 vok32_ctypes.py verify ADDRESS...
    python3 vok32_ctypes.py send --server HOST --port N --from ADDR --to ADDR
                                 [--user U --password P] [--attach FILE]...
    python3 vok32_ctypes.py fetch --server HOST --port N --user U --password P
                                  --dir DIR

The library is found through --library, else $VOK32_LIBRARY, else the
system's search (ctypes.util.find_library). Every function returns an int:
negative values are error codes that vokErrorText explains.
"""
import argparse
import ctypes
import ctypes.util
import os
import sys

# vokStatistics indexes and vokDebug codes used below.
STAT_MESSAGE_COUNT = 17
STAT_MESSAGE_SIZE = 18
STAT_VERSION = 16
STAT_BUILD = 26
DEBUG_SAVED_NAMES = 29

# Parameters (the VOK_... numbers of vok32.h).
SMTP_PORT = 15
POP3_PORT = 16
ESMTP_MODE = 29
USER_NAME = 58
SMTP_PASSWORD = 57


class VokError(Exception):
    pass


class Vok32:
    """The library with the argument types of the functions used here."""

    def __init__(self, path=None):
        path = path or os.environ.get("VOK32_LIBRARY") or ctypes.util.find_library("vok32")
        if not path:
            raise VokError("libvok32 not found: give --library or set VOK32_LIBRARY")
        # VOK32.dll on 32-bit Windows uses stdcall: load it with ctypes.WinDLL there.
        loader = ctypes.WinDLL if sys.platform == "win32" and ctypes.sizeof(ctypes.c_void_p) == 4 \
            else ctypes.CDLL
        self.lib = loader(path)
        c_int, c_char_p = ctypes.c_int, ctypes.c_char_p
        signatures = {
            "vokAttach": [c_int],
            "vokRelease": [],
            "vokIntegerParam": [c_int, c_int, c_int],
            "vokStringParam": [c_int, c_int, c_char_p],
            "vokStatistics": [c_int, c_int],
            "vokDebug": [c_int, c_int, c_char_p, c_int],
            "vokErrorText": [c_int, c_int, c_char_p, c_int],
            "vokVerifyFormat": [c_char_p],
            "vokSmtpConnect": [c_int, c_char_p, c_char_p, c_char_p],
            "vokSendEmail": [c_int] + [c_char_p] * 6,
            "vokPop3Connect": [c_int, c_char_p, c_char_p, c_char_p],
            "vokGetEmailCount": [c_int],
            "vokGetEmailSize": [c_int, c_int],
            "vokGetEmailFile": [c_int, c_int, c_char_p, c_char_p, c_char_p],
            "vokClose": [c_int],
        }
        for name, args in signatures.items():
            function = getattr(self.lib, name)
            function.argtypes = args
            function.restype = c_int

    def __getattr__(self, name):
        return getattr(self.lib, name)

    def error_text(self, code, channel=0):
        buffer = ctypes.create_string_buffer(2048)
        self.lib.vokErrorText(channel, code, buffer, len(buffer))
        return buffer.value.decode("latin-1").strip()

    def check(self, code, what):
        """Raises VokError with the library's text for a negative result."""
        if code < 0:
            raise VokError("%s failed: %d %s" % (what, code, self.error_text(code)))
        return code


def b(text):
    return text.encode("latin-1") if text is not None else None


def bracket(address):
    return address if "<" in address else "<%s>" % address


def cmd_version(vok, _args):
    version = vok.vokStatistics(0, STAT_VERSION)
    print("VOK32 %d.%d.%d build %d" % (version >> 8, (version >> 4) & 15, version & 15,
                                       vok.vokStatistics(0, STAT_BUILD)))
    return 0


def cmd_verify(vok, args):
    bad = 0
    for address in args.addresses:
        rc = vok.vokVerifyFormat(b(bracket(address)))
        if rc == 1:
            print("valid   %s" % address)
        else:
            bad += 1
            print("invalid %s: %s" % (address, vok.error_text(rc)))
    return 1 if bad else 0


def cmd_send(vok, args):
    vok.vokIntegerParam(0, SMTP_PORT, args.port)
    if args.user:
        vok.vokIntegerParam(0, ESMTP_MODE, 1)
        vok.vokStringParam(0, USER_NAME, b(args.user))
        vok.vokStringParam(0, SMTP_PASSWORD, b(args.password))
    vok.check(vok.vokSmtpConnect(0, b(args.server), b(bracket(args.sender)), None), "connect")
    attachments = ",".join(args.attach) if args.attach else None
    vok.check(vok.vokSendEmail(0, b(",".join(bracket(a) for a in args.to)), None, None,
                               b(args.subject), b(args.body), b(attachments)), "send")
    vok.vokClose(0)
    print("sent to %s" % ", ".join(args.to))
    return 0


def cmd_fetch(vok, args):
    vok.vokIntegerParam(0, POP3_PORT, args.port)
    vok.check(vok.vokPop3Connect(0, b(args.server), b(args.user), b(args.password)), "login")
    count = vok.check(vok.vokGetEmailCount(0), "count")
    print("%d message(s)" % count)
    os.makedirs(args.dir, exist_ok=True)
    names = ctypes.create_string_buffer(1100)
    for number in range(1, count + 1):
        size = vok.check(vok.vokGetEmailSize(0, number), "size")
        name = "message-%d.txt" % number
        vok.check(vok.vokGetEmailFile(0, number, b(name), b(args.dir), b(args.dir)), "download")
        vok.vokDebug(0, DEBUG_SAVED_NAMES, names, len(names))
        saved = [n for n in names.value.decode("latin-1").split(",") if n]
        print("message %d: %d bytes -> %s; attachments: %s"
              % (number, size, os.path.join(args.dir, name), ", ".join(saved) or "none"))
    vok.vokClose(0)
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(description="VOK32 from Python through ctypes")
    parser.add_argument("--library", help="path of libvok32.so or VOK32.dll")
    sub = parser.add_subparsers(dest="command", required=True)
    sub.add_parser("version")
    verify = sub.add_parser("verify")
    verify.add_argument("addresses", nargs="+")
    for name in ("send", "fetch"):
        p = sub.add_parser(name)
        p.add_argument("--server", default="127.0.0.1")
        p.add_argument("--port", type=int, required=True)
        p.add_argument("--user")
        p.add_argument("--password", default=os.environ.get("VOKMAIL_PASSWORD", ""))
        if name == "send":
            p.add_argument("--from", dest="sender", required=True)
            p.add_argument("--to", action="append", required=True)
            p.add_argument("--subject", default="Hello from Python")
            p.add_argument("--body", default="Sent through ctypes.\r\n")
            p.add_argument("--attach", action="append")
        else:
            p.add_argument("--dir", required=True)
    args = parser.parse_args(argv)

    vok = Vok32(args.library)
    if vok.vokAttach(1) != 1:
        raise VokError("vokAttach failed")
    try:
        return {"version": cmd_version, "verify": cmd_verify, "send": cmd_send,
                "fetch": cmd_fetch}[args.command](vok, args)
    except VokError as e:
        print(e, file=sys.stderr)
        return 1
    finally:
        vok.vokRelease()


if __name__ == "__main__":
    sys.exit(main())
