#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""A scripted SMTP or POP3 server with TLS (Python's ssl) for the TLS tests.

Binds 127.0.0.1 (or ::1 with --ipv6) on port 0, writes the port it got to
--port-file, serves one connection (or --connections N, one after the
other) as the scenario says, and writes a
transcript to --record: each line the client sent, prefixed "plain: " or
"tls: " by the phase it arrived in, and "end: <how>" last. Every wait is
bounded (--lifetime in all), so a broken client cannot hang the test.

Scenarios (--scenario):
  smtp        STARTTLS (--mode starttls) or implicit TLS (--mode implicit)
              session answering EHLO, AUTH PLAIN/XOAUTH2, MAIL, RCPT, DATA, QUIT
  pop3        STLS or implicit TLS, USER/PASS, AUTH, STAT, RETR of one message, QUIT
Hostile variations (--twist):
  no-starttls   EHLO reply without STARTTLS        (smtp)
  refuse        STARTTLS answered 454 / STLS -ERR
  inject        a bogus reply right behind the go-ahead, in the same segment
  stall         the ClientHello is read and never answered
  garbage       plain text where the ServerHello belongs
  cut           RETR: half the message, then the connection closes without
                close_notify (pop3)
"""
import argparse
import base64
import os
import socket
import ssl
import sys
import time

MESSAGE = (
    b"From: <a@example.org>\r\nTo: <b@example.org>\r\nSubject: over TLS\r\n\r\n"
    + b"".join(b"line %04d of the body, long enough to fill some records\r\n" % i for i in range(400))
)


class Conn:
    def __init__(self, sock, record, deadline):
        self.sock = sock
        self.phase = "plain"
        self.record = record
        self.deadline = deadline
        self.buf = b""

    def note(self, text):
        self.record.write(text + "\n")
        self.record.flush()

    def send(self, data):
        self.sock.sendall(data)

    def line(self):
        while b"\n" not in self.buf:
            left = self.deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("lifetime over")
            self.sock.settimeout(min(left, 20))
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError("client closed")
            self.buf += chunk
        line, _, self.buf = self.buf.partition(b"\n")
        text = line.rstrip(b"\r").decode("latin-1")
        self.note(f"{self.phase}: {text}")
        return text

    def until(self, end):
        while end not in self.buf:
            self.sock.settimeout(max(0.1, min(self.deadline - time.monotonic(), 20)))
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError("client closed")
            self.buf += chunk
        data, _, self.buf = self.buf.partition(end)
        self.note(f"{self.phase}: <data {len(data)} bytes>")
        return data

    def wrap(self, ctx, twist):
        if twist == "stall":
            self.sock.settimeout(5)
            # The ClientHello and whatever follows, left unanswered until
            # the client gives up.
            while self.sock.recv(65536):
                self.sock.settimeout(max(0.1, min(self.deadline - time.monotonic(), 30)))
            raise EOFError("stalled")
        if twist == "garbage":
            self.sock.recv(65536)
            self.sock.sendall(b"HTTP/1.0 400 Bad Request\r\n\r\nthis is not TLS\r\n")
            time.sleep(1)
            raise EOFError("garbage sent")
        self.buf = b""
        self.sock.settimeout(20)
        self.sock = ctx.wrap_socket(self.sock, server_side=True)
        self.phase = "tls"
        self.note(f"handshake: {self.sock.version()}")


def accepted(cmd, args):
    """AUTH PLAIN <user NUL password> or XOAUTH2 <user, bearer token>."""
    parts = cmd.split(" ")
    if len(parts) != 3:
        return False
    raw = base64.b64decode(parts[2])
    if parts[1].upper() == "XOAUTH2":
        return raw == b"user=ann\x01auth=Bearer " + args.token.encode() + b"\x01\x01"
    return raw.split(b"\0")[1:] == [b"ann", b"secret"]


def smtp(c, args, ctx):
    if args.mode == "implicit":
        c.wrap(ctx, args.twist)
    c.send(b"220 tls-script ESMTP\r\n")
    while True:
        cmd = c.line()
        verb = cmd.split(" ")[0].upper()
        if verb in ("EHLO", "HELO"):
            ext = [b"250-tls-script", b"250-8BITMIME"]
            if c.phase == "plain" and args.mode == "starttls" and args.twist != "no-starttls":
                ext.append(b"250-STARTTLS")
            ext.append(b"250 AUTH PLAIN XOAUTH2")
            c.send(b"\r\n".join(ext) + b"\r\n")
        elif verb == "STARTTLS":
            if args.twist == "refuse":
                c.send(b"454 4.7.0 TLS not available\r\n")
                continue
            if args.twist == "inject":
                c.send(b"220 2.0.0 go ahead\r\n554 5.0.0 injected before the handshake\r\n")
            else:
                c.send(b"220 2.0.0 go ahead\r\n")
            c.wrap(ctx, args.twist)
        elif verb == "AUTH":
            if accepted(cmd, args):
                c.send(b"235 2.7.0 accepted\r\n")
            else:
                c.send(b"334 eyJzdGF0dXMiOiI0MDEifQ==\r\n")
                c.note("empty answer: %s" % (c.line() == ""))
                c.send(b"535 5.7.8 token rejected\r\n")
        elif verb in ("MAIL", "RCPT", "RSET", "NOOP"):
            c.send(b"250 ok\r\n")
        elif verb == "DATA":
            c.send(b"354 go on\r\n")
            c.until(b"\r\n.\r\n")
            c.send(b"250 queued\r\n")
        elif verb == "QUIT":
            c.send(b"221 bye\r\n")
            return "quit"
        else:
            c.send(b"502 unknown\r\n")


def pop3(c, args, ctx):
    if args.mode == "implicit":
        c.wrap(ctx, args.twist)
    c.send(b"+OK tls-script ready <1.2@tls-script>\r\n")
    while True:
        cmd = c.line()
        verb = cmd.split(" ")[0].upper()
        if verb == "STLS":
            if args.twist == "refuse":
                c.send(b"-ERR not now\r\n")
                continue
            if args.twist == "inject":
                c.send(b"+OK begin TLS\r\n-ERR injected before the handshake\r\n")
            else:
                c.send(b"+OK begin TLS\r\n")
            c.wrap(ctx, args.twist)
        elif verb == "CAPA":
            sasl = b"" if args.twist == "no-sasl" else b"SASL PLAIN XOAUTH2\r\n"
            c.send(b"+OK\r\nUSER\r\n" + sasl + b".\r\n")
        elif verb == "AUTH":
            if accepted(cmd, args):
                c.send(b"+OK welcome\r\n")
            else:
                c.send(b"+ eyJzdGF0dXMiOiI0MDEifQ==\r\n")
                c.note("empty answer: %s" % (c.line() == ""))
                c.send(b"-ERR token rejected\r\n")
        elif verb in ("USER", "PASS", "APOP", "NOOP", "DELE"):
            c.send(b"+OK\r\n")
        elif verb == "STAT":
            c.send(b"+OK 1 %d\r\n" % len(MESSAGE))
        elif verb == "LIST":
            c.send(b"+OK 1 %d\r\n" % len(MESSAGE))
        elif verb == "RETR":
            c.send(b"+OK %d octets\r\n" % len(MESSAGE))
            if args.twist == "cut":
                c.send(MESSAGE[: len(MESSAGE) // 2])
                time.sleep(0.3)
                c.sock.close()  # Python closes without close_notify
                return "cut"
            c.send(MESSAGE + b".\r\n")
        elif verb == "QUIT":
            c.send(b"+OK bye\r\n")
            return "quit"
        else:
            c.send(b"-ERR unknown\r\n")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--scenario", choices=("smtp", "pop3"), required=True)
    p.add_argument("--mode", choices=("starttls", "implicit"), default="starttls")
    p.add_argument("--twist", default="")
    p.add_argument("--certs", required=True)
    p.add_argument("--cert", default="good")
    p.add_argument("--token", default="good-token")
    p.add_argument("--port-file", required=True)
    p.add_argument("--record", required=True)
    p.add_argument("--ipv6", action="store_true")
    p.add_argument("--lifetime", type=float, default=60)
    p.add_argument("--connections", type=int, default=1)
    args = p.parse_args()

    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.minimum_version = ssl.TLSVersion.TLSv1_2
    ctx.load_cert_chain(os.path.join(args.certs, args.cert + ".pem"),
                        os.path.join(args.certs, args.cert + ".key"))

    family = socket.AF_INET6 if args.ipv6 else socket.AF_INET
    listener = socket.socket(family, socket.SOCK_STREAM)
    listener.bind(("::1" if args.ipv6 else "127.0.0.1", 0))
    listener.listen(1)
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(listener.getsockname()[1]))
    os.replace(tmp, args.port_file)

    deadline = time.monotonic() + args.lifetime
    with open(args.record, "w") as record:
        for _ in range(args.connections):
            if not serve(listener, record, deadline, args, ctx):
                return 1
    return 0


def serve(listener, record, deadline, args, ctx):
    """Plays the scenario on one connection; false when none came."""
    try:
        listener.settimeout(max(0.1, deadline - time.monotonic()))
        sock, _ = listener.accept()
    except OSError as e:
        record.write(f"end: no client ({e})\n")
        return False
    c = Conn(sock, record, deadline)
    try:
        how = (smtp if args.scenario == "smtp" else pop3)(c, args, ctx)
        # After the last reply: read what else comes until the client
        # closes (a close_notify shows as an orderly end).
        try:
            while c.line() is not None:
                pass
        except (EOFError, OSError, ssl.SSLError, TimeoutError):
            pass
    except (EOFError, OSError, ssl.SSLError, TimeoutError) as e:
        how = f"closed ({type(e).__name__}: {e})"
    c.note(f"end: {how}")
    try:
        c.sock.close()
    except OSError:
        pass
    return True


if __name__ == "__main__":
    sys.exit(main())
