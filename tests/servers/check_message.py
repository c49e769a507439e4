#!/usr/bin/python3
"""Checks a message the SMTP server filed against what the client sent.

The message is parsed with Python's email package (policy=default): its
envelope, header fields, MIME layout and every part's decoded content must be
what the test says, and the parser must have found no defect. Prints what is
wrong and exits 1, or prints OK and exits 0.

A part is given as TYPE|DISPOSITION|FILENAME|CONTENT-ID|FILE, empty fields
meaning "none": text parts are compared as text (line ends and trailing
blank lines aside), every other part byte for byte.
"""
import argparse
import email
import json
import sys
from email import policy

problems = []


def expect(what, got, want):
    if got != want:
        problems.append("%s: got %r, want %r" % (what, shorten(got), shorten(want)))


def shorten(value):
    if isinstance(value, (bytes, str)) and len(value) > 200:
        return value[:200] + value[-20:]
    return value


def text_of(data):
    return data.replace("\r\n", "\n").rstrip("\n")


def check_part(index, part, want):
    ctype, disposition, filename, cid, path = want.split("|")
    where = "part %d" % index
    expect(where + " type", part.get_content_type(), ctype)
    expect(where + " disposition", part.get_content_disposition(), disposition or None)
    expect(where + " filename", part.get_filename(), filename or None)
    expect(where + " Content-ID", part.get("Content-ID"), cid or None)
    if part.defects:
        problems.append("%s defects: %r" % (where, part.defects))
    with open(path, "rb") as f:
        want = f.read()
    got = part.get_content()
    if part.get_content_maintype() == "text":
        charset = part.get_content_charset() or "us-ascii"
        expect(where + " text", text_of(got), text_of(want.decode(charset)))
    else:
        expect(where + " size", len(got), len(want))
        if got != want:
            problems.append(where + ": bytes differ from " + path)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--eml", required=True)
    p.add_argument("--meta", required=True)
    p.add_argument("--mechanism", required=True)
    p.add_argument("--mail-from", required=True)
    p.add_argument("--rcpt", action="append", default=[], help="envelope recipients in order")
    p.add_argument("--header", action="append", default=[], help="Name: value, exactly")
    p.add_argument("--hidden", action="append", default=[],
                   help="text that must appear in no header field (a BCC address)")
    p.add_argument("--type", required=True, help="the top-level content type")
    p.add_argument("--part", action="append", default=[])
    a = p.parse_args()

    with open(a.meta) as f:
        meta = json.load(f)
    expect("mechanism", meta["mechanism"], a.mechanism)
    expect("MAIL FROM", meta["mail_from"], a.mail_from)
    expect("RCPT TO", meta["rcpt_tos"], a.rcpt)

    with open(a.eml, "rb") as f:
        msg = email.message_from_bytes(f.read(), policy=policy.default)
    if msg.defects:
        problems.append("message defects: %r" % msg.defects)
    for h in a.header:
        name, _, value = h.partition(": ")
        expect(name, str(msg.get(name)), value)
    expect("Bcc", msg.get("Bcc"), None)
    for name, value in msg.items():
        for hidden in a.hidden:
            if hidden in str(value):
                problems.append("%r shows in the %s header" % (hidden, name))
    expect("Content-Type", msg.get_content_type(), a.type)
    parts = list(msg.iter_parts()) if msg.is_multipart() else [msg]
    expect("number of parts", len(parts), len(a.part))
    for i, (part, want) in enumerate(zip(parts, a.part)):
        check_part(i, part, want)

    if problems:
        print("\n".join(problems))
        return 1
    print("OK")
    return 0


if __name__ == "__main__":
    sys.exit(main())
