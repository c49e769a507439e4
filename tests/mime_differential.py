#!/usr/bin/python3
"""Compares the attachments each message case expects (parts/) with what
Python's own e-mail package decodes from the same message (policy=default):
the same names, after the name rules the library applies, and the same bytes.

Usage: mime_differential.py <tests/data/mime>
"""
import email
import email.policy
import os
import re
import sys

# Where the library follows RFC 2045 section 6.7 and Python does not: '='
# followed by blanks at a line's end is a soft line break (Python keeps it).
KNOWN = {("quoted-printable", "q.txt"): b"=  \r\n"}


def clean(name):
    """The library's name rules: control characters become '_', any
    directory part goes; '', '.' and '..' are no name."""
    name = re.sub(r"[\x00-\x1f\x7f]", "_", name)
    name = re.split(r"[/\\:]", name)[-1]
    return None if name in ("", ".", "..") else name


def unique(name, taken):
    """'a.txt', then 'a (2).txt', ... as the library names a second part."""
    stem, dot, ext = name.rpartition(".")
    if not dot or not stem:
        stem, ext = name, ""
    else:
        ext = "." + ext
    k = 1
    candidate = name
    while candidate in taken:
        k += 1
        candidate = "%s (%d)%s" % (stem, k, ext)
    taken.add(candidate)
    return candidate


def python_parts(message):
    msg = email.message_from_bytes(message, policy=email.policy.default)
    taken = {"mail.txt"}  # the message file shares the folder
    parts = {}
    for part in msg.walk():
        if part.is_multipart():
            continue
        name = part.get_filename()
        name = clean(name) if name else None
        if not name:
            continue
        parts[unique(name, taken)] = part.get_payload(decode=True) or b""
    return parts


def main(root):
    failures = 0
    cases = sorted(os.listdir(root))
    for case in cases:
        folder = os.path.join(root, case)
        with open(os.path.join(folder, "message.eml"), "rb") as f:
            theirs = python_parts(f.read())
        ours = {}
        parts = os.path.join(folder, "parts")
        if os.path.isdir(parts):
            for name in os.listdir(parts):
                with open(os.path.join(parts, name), "rb") as f:
                    ours[name] = f.read()
        if set(ours) != set(theirs):
            print("%s: names differ: ours %s, Python's %s" % (case, sorted(ours), sorted(theirs)))
            failures += 1
            continue
        for name in sorted(ours):
            a, b = ours[name], theirs[name]
            known = KNOWN.get((case, name))
            if known and a != b and b.replace(known, b"") == a:
                continue
            if a != b:
                print("%s/%s: bytes differ:\n  ours   %r\n  Python %r" % (case, name, a[:200], b[:200]))
                failures += 1
    print("%d cases, %d differences" % (len(cases), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
