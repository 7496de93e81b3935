#!/usr/bin/env python3
"""Checks of the tag writer on the build machine: its refusals, its output's
layout, and Authenticode verification of the tagged fixtures with
osslsigncode.

Usage: tag_writer_test.py FIXTURE_DIR (made by make_tag_fixtures.sh)."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TAG_WRITER = os.path.join(HERE, "tag_writer.py")
FIXTURES = None


def fixture(name):
    return os.path.join(FIXTURES, name)


def run_writer(*args):
    return subprocess.run([sys.executable, TAG_WRITER, *args],
                          capture_output=True, text=True)


def verify(path):
    return subprocess.run(
        ["osslsigncode", "verify", "-CAfile", fixture("pki/root.pem"), "-in", path],
        capture_output=True, text=True)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def certificate_table(path):
    data = read(path)
    (lfanew,) = struct.unpack_from("<I", data, 0x3C)
    (magic,) = struct.unpack_from("<H", data, lfanew + 24)
    # The security entry of the data directory: PE32 or PE32+ (64-bit
    # test builds).
    entry = lfanew + 24 + (128 if magic == 0x10B else 144)
    offset, size = struct.unpack_from("<II", data, entry)
    return data, offset, size


class TagWriterTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.out = os.path.join(self.tmp.name, "out.exe")

    def tearDown(self):
        self.tmp.cleanup()

    def assertRefused(self, result, message):
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertIn(message, result.stderr)
        self.assertFalse(os.path.exists(self.out))

    def test_refuses_unsigned_input(self):
        for command in ("add-certificate", "append-block", "fill-certificate"):
            self.assertRefused(
                run_writer(command, "--tag", "a=1", fixture("unsigned.exe"), self.out),
                "is not signed")

    def test_refuses_characters_outside_printable_ascii(self):
        for tag in ("a=1\n", "a=\u00e9", "a\x7fb", "tab\there"):
            self.assertRefused(
                run_writer("add-certificate", "--tag", tag, fixture("untagged.exe"),
                           self.out),
                "printable ASCII")

    def test_refuses_tag_that_does_not_fit(self):
        self.assertRefused(
            run_writer("fill-certificate", "--tag", "x" * 257,
                       fixture("reserved_empty.exe"), self.out),
            "does not fit the 256 bytes reserved")
        self.assertRefused(
            run_writer("add-certificate", "--reserve", "8", "--tag", "x" * 9,
                       fixture("untagged.exe"), self.out),
            "does not fit the 8 bytes reserved")
        self.assertRefused(
            run_writer("fill-certificate", "--tag", "a=1", fixture("untagged.exe"),
                       self.out),
            "holds no dummy certificate")
        self.assertRefused(
            run_writer("append-block", "--tag", "x" * 65536, fixture("untagged.exe"),
                       self.out),
            "at most 65535 fit")

    def test_refuses_input_that_is_no_executable(self):
        junk = os.path.join(self.tmp.name, "junk.exe")
        with open(junk, "wb") as f:
            f.write(b"MZ" + bytes(100))
        self.assertRefused(run_writer("append-block", "--tag", "a", junk, self.out),
                           "is not a Windows executable")

    def test_fill_keeps_size_and_writes_in_place(self):
        result = run_writer("fill-certificate", "--tag", "a=" + "y" * 254,
                            fixture("reserved_empty.exe"), self.out)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(os.path.getsize(fixture("reserved_empty.exe")),
                         os.path.getsize(self.out))
        self.assertIn(b"\x01\x00a=" + b"y" * 254, read(self.out))
        self.assertEqual(0, verify(self.out).returncode)

    def test_table_layout(self):
        # The table ends the file, its dwLength matches the directory, and
        # the block sits where the installer looks for it.
        for name in ("certificate_tag.exe", "appended_tag.exe", "two_certificates.exe"):
            data, offset, size = certificate_table(fixture(name))
            self.assertEqual(len(data), offset + size, name)
            self.assertEqual(0, size % 8, name)
            (length,) = struct.unpack_from("<I", data, offset)
            self.assertEqual(size, length, name)
        data, offset, _ = certificate_table(fixture("appended_tag.exe"))
        self.assertEqual(b"\x30\x82", data[offset + 8:offset + 10])
        (l,) = struct.unpack_from(">H", data, offset + 10)
        block = offset + ((l + 19) & ~7)
        self.assertEqual(b"Nact\x00\x14brand_id=b&banerid=2", data[block:block + 26])

    def test_replacing_an_appended_block(self):
        result = run_writer("append-block", "--tag", "k=2", fixture("appended_tag.exe"),
                            self.out)
        self.assertEqual(0, result.returncode, result.stderr)
        data = read(self.out)
        self.assertEqual(1, data.count(b"Nact"))
        self.assertTrue(data.rstrip(b"\0").endswith(b"Nact\x00\x03k=2"))

    def test_adding_a_certificate_keeps_an_appended_block(self):
        result = run_writer("add-certificate", "--tag", "c=1", fixture("appended_tag.exe"),
                            self.out)
        self.assertEqual(0, result.returncode, result.stderr)
        data = read(self.out)
        self.assertIn(b"Nact\x00\x14brand_id=b&banerid=2", data)
        self.assertEqual(0, verify(self.out).returncode)

    def test_fixtures_verify_with_osslsigncode(self):
        for name in sorted(os.listdir(FIXTURES)):
            if not name.endswith(".exe") or name in ("unsigned.exe", "tampered.exe"):
                continue
            with self.subTest(name=name):
                result = verify(fixture(name))
                self.assertEqual(0, result.returncode, result.stdout + result.stderr)
                self.assertIn("Succeeded", result.stdout)
                self.assertNotIn("MISMATCH", result.stdout)
        # The check can fail.
        self.assertNotEqual(0, verify(fixture("tampered.exe")).returncode)


if __name__ == "__main__":
    FIXTURES = sys.argv.pop(1)
    unittest.main(verbosity=1)
