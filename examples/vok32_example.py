#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Using VOK32 from Python through the vok32 package (bindings/python).

    python3 vok32_example.py [--library PATH] version
    python3 vok32_example.py verify ADDRESS...
    python3 vok32_example.py send --server HOST --port N --from ADDR --to ADDR
                                  [--user U --password P] [--attach FILE]...
    python3 vok32_example.py fetch --server HOST --port N --user U --password P
                                   --dir DIR

The library is found through --library, else $VOK32_LIBRARY, else the
system's search. Texts are str (UTF-8); failures raise vok32.VokError with
the library's code and text.
"""
import argparse
import os
import sys

# The package beside this repository's examples, when it is not installed.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bindings",
                                "python"))
import vok32  # noqa: E402


def bracket(address):
    return address if "<" in address else "<%s>" % address


def cmd_version(vok, _args):
    print("VOK32 %s build %d" % (vok.version(), vok.statistics(0, vok32.VOK_STAT_BUILD)))
    return 0


def cmd_verify(vok, args):
    bad = 0
    for address in args.addresses:
        try:
            vok.verify_format(bracket(address))
            print("valid   %s" % address)
        except vok32.VokError as e:
            bad += 1
            print("invalid %s: %s" % (address, e.text))
    return 1 if bad else 0


def cmd_send(vok, args):
    vok.integer_param(0, vok32.VOK_PARAM_SMTP_PORT, args.port)
    if args.user:
        vok.integer_param(0, vok32.VOK_PARAM_ESMTP_MODE, 1)
        vok.string_param(0, vok32.VOK_PARAM_USER_NAME, args.user)
        vok.string_param(0, vok32.VOK_PARAM_SMTP_PASSWORD, args.password)
    vok.smtp_connect(0, args.server, bracket(args.sender))
    vok.send_email(0, ",".join(bracket(a) for a in args.to), subject=args.subject,
                   message=args.body, attachments=",".join(args.attach or []) or None)
    vok.close(0)
    print("sent to %s" % ", ".join(args.to))
    return 0


def cmd_fetch(vok, args):
    vok.integer_param(0, vok32.VOK_PARAM_POP3_PORT, args.port)
    vok.pop3_connect(0, args.server, args.user, args.password)
    count = vok.get_email_count(0)
    print("%d message(s)" % count)
    os.makedirs(args.dir, exist_ok=True)
    for number in range(1, count + 1):
        size = vok.get_email_size(0, number)
        name = "message-%d.txt" % number
        vok.get_email_file(0, number, name, args.dir, args.dir)
        saved = [n for n in vok.debug(0, vok32.VOK_DEBUG_SAVED_NAMES, 1100).split(",") if n]
        print("message %d: %d bytes -> %s; attachments: %s"
              % (number, size, os.path.join(args.dir, name), ", ".join(saved) or "none"))
    vok.close(0)
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(description="VOK32 from Python")
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
            p.add_argument("--body", default="Sent from Python.\r\n")
            p.add_argument("--attach", action="append")
        else:
            p.add_argument("--dir", required=True)
    args = parser.parse_args(argv)

    try:
        vok = vok32.Vok32(args.library)
    except OSError as e:
        print("vok32_example: %s" % e, file=sys.stderr)
        return 1
    vok.attach(1)
    try:
        return {"version": cmd_version, "verify": cmd_verify, "send": cmd_send,
                "fetch": cmd_fetch}[args.command](vok, args)
    except vok32.VokError as e:
        print(e, file=sys.stderr)
        return 1
    finally:
        vok.release()


if __name__ == "__main__":
    sys.exit(main())
