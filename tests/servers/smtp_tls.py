# SPDX-License-Identifier: MIT
"""TLS for the aiosmtpd test server (smtp_server.py): the options and what
they turn into. --tls starttls: STARTTLS offered and required before any
other command but EHLO, NOOP and QUIT (RFC 3207); --tls implicit: TLS from
the first byte (the SMTPS port's way). The certificate and key are PEM files.
"""
import ssl


def add_arguments(parser):
    parser.add_argument("--tls", choices=("starttls", "implicit"))
    parser.add_argument("--tls-cert", help="server certificate (PEM), with --tls")
    parser.add_argument("--tls-key", help="its private key (PEM), with --tls")


def _context(args):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.minimum_version = ssl.TLSVersion.TLSv1_2
    ctx.load_cert_chain(args.tls_cert, args.tls_key)
    return ctx


def smtp_kwargs(args):
    """Keyword arguments of aiosmtpd's SMTP for the protocol object."""
    if args.tls == "starttls":
        return {"tls_context": _context(args), "require_starttls": True}
    return {}


def server_ssl(args):
    """The ssl argument of create_server: a context for implicit TLS."""
    return _context(args) if args.tls == "implicit" else None
