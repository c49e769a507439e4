#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Differential test of the download decoder against Python's own e-mail
package (policy=default): for every message case under tests/data/mime and
for a fixed set of generated hostile messages, the attachments the decoder
saves (vok_mime_decode) must be the ones Python decodes: the same names,
after the name rules the library applies, and the same bytes.

Usage: mime_differential.py <tests/data/mime> <vok_mime_decode> [count]
"""
import base64
import email
import email.policy
import os
import random
import re
import subprocess
import sys
import tempfile
import urllib.parse

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
    if not dot or not stem or len(ext) + 1 > 20:
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


def our_parts(tool, message):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "message.eml")
        out = os.path.join(folder, "out")
        os.mkdir(out)
        with open(path, "wb") as f:
            f.write(message)
        rc = subprocess.run([tool, path, out]).returncode
        parts = {}
        for name in os.listdir(out):
            if name != "mail.txt":
                with open(os.path.join(out, name), "rb") as f:
                    parts[name] = f.read()
        return rc, parts


def compare(label, message, tool, known=None):
    rc, ours = our_parts(tool, message)
    theirs = python_parts(message)
    if rc != 0:
        return ["%s: the decoder failed (%d)" % (label, rc)]
    if set(ours) != set(theirs):
        return ["%s: names differ: ours %s, Python's %s" % (label, sorted(ours), sorted(theirs))]
    problems = []
    for name in sorted(ours):
        a, b = ours[name], theirs[name]
        k = (known or {}).get(name)
        if a != b and not (k and b.replace(k, b"") == a):
            problems.append("%s/%s: bytes differ:\n  ours   %r\n  Python %r" % (label, name, a[:120], b[:120]))
    return problems


# --- Generated hostile messages ------------------------------------------------

class Generator:
    def __init__(self, seed):
        self.r = random.Random(seed)

    def pick(self, *items):
        return self.r.choice(items)

    def boundary(self):
        alphabet = "abcXYZ019'()+_,-./=?"
        b = "".join(self.r.choice(alphabet) for _ in range(self.r.randint(1, 30)))
        return b.rstrip() or "b"

    def name(self):
        base = self.pick("a.txt", "report.pdf", "r\u00e9sum\u00e9.txt", "\u20ac uro.bin", "x y.dat",
                         "noext", "../../etc/passwd", "..\\up.txt", "C:evil.exe", "dots..txt",
                         "say \"hi\".txt", "semi;colon.txt", "t\u00e4b\tname.txt")
        form = self.r.randint(0, 5)
        if form == 5:
            # RFC 2231 continuations, the first one with its charset.
            raw = urllib.parse.quote(base, safe="")
            cut = self.r.randint(0, len(raw))
            while cut > 0 and "%" in raw[max(0, cut - 2):cut]:
                cut -= 1
            return ("*0*=UTF-8''%s" % raw[:cut], "*1*=%s" % (raw[cut:] or "%2E"))
        if form == 0 and '"' not in base and "\\" not in base and "\t" not in base:
            if re.fullmatch(r"[A-Za-z0-9._-]+", base):
                return "%s" % base
        if form == 1:
            return '"=?UTF-8?B?%s?="' % base64.b64encode(base.encode()).decode()
        if form == 2:
            q = "".join(c if c.isalnum() else "=%02X" % b for c in base for b in [ord(c)] if ord(c) < 128) \
                if base.isascii() else "".join("=%02X" % b for b in base.encode())
            return '"=?utf-8?q?%s?="' % q
        if form == 3:
            return "*=UTF-8''" + urllib.parse.quote(base, safe="")
        return '"%s"' % base.replace("\\", "\\\\").replace('"', '\\"')

    def param(self, key, value):
        if isinstance(value, tuple):
            return "%s%s;\r\n %s%s" % (key, value[0], key, value[1])
        if value.startswith("*="):
            return key + value
        sp = self.pick("", " ")
        return "%s%s=%s%s" % (key, sp, sp, value)

    def fold(self, line):
        # Folds at a blank, now and then (a field folded already stays).
        if "\r\n" in line:
            return line
        out = []
        for word in line.split(" "):
            out.append(word)
        sep = [self.pick(" ", " ", "\r\n ", "\r\n\t") for _ in out[1:]]
        text = out[0]
        for s, w in zip(sep, out[1:]):
            text += s + w
        return text

    def body(self, encoding, data):
        if encoding == "base64":
            text = base64.b64encode(data).decode()
            if self.r.random() < 0.3:
                text = text.rstrip("=")
            width = self.pick(76, 64, 72, 4, 7, 1500)
            return "".join(text[i:i + width] + "\r\n" for i in range(0, len(text), width))
        if encoding == "quoted-printable":
            out, col = "", 0
            for b in data:
                c = chr(b)
                if b in (10,):
                    out += "\r\n"
                    col = 0
                    continue
                if 33 <= b <= 126 and c != "=":
                    piece = c
                else:
                    piece = ("=%02X" if self.r.random() < 0.5 else "=%02x") % b
                if col + len(piece) > 72:
                    out += "=\r\n"
                    col = 0
                out += piece
                col += len(piece)
            return out + "\r\n"
        # 7bit / 8bit text lines, with lines that look like delimiters.
        return data.decode("latin-1").replace("\n", "\r\n") + "\r\n"

    def payload(self, encoding):
        if encoding in ("7bit", "8bit", None):
            lines = [self.pick("plain text", "--%s--junk" % self.boundary(), "--x text", ".dot", "",
                               "nul \x00 byte", "long " + "x" * self.r.randint(1000, 2100),
                               "caf\u00e9".encode().decode("latin-1") if encoding == "8bit" else "cafe")
                     for _ in range(self.r.randint(1, 4))]
            return "\n".join(lines).encode("latin-1")
        return bytes(self.r.randrange(256) for _ in range(self.r.randint(0, 300)))

    def part(self, depth):
        if depth < 3 and self.r.random() < 0.3:
            return self.multipart(depth + 1)
        if depth < 3 and self.r.random() < 0.05:
            # An enclosed message with parts of its own.
            return "Content-Type: message/rfc822\r\n\r\nFrom: x@example.org\r\nMIME-Version: 1.0\r\n" + \
                self.multipart(depth + 1)
        encoding = self.pick("base64", "quoted-printable", "7bit", "8bit", None)
        data = self.payload(encoding)
        headers = []
        ctype = self.pick("application/octet-stream", "text/plain", "image/png")
        disp = self.pick("attachment", "inline", None, None)
        name = self.name() if self.r.random() < 0.8 else None
        ct = ctype
        if name and (disp is None or self.r.random() < 0.3):
            ct += "; " + self.param("name", name)
        headers.append(self.fold("Content-Type: " + ct) if self.r.random() < 0.5 else "Content-Type: " + ct)
        if encoding:
            headers.append("%s: %s" % (self.pick("Content-Transfer-Encoding", "content-transfer-encoding"),
                                        self.pick(encoding, encoding.upper())))
        if disp:
            d = disp
            if name:
                d += "; " + self.param("filename", name)
            headers.append(self.fold("Content-Disposition: " + d))
        self.r.shuffle(headers)
        return "\r\n".join(headers) + "\r\n\r\n" + self.body(encoding, data)

    def multipart(self, depth):
        b = self.boundary()
        quoted = '"%s"' % b if (self.r.random() < 0.7 or re.search(r"[()<>@,;:\\\"/\[\]?=' ]", b)) else b
        sub = self.pick("mixed", "alternative", "related")
        head = "Content-Type: multipart/%s; %s" % (sub, self.param("boundary", quoted))
        if self.r.random() < 0.3:
            head = "Content-Type: multipart/%s;\r\n x-hint=1;\r\n boundary=%s" % (sub, quoted)
        elif self.r.random() < 0.2:
            head = "Content-Type:\r\n multipart/%s; (comment) %s" % (sub, self.param("boundary", quoted))
        text = self.fold(head) if self.r.random() < 0.3 else head
        text += "\r\n\r\n"
        if self.r.random() < 0.5:
            text += "preamble line\r\n"
        for _ in range(self.r.randint(1, 4)):
            text += "--%s%s\r\n" % (b, self.pick("", " ", "\t"))
            text += self.part(depth)
        text += "--%s--\r\n" % b
        if self.r.random() < 0.3:
            text += "epilogue\r\n"
        return text

    def message(self):
        top = ["From: Bob <bob@example.org>", "To: Ann <ann@example.com>", "Subject: test",
               "MIME-Version: 1.0"]
        self.r.shuffle(top)
        body = self.multipart(0) if self.r.random() < 0.85 else self.part(3)
        text = "\r\n".join(top) + "\r\n" + body
        return text.encode("utf-8")


def main(root, tool, count):
    problems = []
    cases = sorted(os.listdir(root))
    for case in cases:
        with open(os.path.join(root, case, "message.eml"), "rb") as f:
            message = f.read()
        known = {name: k for (c, name), k in KNOWN.items() if c == case}
        problems += compare(case, message, tool, known)
    gen = Generator(int(os.environ.get("VOK_DIFF_SEED", "20261208")))
    for i in range(count):
        message = gen.message()
        found = compare("generated-%d" % i, message, tool)
        if found and os.environ.get("VOK_KEEP_FAILED"):
            with open(os.path.join(os.environ["VOK_KEEP_FAILED"], "generated-%d.eml" % i), "wb") as f:
                f.write(message)
        problems += found
    for p in problems:
        print(p)
    print("%d cases, %d generated messages, %d differences" % (len(cases), count, len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 300))
