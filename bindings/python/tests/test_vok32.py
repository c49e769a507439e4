# SPDX-License-Identifier: MIT
"""The vok32 package against the library it loads (VOK32_LIBRARY): every
constant of vok32.h does what the header says, and the package turns
results into exceptions and texts into str.

    VOK32_LIBRARY=build/libvok32.so PYTHONPATH=bindings/python \\
        python3 -m unittest discover -s bindings/python/tests
"""
import os
import tempfile
import unittest

import vok32
from vok32 import _header


def names(kind):
    """Number -> name of the constants of one table of vok32.h."""
    return {getattr(vok32, n): n for n, k in _header.KINDS.items() if k == kind}


class HeaderAgainstLibrary(unittest.TestCase):
    """Each named index and code is one the library knows; the numbers
    between them are not."""

    @classmethod
    def setUpClass(cls):
        cls.lib = vok32.Vok32()
        cls.raw = cls.lib.raw
        cls.raw.vokRelease()
        cls.lib.attach(1)
        cls.tmp = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.raw.vokRelease()
        cls.tmp.cleanup()

    def test_integer_parameters(self):
        known = names("int")
        for index in range(-2, 100):
            # 0 is a valid value of every integer parameter.
            rc = self.raw.vokIntegerParam(0, index, 0)
            with self.subTest(index=index, name=known.get(index)):
                self.assertEqual(rc, 1 if index in known else -1)
        self.raw.vokIntegerParam(0, vok32.VOK_PARAM_AUTO_CALL, 1)

    def test_string_parameters(self):
        known = names("str")
        special = {vok32.VOK_PARAM_LOG_FILE: os.path.join(self.tmp.name, "log.txt").encode(),
                   vok32.VOK_PARAM_SAVE_BUFFER: os.path.join(self.tmp.name, "buf.txt").encode()}
        for index in range(-2, 100):
            rc = self.raw.vokStringParam(0, index, special.get(index, b"utf-8"))
            with self.subTest(index=index, name=known.get(index)):
                if index == vok32.VOK_PARAM_SAVE_BUFFER:
                    self.assertEqual(rc, vok32.VOK_NULL_POINTER)  # no message buffer yet
                elif index in known:
                    self.assertGreaterEqual(rc, 0)
                else:
                    self.assertEqual(rc, -1)

    def test_statistics(self):
        known = names("stat")
        for index in range(-2, 100):
            rc = self.raw.vokStatistics(0, index)
            with self.subTest(index=index, name=known.get(index)):
                if index == vok32.VOK_STAT_TIMER_MS:
                    self.assertEqual(rc, -1)  # an idle channel has no timer
                elif index in known:
                    self.assertNotEqual(rc, -1)
                else:
                    self.assertEqual(rc, -1)
        self.assertEqual(self.raw.vokStatistics(0, vok32.VOK_STAT_VERSION), vok32.VOK_VERSION)
        self.assertEqual(self.raw.vokStatistics(0, vok32.VOK_STAT_BUILD), vok32.VOK_BUILD)
        self.assertEqual(vok32.VOK_VERSION, (vok32.VOK_VERSION_MAJOR << 8)
                         | (vok32.VOK_VERSION_MINOR << 4) | vok32.VOK_VERSION_PATCH)

    def test_debug_codes(self):
        known = names("debug")
        buffer = vok32.ctypes.create_string_buffer(201)
        for code in range(-20, 100):
            self.raw.vokDebug(0, code, buffer, 200)
            text = buffer.value
            with self.subTest(code=code, name=known.get(code)):
                if code in known:
                    self.assertNotEqual(text, b"?")
                else:
                    self.assertEqual(text, b"?")

    def test_every_result_code_has_its_text(self):
        self.assertTrue(_header.ERROR_TEXTS)
        for code, text in _header.ERROR_TEXTS.items():
            with self.subTest(code=code):
                # -36, -49 and -63 add the server's reply, empty here.
                self.assertEqual(self.lib.error_text(code), text)
        for code in (-2, -74, -99, 1, 9999):
            self.assertEqual(self.lib.error_text(code), "")


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.lib = vok32.Vok32()

    def test_errors_carry_code_and_text(self):
        self.lib.raw.vokRelease()
        with self.assertRaises(vok32.VokError) as caught:
            self.lib.statistics(0, vok32.VOK_STAT_VERSION)
        self.assertEqual(caught.exception.code, vok32.VOK_NOT_ATTACHED)
        self.assertEqual(caught.exception.text, "Must call vokAttach first.")
        self.lib.attach(1)
        try:
            with self.assertRaises(vok32.VokError) as caught:
                self.lib.attach(1)
            self.assertEqual(caught.exception.code, vok32.VOK_ALREADY_ATTACHED)
            with self.assertRaises(vok32.VokError) as caught:
                self.lib.send_email(0, "<ann@example.com>", subject="x", message="y")
            self.assertEqual(caught.exception.code, vok32.VOK_SMTP_ONLY)
            self.assertEqual(self.lib.version(), vok32.__version__)
        finally:
            self.lib.release()

    def test_texts_as_str_or_bytes(self):
        self.assertEqual(self.lib.verify_format("Zoë Åberg <zoe@example.com>"), 1)
        self.assertEqual(self.lib.verify_format(b"<zoe@example.com>"), 1)
        with self.assertRaises(vok32.VokError) as caught:
            self.lib.verify_format("zoe@example.com")
        self.assertEqual(caught.exception.code, vok32.VOK_MISSING_LT)

    def test_codec_and_extract(self):
        data = bytes(range(256)) * 3
        text = self.lib.encode_buffer(data)
        self.assertTrue(all(len(line) <= 76 for line in text.split("\r\n")))
        self.assertEqual(self.lib.decode_buffer(text), data)
        mail = "From: a\r\nSubject: Grüße\r\n\r\nbody\r\n"
        self.assertEqual(self.lib.extract_text(mail, "Subject:"), "Subject: Grüße\r\n")
        self.assertEqual(self.lib.extract_line(mail, 1), "From: a\r\n")


if __name__ == "__main__":
    unittest.main()
