# SPDX-License-Identifier: MIT
"""VOK32 for Python: send mail over SMTP and read a POP3 mailbox.

    import vok32
    lib = vok32.Vok32()                  # libvok32.so / VOK32.dll, found as told below
    lib.attach(1)
    lib.integer_param(0, vok32.VOK_PARAM_SMTP_PORT, 2525)
    lib.smtp_connect(0, "127.0.0.1", "<me@example.com>")
    lib.send_email(0, "<ann@example.com>", subject="Hello", message="Hi Ann.\\r\\n")
    lib.close(0)
    lib.release()

Every method calls the C function of the same name (smtp_connect is
vokSmtpConnect) and returns its result; a negative result raises VokError,
which carries the code and the library's text for it. Texts may be given as
str (encoded as UTF-8, or the encoding given to Vok32) or as bytes; texts
come back as str. `lib.raw` is the ctypes library itself, with every
function's argument types set. The constants of vok32.h are this module's
names (vok32.VOK_PARAM_AUTO_CALL, vok32.VOK_STAT_MESSAGE_COUNT, ...).

The library is looked for in this order: the path given to Vok32, the
environment variable VOK32_LIBRARY, a copy beside this package, the
system's search (ctypes.util.find_library("vok32"), on Windows VOK32.dll).
"""
import ctypes
import ctypes.util
import os
import re
import sys

from ._header import *  # noqa: F401,F403 - the constants of vok32.h
from ._header import ERROR_TEXTS, FUNCTIONS

__all__ = [n for n in dir() if n.startswith("VOK_")] + ["Vok32", "VokError", "ERROR_TEXTS"]
__version__ = "%d.%d.%d" % (VOK_VERSION_MAJOR, VOK_VERSION_MINOR, VOK_VERSION_PATCH)  # noqa: F405

_WINDOWS = sys.platform == "win32"


class VokError(Exception):
    """A negative result: .code is the number, .text what vokErrorText says."""

    def __init__(self, function, code, text):
        super().__init__("%s failed: %d %s" % (function, code, text))
        self.function, self.code, self.text = function, code, text


def _find_library(path):
    if path:
        return path
    if os.environ.get("VOK32_LIBRARY"):
        return os.environ["VOK32_LIBRARY"]
    here = os.path.dirname(os.path.abspath(__file__))
    for name in ("VOK32.dll",) if _WINDOWS else ("libvok32.so.%d" % VOK_VERSION_MAJOR, "libvok32.so"):  # noqa: F405
        if os.path.exists(os.path.join(here, name)):
            return os.path.join(here, name)
    found = "VOK32.dll" if _WINDOWS else ctypes.util.find_library("vok32")
    if not found:
        raise OSError("libvok32 not found: pass its path to Vok32() or set VOK32_LIBRARY")
    return found


def _snake(name):
    return re.sub(r"(?<=[a-z0-9])([A-Z])", r"_\1", name[3:]).lower().replace("u_i_d", "uid")


class Vok32:
    """The loaded library. encoding: how str arguments become bytes."""

    def __init__(self, path=None, encoding="utf-8"):
        path = _find_library(path)
        # 32-bit VOK32.dll uses stdcall; everywhere else the C convention.
        loader = ctypes.WinDLL if _WINDOWS and ctypes.sizeof(ctypes.c_void_p) == 4 else ctypes.CDLL
        self.raw = loader(path)
        self.path, self.encoding = path, encoding
        kinds = {"int": ctypes.c_int, "in": ctypes.c_char_p, "out": ctypes.c_char_p}
        for name, args in FUNCTIONS.items():
            function = getattr(self.raw, name)
            function.argtypes = [kinds[k] for k in args]
            function.restype = ctypes.c_int

    # --- plumbing ---------------------------------------------------------------------

    def _bytes(self, text):
        if text is None or isinstance(text, bytes):
            return text
        return str(text).encode(self.encoding)

    def _str(self, data):
        return data.decode(self.encoding, errors="replace")

    def _check(self, name, rc, channel=0):
        if rc < 0:
            raise VokError(name, rc, self.error_text(rc, channel))
        return rc

    def _call(self, name, *args):
        rc = getattr(self.raw, name)(*[self._bytes(a) if isinstance(a, (str, bytes)) else a
                                       for a in args])
        channel = args[0] if args and FUNCTIONS[name][:1] == ("int",) else 0
        return self._check(name, rc, channel if isinstance(channel, int) and channel >= 0 else 0)

    def __getattr__(self, attr):
        # The functions that take only ints and texts: smtp_connect, send_email, ...
        for name, args in FUNCTIONS.items():
            if _snake(name) == attr and "out" not in args:
                return lambda *a: self._call(name, *a)
        raise AttributeError(attr)

    # --- calls with keyword defaults or output buffers ---------------------------------

    def smtp_connect(self, channel, server, sender, reply_to=None):
        return self._call("vokSmtpConnect", channel, server, sender, reply_to)

    def send_email(self, channel, to, cc=None, bcc=None, subject="", message="",
                   attachments=None):
        return self._call("vokSendEmail", channel, to, cc, bcc, subject, message, attachments)

    def error_text(self, code, channel=0):
        """The text of a result code; the server's reply follows for -36, -49, -63."""
        buffer = ctypes.create_string_buffer(2048)
        if self.raw.vokErrorText(channel, code, buffer, len(buffer)) < 0:
            return ERROR_TEXTS.get(code, "")  # not attached: the header's text
        return self._str(buffer.value).rstrip()

    def debug(self, channel, code, size=1024):
        buffer = ctypes.create_string_buffer(size + 1)
        self._check("vokDebug", self.raw.vokDebug(channel, code, buffer, size), channel)
        return self._str(buffer.value)

    def get_email_uid(self, channel, message, size=4096):
        buffer = ctypes.create_string_buffer(max(size, VOK_MIN_UID_BUFFER))  # noqa: F405
        self._check("vokGetEmailUID",
                    self.raw.vokGetEmailUID(channel, message, buffer, len(buffer)), channel)
        return self._str(buffer.value)

    def get_email_lines(self, channel, message, lines, size=65536):
        buffer = ctypes.create_string_buffer(size)
        self._check("vokGetEmailLines",
                    self.raw.vokGetEmailLines(channel, message, lines, buffer, size), channel)
        return self._str(buffer.value)

    def get_email_file(self, channel, message, file_name, email_dir, attach_dir=None):
        return self._call("vokGetEmailFile", channel, message, file_name, email_dir,
                          attach_dir if attach_dir is not None else email_dir)

    def encode_buffer(self, data):
        """base64 of bytes, as CR LF lines of 76 characters (a str)."""
        data = self._bytes(data)
        size = 4 * ((len(data) + 2) // 3) + 2 * ((len(data) + 56) // 57) + 1
        out = ctypes.create_string_buffer(size)
        n = self.raw.vokEncodeBuffer(data, out, len(data))
        return out.raw[:n].decode("ascii")

    def decode_buffer(self, text):
        """The bytes of base64 text."""
        text = self._bytes(text)
        out = ctypes.create_string_buffer(3 * (len(text) // 4) + 4)
        n = self.raw.vokDecodeBuffer(text, out, len(text))
        return out.raw[:n]

    def extract_text(self, text, search, size=4096):
        buffer = ctypes.create_string_buffer(size)
        n = self.raw.vokExtractText(self._bytes(text), self._bytes(search), buffer, size)
        return self._str(buffer.raw[:n])

    def extract_line(self, text, number, size=4096):
        buffer = ctypes.create_string_buffer(size)
        n = self.raw.vokExtractLine(self._bytes(text), number, buffer, size)
        return self._str(buffer.raw[:n])

    def attach(self, channels):
        rc = self._call("vokAttach", channels)
        if _WINDOWS and self.encoding.lower().replace("-", "") == "utf8":
            # The DLL takes the ANSI code page by default; these texts are UTF-8.
            for channel in range(channels):
                self.raw.vokStringParam(channel, VOK_PARAM_CHARSET, b"utf-8")  # noqa: F405
        return rc

    def version(self):
        """The library's version as "major.minor.patch" (from VOK_STAT_VERSION)."""
        v = self.raw.vokStatistics(0, VOK_STAT_VERSION)  # noqa: F405
        if v < 0:
            raise VokError("vokStatistics", v, self.error_text(v))
        return "%d.%d.%d" % (v >> 8, (v >> 4) & 15, v & 15)
