#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""A real SMTP server for the integration tests (Debian's python3-aiosmtpd).

Listens on 127.0.0.1 on a port of the kernel's choosing and requires AUTH, offered without TLS:
PLAIN and LOGIN are aiosmtpd's own, CRAM-MD5 (RFC 2195) is the handler's.
One account is known. Every message is filed in the folder as <n>.eml, the
data exactly as received (transparency dots removed), with <n>.json beside
it: the envelope and the mechanism the client authenticated with.

Once it listens it writes its port to --port-file; its greeting ends with
--token. It stops on SIGTERM or SIGINT, and by itself after --lifetime
seconds, so that a test that dies never leaves it behind. Started by
mailservers.py.
"""
import argparse
import asyncio
import hmac
import json
import os
import secrets
import signal
import time
import warnings

from aiosmtpd.smtp import MISSING, SMTP, AuthResult, LoginPassword

import smtp_tls

MECHANISMS = ("CRAM-MD5", "LOGIN", "PLAIN")


def write_atomically(path, text):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, path)


class Handler:
    def __init__(self, folder, user, password):
        self.folder = folder
        self.user = user.encode()
        self.password = password.encode()
        self.count = 0

    def check(self, server, session, envelope, mechanism, auth_data):
        ok = (
            isinstance(auth_data, LoginPassword)
            and auth_data.login == self.user
            and auth_data.password == self.password
        )
        if ok:
            session.vok_mechanism = mechanism
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    async def auth_CRAM__MD5(self, server, args):
        challenge = f"<{secrets.randbelow(10**9)}.{int(time.time())}@vok-test.local>".encode()
        answer = await server.challenge_auth(challenge)
        if answer is MISSING:
            return AuthResult(success=False, handled=False)
        user, _, digest = answer.partition(b" ")
        expected = hmac.new(self.password, challenge, "md5").hexdigest().encode()
        ok = user == self.user and hmac.compare_digest(digest, expected)
        if ok:
            server.session.vok_mechanism = "CRAM-MD5"
        return AuthResult(success=ok, handled=False, auth_data=LoginPassword(user, b""))

    # aiosmtpd reads and answers commands strictly in turn, which is all
    # RFC 2920 asks of a server; saying so lets the client pipeline.
    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        responses.insert(1, "250-PIPELINING")
        return responses

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        os.replace(base + ".eml.tmp", base + ".eml")
        meta = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "mechanism": getattr(session, "vok_mechanism", None),
        }
        write_atomically(base + ".json", json.dumps(meta))
        return "250 OK stored as %d" % self.count


async def serve(args):
    loop = asyncio.get_running_loop()
    handler = Handler(args.folder, args.user, args.password)
    excluded = [m for m in MECHANISMS if args.only and m != args.only]

    def factory():
        return SMTP(
            handler,
            hostname="vok-test.local",  # never ask the resolver for our own name
            ident="vok-test " + args.token,
            auth_required=True,
            auth_require_tls=False,
            auth_exclude_mechanism=excluded,
            authenticator=handler.check,
            loop=loop,
            **smtp_tls.smtp_kwargs(args),
        )

    server = await loop.create_server(factory, host="127.0.0.1", port=0,
                                      ssl=smtp_tls.server_ssl(args))
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    loop.call_later(args.lifetime, stop.set)
    if args.pid_file:
        write_atomically(args.pid_file, str(os.getpid()))
    write_atomically(args.port_file, str(server.sockets[0].getsockname()[1]))
    await stop.wait()
    server.close()
    await server.wait_closed()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--folder", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--pid-file", help="where to write the process id (optional)")
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--only", choices=MECHANISMS, help="offer this mechanism alone")
    parser.add_argument("--lifetime", type=float, default=300.0)
    parser.add_argument("--token", default="", help="ends the greeting")
    smtp_tls.add_arguments(parser)
    args = parser.parse_args()
    # Deliberate here: AUTH without TLS, on the loopback interface only.
    warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
    asyncio.run(serve(args))


if __name__ == "__main__":
    main()
