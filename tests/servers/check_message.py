#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Checks a message the SMTP server filed against what the client sent.

The message is parsed with Python's email package (policy=default): its
envelope, header fields, MIME layout and every part's decoded content must be
what the test says, and the parser must have found no defect. Prints what is
wrong and exits 1, or prints OK and exits 0.

A part is given as TYPE|DISPOSITION|FILENAME|CONTENT-ID|FILE, empty fields
meaning "none": text parts are compared as text (line ends and trailing
blank lines aside), every other part byte for byte. The parts are the leaves
of the MIME tree in order, nested multiparts walked through.

Every message must have a Message-ID, no line over 998 characters, no
header field the test does not expect among the --absent names, and every
cid: reference of its HTML must name a part's Content-ID.
"""
import argparse
import email
import json
import re
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


def structure(part):
    if not part.is_multipart():
        return part.get_content_type()
    return "%s(%s)" % (part.get_content_type(), ",".join(structure(p) for p in part.iter_parts()))


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
    p.add_argument("--structure", help="content types as nested lists, e.g. a(b,c(d))")
    p.add_argument("--plain", help="file get_body(('plain',)) must match")
    p.add_argument("--html", help="file get_body(('html',)) must match")
    p.add_argument("--attachments",
                   help="filenames of iter_attachments() in order, '/'-separated ('' for none)")
    p.add_argument("--absent", action="append", default=[], help="a header field that must not be")
    a = p.parse_args()

    with open(a.meta) as f:
        meta = json.load(f)
    expect("mechanism", meta["mechanism"], a.mechanism)
    expect("MAIL FROM", meta["mail_from"], a.mail_from)
    expect("RCPT TO", meta["rcpt_tos"], a.rcpt)

    with open(a.eml, "rb") as f:
        raw = f.read()
    msg = email.message_from_bytes(raw, policy=policy.default)
    if msg.defects:
        problems.append("message defects: %r" % msg.defects)
    for line in raw.split(b"\n"):
        if len(line.rstrip(b"\r")) > 998:
            problems.append("a line of %d characters" % len(line))
    if not re.fullmatch(r"<[^<>@\s]+@[^<>@\s]+>", str(msg.get("Message-ID", ""))):
        problems.append("Message-ID: %r" % msg.get("Message-ID"))
    for name in a.absent:
        expect(name, msg.get(name), None)
    for h in a.header:
        name, _, value = h.partition(": ")
        expect(name, str(msg.get(name)), value)
    expect("Bcc", msg.get("Bcc"), None)
    for name, value in msg.items():
        for hidden in a.hidden:
            if hidden in str(value):
                problems.append("%r shows in the %s header" % (hidden, name))
    expect("Content-Type", msg.get_content_type(), a.type)
    if a.structure:
        expect("structure", structure(msg), a.structure)
    for kind, path in (("plain", a.plain), ("html", a.html)):
        if path:
            body = msg.get_body((kind,))
            with open(path, "rb") as f:
                want = text_of(f.read().decode("utf-8"))
            expect("get_body " + kind, body and text_of(body.get_content()), want)
    if a.attachments is not None:
        names = [part.get_filename() for part in msg.iter_attachments()]
        expect("iter_attachments", names, a.attachments.split("/") if a.attachments else [])
    ids = {part.get("Content-ID") for part in msg.walk()}
    html = msg.get_body(("html",))
    for cid in re.findall(r'cid:([^"\'>\s]+)', html.get_content() if html else ""):
        if "<%s>" % cid not in ids:
            problems.append("cid:%s names no part" % cid)
    parts = [part for part in msg.walk() if not part.is_multipart()]
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
