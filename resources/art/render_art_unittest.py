#!/usr/bin/env python3
"""The art pipeline: rendered sizes, the icon file, and the refusals."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "render_art.py")
sys.path.insert(0, HERE)
import render_art  # noqa: E402

SQUARE = ('<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10">'
          '<rect width="10" height="10" fill="#123456"/>%s</svg>')
WIDE = ('<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 30 10">'
        '<rect width="30" height="10" fill="#ff0000"/></svg>')


class RenderArtTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.out = os.path.join(self.dir, "out")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write(self, name, text):
        with open(os.path.join(self.dir, name), "w", encoding="utf-8") as f:
            f.write(text)

    def run_list(self, lines):
        self.write("art.list", "\n".join(lines) + "\n")
        return subprocess.run(
            [sys.executable, SCRIPT, os.path.join(self.dir, "art.list"), self.out,
             os.path.join(self.out, "art.rc"), "--contact-sheet",
             os.path.join(self.out, "sheet.html")],
            capture_output=True, text=True)

    def test_pictures_at_both_scales_and_the_icon(self):
        self.write("square.svg", SQUARE % "")
        self.write("wide.svg", WIDE)
        result = self.run_list(["icon 900 square.svg 16 48 256",
                                "picture 2234 2235 wide.svg 120 40 png",
                                "picture 104 - wide.svg 30 10 jpg"])
        self.assertEqual(result.returncode, 0, result.stderr)
        size = render_art.pixel_size
        self.assertEqual(size(os.path.join(self.out, "wide_2234.png")), (120, 40))
        self.assertEqual(size(os.path.join(self.out, "wide_2235.png")), (240, 80))
        self.assertEqual(size(os.path.join(self.out, "wide_104.jpg")), (30, 10))
        with open(os.path.join(self.out, "square.ico"), "rb") as f:
            ico = f.read()
        self.assertEqual(struct.unpack("<HHH", ico[:6]), (0, 1, 3))
        # Directory sizes (256 is written 0), each pointing at a PNG.
        for i, expected in enumerate((16, 48, 0)):
            width, height, _, _, _, bits, length, offset = struct.unpack(
                "<BBBBHHII", ico[6 + 16 * i:22 + 16 * i])
            self.assertEqual((width, height, bits), (expected, expected, 32))
            self.assertEqual(ico[offset:offset + 8], b"\x89PNG\r\n\x1a\n")
            self.assertLessEqual(offset + length, len(ico))
        with open(os.path.join(self.out, "art.rc"), encoding="utf-8") as f:
            rc = f.read()
        self.assertIn('900 ICON "%s/square.ico"' % self.out, rc)
        self.assertIn('2235 RCDATA "%s/wide_2235.png"' % self.out, rc)
        with open(os.path.join(self.out, "sheet.html"), encoding="utf-8") as f:
            sheet = f.read()
        for name in ("square_16.png", "square_256.png", "wide_2234.png",
                     "wide_2235.png", "wide_104.jpg"):
            self.assertIn(name, sheet)

    def test_text_in_an_svg_is_refused(self):
        self.write("label.svg", SQUARE % '<text x="1" y="8">N</text>')
        result = self.run_list(["icon 900 label.svg 16"])
        self.assertEqual(result.returncode, 1)
        self.assertIn("label.svg holds text", result.stderr)

    def test_an_aspect_other_than_the_list_is_refused(self):
        self.write("wide.svg", WIDE)
        result = self.run_list(["picture 2234 - wide.svg 120 41 png"])
        self.assertEqual(result.returncode, 1)
        self.assertIn("wide.svg has the aspect 3.0000, the list asks for 2.9268",
                      result.stderr)

    def test_a_size_other_than_the_list_is_refused(self):
        self.write("wide.svg", WIDE)
        self.assertEqual(self.run_list(["picture 2234 - wide.svg 30 10 png"]).returncode, 0)
        png = os.path.join(self.out, "wide_2234.png")
        with self.assertRaisesRegex(render_art.ArtError,
                                    "is 30x10 pixels, the list asks for 60x20"):
            render_art.check_size(png, (60, 20), "art.list:1")

    def test_unreadable_lines_are_refused(self):
        result = self.run_list(["picture - - wide.svg 30 10 png"])
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot read", result.stderr)


if __name__ == "__main__":
    unittest.main()
