#!/usr/bin/env python3
"""Renders the installer's SVG art into the pictures its resources carry.

  render_art.py LIST OUT_DIR OUT_RC [--contact-sheet HTML] [--convert PATH]

LIST names one output a line ("#" starts a comment), paths relative to the
list's folder:
  icon <id> <svg> <size>...
      an icon group: the SVG rendered square at each size (PNG entries)
  picture <scale-1 id|-> <scale-2 id|-> <svg> <width> <height> <png|jpg>
      a picture at scale 1 (width x height) and scale 2 (twice that), each
      under its own RT_RCDATA id; "-" leaves that scale out

Every picture is rendered with rsvg-convert (JPEG through ImageMagick's
convert, on white), then its pixel size is read back from the file and
compared with the list: any difference fails the build. SVGs must hold
outlines only: a <text> element would depend on the fonts of the machine
that renders it. The SVG's view box must have the aspect of the listed
size, so that nothing is stretched. Writes OUT_RC (the resource lines) and
optionally a contact sheet of every picture for a person to look at.
Standard library only.
"""

import html
import os
import re
import struct
import subprocess
import sys


class ArtError(Exception):
    pass


def parse_list(path):
    entries = []
    base = os.path.dirname(os.path.abspath(path))
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            where = "%s:%d" % (path, number)
            try:
                if words[0] == "icon" and len(words) >= 4:
                    entries.append({"kind": "icon", "id": int(words[1]),
                                    "svg": os.path.join(base, words[2]),
                                    "sizes": [int(w) for w in words[3:]], "where": where})
                elif words[0] == "picture" and len(words) == 7:
                    ids = [None if w == "-" else int(w) for w in words[1:3]]
                    if ids == [None, None] or words[6] not in ("png", "jpg"):
                        raise ValueError
                    entries.append({"kind": "picture", "ids": ids,
                                    "svg": os.path.join(base, words[3]),
                                    "size": (int(words[4]), int(words[5])),
                                    "format": words[6], "where": where})
                else:
                    raise ValueError
            except ValueError:
                raise ArtError("%s: cannot read %r" % (where, line.strip()))
    return entries


def check_svg(entry, aspect):
    with open(entry["svg"], encoding="utf-8") as f:
        svg = f.read()
    if re.search(r"<(?:\w+:)?(?:text|tspan|textPath)\b", svg):
        raise ArtError("%s: %s holds text; convert it to outlines"
                       % (entry["where"], entry["svg"]))
    m = re.search(r'viewBox\s*=\s*"\s*([-\d.]+)[\s,]+([-\d.]+)[\s,]+([\d.]+)[\s,]+([\d.]+)\s*"', svg)
    if not m:
        raise ArtError("%s: %s has no viewBox" % (entry["where"], entry["svg"]))
    box = float(m.group(3)) / float(m.group(4))
    if abs(box - aspect) > 0.005 * aspect:
        raise ArtError("%s: %s has the aspect %.4f, the list asks for %.4f"
                       % (entry["where"], entry["svg"], box, aspect))


def pixel_size(path):
    """(width, height) read from a PNG or JPEG file's header."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR":
        return struct.unpack(">II", data[16:24])
    if data[:2] == b"\xff\xd8":
        i = 2
        while i + 9 < len(data):
            if data[i] != 0xFF:
                break
            marker = data[i + 1]
            length = struct.unpack(">H", data[i + 2:i + 4])[0]
            # Start-of-frame markers (not DHT, JPG or DAC) carry the size.
            if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
                height, width = struct.unpack(">HH", data[i + 5:i + 9])
                return width, height
            i += 2 + length
    raise ArtError("%s: neither a PNG nor a JPEG file" % path)


def render(svg, width, height, out, fmt, convert):
    png = out if fmt == "png" else out + ".png"
    subprocess.run(["rsvg-convert", "-w", str(width), "-h", str(height),
                    "-f", "png", "-o", png, svg], check=True)
    if fmt == "jpg":
        subprocess.run([convert, png, "-background", "white", "-flatten",
                        "-strip", "-quality", "80", out], check=True)
        os.remove(png)


def check_size(path, expected, where):
    actual = tuple(pixel_size(path))
    if actual != tuple(expected):
        raise ArtError("%s: %s is %dx%d pixels, the list asks for %dx%d"
                       % (where, path, actual[0], actual[1], expected[0], expected[1]))


def write_icon(pngs, out):
    """An icon file whose entries are PNG images (Windows Vista and later)."""
    images = []
    for png in pngs:
        with open(png, "rb") as f:
            images.append(f.read())
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory = b""
    for png, data in zip(pngs, images):
        width, height = pixel_size(png)
        # 256 is written as 0 in the one-byte size fields.
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                                 len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(header + directory + b"".join(images))


def rc_path(path):
    return '"%s"' % path.replace("\\", "/")


def build(list_path, out_dir, convert):
    os.makedirs(out_dir, exist_ok=True)
    rc_lines = ["// Generated by render_art.py from %s: do not edit."
                % os.path.basename(list_path)]
    sheet = []  # (title, [(path, width, height)])
    for entry in parse_list(list_path):
        stem = os.path.splitext(os.path.basename(entry["svg"]))[0]
        if entry["kind"] == "icon":
            check_svg(entry, 1.0)
            pngs = []
            for size in entry["sizes"]:
                png = os.path.join(out_dir, "%s_%d.png" % (stem, size))
                render(entry["svg"], size, size, png, "png", convert)
                check_size(png, (size, size), entry["where"])
                pngs.append(png)
            ico = os.path.join(out_dir, "%s.ico" % stem)
            write_icon(pngs, ico)
            rc_lines.append("%d ICON %s" % (entry["id"], rc_path(ico)))
            sheet.append(("icon %d (%s)" % (entry["id"], stem),
                          [(p, s, s) for p, s in zip(pngs, entry["sizes"])]))
            continue
        width, height = entry["size"]
        check_svg(entry, width / height)
        shown = []
        for scale, rid in ((1, entry["ids"][0]), (2, entry["ids"][1])):
            if rid is None:
                continue
            size = (width * scale, height * scale)
            out = os.path.join(out_dir, "%s_%d.%s" % (stem, rid, entry["format"]))
            render(entry["svg"], size[0], size[1], out, entry["format"], convert)
            check_size(out, size, entry["where"])
            rc_lines.append("%d RCDATA %s" % (rid, rc_path(out)))
            shown.append((out, size[0], size[1]))
        sheet.append(("%s, ids %s" % (stem, " / ".join(
            "-" if i is None else str(i) for i in entry["ids"])), shown))
    return rc_lines, sheet


def write_sheet(sheet, path):
    parts = ["<!doctype html><meta charset=utf-8><title>Installer art</title>",
             "<style>figure{display:inline-block;margin:8px;vertical-align:top}"
             "img{background:repeating-conic-gradient(#ddd 0 25%,#fff 0 50%) 0 0/16px 16px}"
             "</style>"]
    for title, images in sheet:
        parts.append("<h3>%s</h3>" % html.escape(title))
        for image, width, height in images:
            parts.append('<figure><img src="%s" width=%d height=%d>'
                         "<figcaption>%d x %d</figcaption></figure>"
                         % (html.escape(os.path.basename(image)), width, height, width, height))
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(parts))


def main(argv):
    args = argv[1:]
    options = {}
    for name in ("--contact-sheet", "--convert"):
        if name in args:
            i = args.index(name)
            options[name] = args[i + 1]
            del args[i:i + 2]
    if len(args) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    list_path, out_dir, out_rc = args
    try:
        rc_lines, sheet = build(list_path, out_dir, options.get("--convert", "convert"))
    except ArtError as e:
        print("art: %s" % e, file=sys.stderr)
        return 1
    except subprocess.CalledProcessError as e:
        print("art: %s failed with exit code %d" % (" ".join(e.cmd), e.returncode),
              file=sys.stderr)
        return 1
    with open(out_rc, "w", encoding="utf-8") as f:
        f.write("\n".join(rc_lines) + "\n")
    if "--contact-sheet" in options:
        write_sheet(sheet, options["--contact-sheet"])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
