#!/usr/bin/env python3
"""Makes the installer's three private font faces from Debian's Noto fonts.

  make_fonts.py STRINGS_DIR OUT_DIR OUT_RC [--report OUT_TXT]

Each face is Noto Sans (Latin, Cyrillic) of its weight, subset to the
characters of every string table plus printable ASCII, with the Han and kana
glyphs the tables need taken from Noto Sans CJK of the same weight (its
PostScript outlines converted to TrueType curves, so the face stays one
TrueType font). The family is renamed to the name the windows ask for.
Both sources are under the SIL Open Font License 1.1 (LICENSE-OFL.txt here);
the licence travels inside each face (name records 13 and 14).

After writing, every face is read back and its character map is checked
against every character of every string: a missing character fails the build
with the face, language, string id and character. OUT_RC gets the RT_FONT
lines (2087, 2088, 2090).

Needs python3-fonttools and the Debian packages fonts-noto-core,
fonts-noto-extra, fonts-noto-cjk and fonts-noto-cjk-extra.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "strings"))

import string_tables  # noqa: E402

from fontTools.pens.cu2quPen import Cu2QuPen  # noqa: E402
from fontTools.pens.ttGlyphPen import TTGlyphPen  # noqa: E402
from fontTools.subset import Options, Subsetter  # noqa: E402
from fontTools.ttLib import TTFont  # noqa: E402

NOTO = "/usr/share/fonts/truetype/noto"
NOTO_CJK = "/usr/share/fonts/opentype/noto"
# Index of the Simplified Chinese member in the Noto Sans CJK collections.
# One member serves the three CJK tables: GDI applies no per-language glyph
# forms, so a face can carry only one shape per character anyway.
CJK_MEMBER = 2

# (resource id, face, weight, file name, Latin source, CJK source)
FACES = [
    (2087, "NS Geo Regular", 400, "ns_geo_regular.ttf",
     "NotoSans-Regular.ttf", "NotoSansCJK-Regular.ttc"),
    (2088, "NS Geo Medium", 500, "ns_geo_medium.ttf",
     "NotoSans-Medium.ttf", "NotoSansCJK-Medium.ttc"),
    (2090, "NS Text", 400, "ns_text.ttf",
     "NotoSans-Regular.ttf", "NotoSansCJK-Regular.ttc"),
]

LICENSE = ("This Font Software is licensed under the SIL Open Font License, "
           "Version 1.1. Made from Noto Sans and Noto Sans CJK: subset and "
           "renamed.")
LICENSE_URL = "https://openfontlicense.org"
# Curve conversion tolerance in font units (1000 per em): below a pixel up
# to 200-pixel glyphs, and coarse enough to keep the point count down.
CU2QU_MAX_ERR = 1.5


def string_characters(strings_dir):
    """{character: [(language, id), ...]} over every table."""
    tables, faults = string_tables.read_tables(strings_dir)
    if faults:
        raise SystemExit("make_fonts: string tables: " + "; ".join(faults))
    where = {}
    for code, table in sorted(tables.items()):
        for sid, text in sorted(table.texts.items()):
            for ch in text:
                if ch in "\n\r\t":
                    continue
                where.setdefault(ch, []).append((code, sid))
    return where


def needed_codepoints(where):
    points = {ord(c) for c in where}
    points.update(range(0x20, 0x7F))
    return points


def subset_latin(path, points):
    font = TTFont(path)
    have = set(font.getBestCmap())
    options = Options()
    options.hinting = False          # GDI's own rasteriser hints well enough
    options.layout_features = ["kern", "ccmp", "mark", "mkmk", "locl"]
    options.name_IDs = [0]           # the copyright; the rest is rewritten
    options.notdef_outline = True
    options.glyph_names = False
    subsetter = Subsetter(options)
    subsetter.populate(unicodes=sorted(points & have))
    subsetter.subset(font)
    return font


def add_cjk_glyphs(font, cjk_path, points):
    """Copies the glyphs of `points` missing from `font` out of the CJK
    collection; returns the code points neither source has and the CJK
    font's copyright line."""
    cmap = font.getBestCmap()
    wanted = sorted(p for p in points if p not in cmap)
    cjk = TTFont(cjk_path, fontNumber=CJK_MEMBER, lazy=True)
    if cjk["head"].unitsPerEm != font["head"].unitsPerEm:
        raise SystemExit("make_fonts: %s: units per em differ" % cjk_path)
    cjk_cmap = cjk.getBestCmap()
    glyph_set = cjk.getGlyphSet()
    cjk_metrics = cjk["hmtx"].metrics
    glyf = font["glyf"]
    hmtx = font["hmtx"]
    order = list(font.getGlyphOrder())
    added = {}
    missing = []
    for point in wanted:
        source = cjk_cmap.get(point)
        if source is None:
            missing.append(point)
            continue
        name = "cjk%04X" % point
        tt_pen = TTGlyphPen(None)
        glyph_set[source].draw(Cu2QuPen(tt_pen, CU2QU_MAX_ERR,
                                        reverse_direction=True))
        glyph = tt_pen.glyph()
        glyph.recalcBounds(glyf)
        glyf[name] = glyph
        advance = cjk_metrics[source][0]
        hmtx[name] = (advance, getattr(glyph, "xMin", 0))
        order.append(name)
        added[point] = name
    font.setGlyphOrder(order)
    glyf.glyphOrder = order
    for table in font["cmap"].tables:
        if table.isUnicode():
            table.cmap.update(added)
    return missing, cjk["name"].getDebugName(0)


def rename(font, face, weight, cjk_copyright):
    name = font["name"]
    copyright_text = name.getDebugName(0)
    postscript = face.replace(" ", "")
    name.names = []
    records = {
        0: "Noto Sans: %s Noto Sans CJK: %s" % (copyright_text, cjk_copyright),
        1: face,
        2: "Regular",
        3: postscript + "-Installer",
        4: face,
        5: "Version 1.000",
        6: postscript,
        13: LICENSE,
        14: LICENSE_URL,
    }
    for name_id, text in records.items():
        name.setName(text, name_id, 3, 1, 0x409)
    os2 = font["OS/2"]
    os2.usWeightClass = weight
    os2.fsSelection = (os2.fsSelection & ~0b1100001) | 0b1000000  # REGULAR
    font["head"].macStyle = 0
    if "post" in font:
        font["post"].formatType = 3.0  # no glyph names
    for tag in ("DSIG", "STAT", "fvar", "gasp"):
        if tag in font:
            del font[tag]


def check_coverage(path, face, where):
    cmap = TTFont(path).getBestCmap()
    faults = []
    for ch, places in sorted(where.items()):
        if ord(ch) not in cmap:
            code, sid = places[0]
            faults.append("%s lacks U+%04X (%s %d)" % (face, ord(ch), code, sid))
    return faults


def main(argv):
    args = argv[1:]
    report = None
    if "--report" in args:
        i = args.index("--report")
        report = args[i + 1]
        del args[i:i + 2]
    if len(args) != 3:
        sys.stderr.write(__doc__)
        return 2
    strings_dir, out_dir, out_rc = args
    where = string_characters(strings_dir)
    points = needed_codepoints(where)
    os.makedirs(out_dir, exist_ok=True)
    faults = []
    lines = ["// Private font faces (resources/fonts/make_fonts.py)."]
    summary = []
    for rid, face, weight, file_name, latin, cjk in FACES:
        font = subset_latin(os.path.join(NOTO, latin), points)
        missing, cjk_copyright = add_cjk_glyphs(font, os.path.join(NOTO_CJK, cjk), points)
        for point in missing:
            faults.append("%s: neither %s nor %s has U+%04X" % (face, latin, cjk, point))
        rename(font, face, weight, cjk_copyright)
        path = os.path.join(out_dir, file_name)
        font.save(path)
        faults += check_coverage(path, face, where)
        lines.append('%d FONT "%s"' % (rid, path.replace("\\", "/")))
        summary.append("%d %s %d %d bytes %d glyphs" % (
            rid, face, weight, os.path.getsize(path),
            len(TTFont(path).getGlyphOrder())))
    if faults:
        sys.stderr.write("make_fonts: coverage faults:\n  " + "\n  ".join(faults) + "\n")
        return 1
    with open(out_rc, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    if report:
        with open(report, "w", encoding="utf-8", newline="\n") as f:
            f.write("\n".join(summary) + "\n")
    print("\n".join(summary))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
