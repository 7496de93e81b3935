#!/usr/bin/env python3
"""The installer's string tables: sources, checker, generator, review table.

Sources are one UTF-8 file per language in this folder, named by the
language's interface code ("ru.txt", "pt-BR.txt"). A line is "<id> <text>";
"#" starts a comment line; "@allow <id> <reason>" lets that language keep a
text equal to English (and without its own script), such as a brand name.
Escapes in texts: "\\n" line break, "\\\\" backslash, "\\uXXXX" one UTF-16
unit ("\\u00a0" is the no-break space).

  string_tables.py check SOURCES_DIR
  string_tables.py generate SOURCES_DIR OUT_RC OUT_JSON [OUT_REVIEW_HTML]

`generate` checks first and writes nothing when a check fails. Standard
library only: the build machines reach no package index.
"""

import html
import json
import os
import re
import sys

# Interface code -> Windows language identifier. The same table as the
# brand's language codes (brand/language.cc), plus English.
LANGUAGES = {
    "zh-TW": 1028,
    "cs": 1029,
    "de": 1031,
    "en": 1033,
    "fr": 1036,
    "it": 1040,
    "ja": 1041,
    "pt-BR": 1046,
    "ru": 1049,
    "tr": 1055,
    "uk": 1058,
    "kk": 1087,
    "uz": 1091,
    "zh-CN": 2052,
    "pt-PT": 2070,
    "es": 3082,
}
ENGLISH = "en"
FIRST_ID = 400
LAST_ID = 510
# Identifiers no language carries: the notices that use them show nothing.
ABSENT_IDS = (476, 478)
REQUIRED_IDS = [i for i in range(FIRST_ID, LAST_ID + 1) if i not in ABSENT_IDS]

# Scripts a language's texts must be written in (at least one character),
# as (first, last) code point ranges.
CYRILLIC = [(0x0400, 0x04FF)]
KANA_AND_KANJI = [(0x3040, 0x30FF), (0x4E00, 0x9FFF)]
HAN = [(0x4E00, 0x9FFF)]
SCRIPTS = {
    "ru": ("Cyrillic", CYRILLIC),
    "uk": ("Cyrillic", CYRILLIC),
    "kk": ("Cyrillic", CYRILLIC),
    "ja": ("Japanese", KANA_AND_KANJI),
    "zh-CN": ("Chinese", HAN),
    "zh-TW": ("Chinese", HAN),
}
# Pairs of languages whose tables must not be copies of each other.
DISTINCT_PAIRS = [("pt-PT", "pt-BR"), ("zh-TW", "zh-CN")]

# printf conversions (the tables use only "%i") and the link marks.
FORMAT_RE = re.compile(r"%[-+ #0]*\d*(?:\.\d+)?[a-zA-Z%]")


class Table:
    def __init__(self, code):
        self.code = code
        self.texts = {}    # id -> text
        self.allowed = {}  # id -> reason
        self.faults = []   # parse faults: (id or None, message)


def decode(text):
    """Resolves the escapes of a source text; raises ValueError."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        nxt = text[i + 1:i + 2]
        if nxt == "n":
            out.append("\n")
            i += 2
        elif nxt == "\\":
            out.append("\\")
            i += 2
        elif nxt == "u" and re.fullmatch(r"[0-9a-fA-F]{4}", text[i + 2:i + 6]):
            out.append(chr(int(text[i + 2:i + 6], 16)))
            i += 6
        else:
            raise ValueError("unknown escape \\" + nxt)
    return "".join(out)


def read_table(path, code):
    table = Table(code)
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for number, line in enumerate(lines, 1):
        line = line.rstrip("\r")
        if not line or line.startswith("#"):
            continue
        where = "line %d" % number
        m = re.fullmatch(r"@allow (\d+)(?: (.*))?", line)
        if m:
            if not (m.group(2) or "").strip():
                table.faults.append((int(m.group(1)), "allow-list entry without a reason"))
            table.allowed[int(m.group(1))] = m.group(2)
            continue
        m = re.fullmatch(r"(\d+)(?: (.*))?", line)
        if not m:
            table.faults.append((None, where + ": not \"<id> <text>\""))
            continue
        sid = int(m.group(1))
        if sid in table.texts:
            table.faults.append((sid, "given twice (%s)" % where))
            continue
        try:
            table.texts[sid] = decode(m.group(2) or "")
        except ValueError as e:
            table.faults.append((sid, str(e)))
    return table


def read_tables(folder):
    """All tables of `folder`, by code; faults for missing or extra files."""
    tables = {}
    faults = []
    present = {n[:-4] for n in os.listdir(folder) if n.endswith(".txt")}
    for code in sorted(LANGUAGES):
        if code not in present:
            faults.append("%s: language missing (no %s.txt)" % (code, code))
            continue
        tables[code] = read_table(os.path.join(folder, code + ".txt"), code)
    extra = present - set(LANGUAGES) - {"where_shown"}
    for code in sorted(extra):
        faults.append("%s: not a language of the installer (%s.txt)" % (code, code))
    return tables, faults


def marks(text):
    """The printf conversions and link marks of a text, in order."""
    found = []
    for m in re.finditer(r"\(\(|\)\)|" + FORMAT_RE.pattern, text):
        found.append(m.group(0))
    return found


def in_script(text, ranges):
    return any(lo <= ord(c) <= hi for c in text for lo, hi in ranges)


def check(tables, faults):
    """Appends "<language> id <id>: <fault>" lines to `faults`."""
    english = tables.get(ENGLISH)
    for code, table in sorted(tables.items()):
        for sid, message in table.faults:
            faults.append("%s id %s: %s" % (code, sid if sid is not None else "-", message))
        for sid in REQUIRED_IDS:
            text = table.texts.get(sid)
            if text is None:
                faults.append("%s id %d: missing" % (code, sid))
            elif not text:
                faults.append("%s id %d: empty" % (code, sid))
            elif any(ord(c) < 0x20 and c != "\n" or ord(c) == 0x7F for c in text):
                faults.append("%s id %d: control character other than a line break"
                              % (code, sid))
        for sid in sorted(table.texts):
            if sid in ABSENT_IDS:
                faults.append("%s id %d: present, but no language carries it" % (code, sid))
            elif sid not in REQUIRED_IDS:
                faults.append("%s id %d: not a string id of the installer" % (code, sid))
        for sid in sorted(table.allowed):
            if sid not in REQUIRED_IDS:
                faults.append("%s id %d: allow-list names an id without a text" % (code, sid))
        if english is None or code == ENGLISH:
            continue
        script = SCRIPTS.get(code)
        for sid in REQUIRED_IDS:
            text = table.texts.get(sid)
            reference = english.texts.get(sid)
            if not text or reference is None:
                continue
            if marks(text) != marks(reference):
                faults.append("%s id %d: placeholders or link marks %s differ from English %s"
                              % (code, sid, marks(text), marks(reference)))
            if sid in table.allowed:
                continue
            if text == reference:
                faults.append("%s id %d: same as English and not on the allow-list" % (code, sid))
            elif script and not in_script(text, script[1]):
                faults.append("%s id %d: no %s characters and not on the allow-list"
                              % (code, sid, script[0]))
    for a, b in DISTINCT_PAIRS:
        if a in tables and b in tables and tables[a].texts == tables[b].texts:
            faults.append("%s: the same table as %s" % (a, b))
    return faults


def rc_string(text):
    """A string literal for windres. A narrow literal, not L"...": windres
    converts a narrow one from the file's code page (UTF-8) but copies the
    bytes of a wide one into UTF-16 units one by one."""
    out = []
    for c in text:
        if c == "\n":
            out.append("\\n")
        elif c == "\\":
            out.append("\\\\")
        elif c == '"':
            out.append('""')
        elif ord(c) < 0x20 or ord(c) == 0x7F:
            raise ValueError("control character U+%04X" % ord(c))
        else:
            out.append(c)
    return '"' + "".join(out) + '"'


def write_rc(tables, path):
    lines = ["// Generated from resources/strings by string_tables.py: do not edit.",
             "#pragma code_page(65001)", ""]
    for code in sorted(tables, key=lambda c: LANGUAGES[c]):
        lid = LANGUAGES[code]
        lines.append("// %s" % code)
        lines.append("LANGUAGE 0x%02x, 0x%02x" % (lid & 0x3FF, lid >> 10))
        lines.append("STRINGTABLE")
        lines.append("BEGIN")
        for sid in REQUIRED_IDS:
            lines.append("  %d %s" % (sid, rc_string(tables[code].texts[sid])))
        lines.append("END")
        lines.append("")
    # Resources after an include of this file keep the default language.
    lines.append("LANGUAGE 0x09, 0x01")
    write_file(path, "\n".join(lines))


def write_json(tables, path):
    data = {str(LANGUAGES[code]): {"code": code,
                                   "strings": {str(s): t for s, t in table.texts.items()}}
            for code, table in tables.items()}
    write_file(path, json.dumps(data, ensure_ascii=False, indent=1, sort_keys=True))


def read_where_shown(folder):
    where = {}
    path = os.path.join(folder, "where_shown.txt")
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for line in f:
                m = re.fullmatch(r"(\d+) (.*)", line.rstrip("\n"))
                if m:
                    where[int(m.group(1))] = m.group(2)
    return where


def write_review(tables, where, path):
    """One table per language: id, English, translation, where shown."""
    def cell(text):
        return html.escape(text).replace("\n", "<br>").replace("\u00a0", "&#x2423;")
    english = tables[ENGLISH]
    parts = ["<!doctype html><meta charset=utf-8><title>String tables</title>",
             "<style>td{vertical-align:top;border-bottom:1px solid #ccc;padding:2px 6px}"
             "</style><p>&#x2423; marks a no-break space.</p>"]
    for code in sorted(tables, key=lambda c: LANGUAGES[c]):
        table = tables[code]
        parts.append("<h2 id=%s>%s (%d)</h2><table><tr><th>id<th>English<th>%s<th>shown as"
                     % (code, code, LANGUAGES[code], code))
        for sid in REQUIRED_IDS:
            parts.append("<tr><td>%d<td>%s<td lang=%s>%s<td>%s" % (
                sid, cell(english.texts.get(sid, "")), code,
                cell(table.texts.get(sid, "")), html.escape(where.get(sid, ""))))
        parts.append("</table>")
    write_file(path, "\n".join(parts))


def write_file(path, text):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def load_and_check(folder):
    tables, faults = read_tables(folder)
    check(tables, faults)
    for fault in faults:
        print("string tables: %s" % fault, file=sys.stderr)
    return tables, faults


def main(argv):
    if len(argv) >= 3 and argv[1] == "check":
        _, faults = load_and_check(argv[2])
        return 1 if faults else 0
    if len(argv) in (5, 6) and argv[1] == "generate":
        tables, faults = load_and_check(argv[2])
        if faults:
            return 1
        write_rc(tables, argv[3])
        write_json(tables, argv[4])
        if len(argv) == 6:
            write_review(tables, read_where_shown(argv[2]), argv[5])
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
