#!/usr/bin/python3
"""Size report of one linked program, read from its GNU ld map file.

    size_report.py MAP [--top N]

Prints, from the map's memory map (debug sections left out: the program is
stripped):
  - bytes per output section and contributor: each of our own libraries
    (archives given by a path relative to the build folder), each runtime
    library, the C runtime's start-up objects, the import libraries of the
    system DLLs and the linker's own relocation table; the sum is the
    image's content before file alignment;
  - the largest single archive members and objects;
and, from the map's list of archive members the link loaded, every runtime
member, with its size, the member and symbol that pulled it in and, when
that is another runtime member, where the chain starts in our own code.
"""

import argparse
import collections
import os
import re
import sys

# Output sections reported by name; anything else counts as "other" (the
# resources).
SECTIONS = [".text", ".rdata", ".eh_frame", ".data", ".bss", ".idata",
            ".reloc", ".tls", ".CRT", ".delayed", ".shared", ".pdata", ".xdata"]

RUNTIME_GROUPS = [
    ("libstdc++", re.compile(r"^libstdc\+\+\.a$|^libsupc\+\+\.a$")),
    ("libgcc", re.compile(r"^libgcc(_eh)?\.a$")),
    ("winpthreads", re.compile(r"^libwinpthread\.a$|^libpthread\.a$")),
    ("mingwex", re.compile(r"^libmingwex\.a$")),
    ("mingw32", re.compile(r"^libmingw32\.a$")),
    ("msvcrt", re.compile(r"^libmsvcrt.*\.a$")),
    ("libcrypto", re.compile(r"^libcrypto\.a$")),
]
OUR_OBJECTS = "our objects"
IMPORTS = "import libraries"

# A contribution: " .name  0xADDR  0xSIZE  FILE"; a long section name puts
# the address, size and file on the next line.
CONTRIBUTION = re.compile(r"^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")
CONTINUATION = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")
OUTPUT_SECTION = re.compile(r"^(\.\S+)")
MEMBER = re.compile(r"^(.*)\((.*)\)$")


def split_member(path):
    """'dir/libx.a(obj.o)' -> ('dir/libx.a', 'obj.o'); an object -> (path, '')."""
    m = MEMBER.match(path)
    return (m.group(1), m.group(2)) if m else (path, "")


def short(path):
    archive, member = split_member(path)
    name = os.path.basename(archive)
    return f"{name}({member})" if member else name


def clip(symbol, width=90):
    return symbol if len(symbol) <= width else symbol[:width - 3] + "..."


def group_of(path):
    """The contributor a map path belongs to."""
    archive, member = split_member(path)
    name = os.path.basename(archive)
    if not member:
        if path == "dll stuff":
            return "linker (relocations)"
        # Objects of the build folder (relative paths), resources included.
        return OUR_OBJECTS if not path.startswith("/") else "C runtime start-up"
    if not archive.startswith("/"):
        return name
    for group, pattern in RUNTIME_GROUPS:
        if pattern.match(name):
            return group
    # Every other archive is a system DLL's import library.
    return IMPORTS


def is_ours(group):
    return group == OUR_OBJECTS or group.endswith(".a")


def contributions(lines):
    """Yields (output section, size, file) of each piece of the image."""
    in_map = False
    current = None
    pending = False
    for line in lines:
        if not in_map:
            in_map = line.startswith("Linker script and memory map")
            continue
        if line.startswith("/DISCARD/"):
            current = None
            continue
        m = OUTPUT_SECTION.match(line)
        if m:
            # Debug sections leave with -s; they are not part of the image.
            name = m.group(1)
            current = None if name.startswith((".debug", ".stab")) else name
            pending = False
            continue
        if current is None:
            continue
        if pending:
            pending = False
            c = CONTINUATION.match(line)
            if c:
                yield current, int(c.group(2), 16), c.group(3).strip()
                continue
        m = CONTRIBUTION.match(line)
        if m:
            if not m.group(4).startswith(("0x", "(")):
                yield current, int(m.group(3), 16), m.group(4).strip()
            continue
        if re.match(r"^ (\.\S+|COMMON)\s*$", line):
            pending = True


def inclusions(lines):
    """{member path: (referencing file, symbol)} from the archive list."""
    pulled = {}
    it = iter(lines)
    for line in it:
        if line.startswith("Archive member included"):
            break
    member = None
    for line in it:
        if line.startswith(("Memory Configuration", "Discarded input sections",
                            "Allocating common symbols", "Linker script")):
            break
        if not line.strip():
            continue
        if not line.startswith(" "):
            member = line.strip()
            # A short member name keeps the reference on its own line.
            m = re.match(r"^(\S+\(\S+\))\s+(\S.*)$", member)
            if m:
                pulled[m.group(1)] = split_reference(m.group(2))
                member = None
            continue
        if member:
            pulled[member] = split_reference(line.strip())
            member = None
    return pulled


def split_reference(text):
    """'file (symbol)' -> (file, symbol); the symbol may hold parentheses."""
    depth = 0
    for i in range(len(text) - 1, -1, -1):
        if text[i] == ")":
            depth += 1
        elif text[i] == "(":
            depth -= 1
            if depth == 0:
                return text[:i].strip(), text[i + 1:-1]
    return text, ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("map")
    parser.add_argument("--top", type=int, default=20)
    args = parser.parse_args()
    with open(args.map, encoding="utf-8", errors="replace") as f:
        lines = f.read().splitlines()

    by_group = collections.defaultdict(collections.Counter)
    by_member = collections.Counter()
    for section, size, path in contributions(lines):
        if size == 0:
            continue
        group = group_of(path)
        by_group[group][section if section in SECTIONS else "other"] += size
        by_member[(group, short(path))] += size

    used = [s for s in SECTIONS + ["other"] if any(c[s] for c in by_group.values())]
    print("Bytes per contributor and output section (before file alignment):")
    print(f"  {'contributor':<24}" + "".join(f"{s:>10}" for s in used) + f"{'total':>10}")
    totals = collections.Counter()
    for group, counts in sorted(by_group.items(), key=lambda kv: -sum(kv[1].values())):
        totals.update(counts)
        print(f"  {group:<24}" + "".join(f"{counts[s]:>10}" for s in used)
              + f"{sum(counts.values()):>10}")
    print(f"  {'all':<24}" + "".join(f"{totals[s]:>10}" for s in used)
          + f"{sum(totals.values()):>10}")
    ours = sum(sum(c.values()) for g, c in by_group.items() if is_ours(g))
    print(f"  our own code and data: {ours} bytes; runtime libraries and the rest: "
          f"{sum(totals.values()) - ours} bytes")

    print(f"\nLargest archive members and objects (top {args.top}):")
    for (group, name), size in by_member.most_common(args.top):
        print(f"  {size:>8}  {name}  [{group}]")

    sizes = collections.Counter()
    for (group, name), size in by_member.items():
        sizes[name] += size
    pulled = inclusions(lines)
    runtime = {p: group_of(p) for p in pulled
               if not is_ours(group_of(p)) and group_of(p) != IMPORTS
               # msvcrt's import thunks: a few dozen bytes each.
               and not re.search(r"_defs\d+\.o\)$", p)}

    def origin(path):
        """Where the chain of members that pulled `path` starts in our code."""
        seen = set()
        while path in pulled and path not in seen:
            seen.add(path)
            by_file, symbol = pulled[path]
            if is_ours(group_of(by_file)):
                return f"{short(by_file)} ({clip(symbol)})"
            path = by_file
        return None

    if runtime:
        print("\nRuntime pieces in the program (bytes, member <- what pulled it in;"
              " <= where that chain starts in our code):")
        for path in sorted(runtime, key=lambda p: (runtime[p], -sizes[short(p)])):
            by_file, symbol = pulled[path]
            print(f"  {sizes[short(path)]:>7}  [{runtime[path]}] {short(path)}"
                  f" <- {short(by_file)} ({clip(symbol)})")
            if not is_ours(group_of(by_file)):
                start = origin(path)
                if start:
                    print(f"{'':>11}<= {start}")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except BrokenPipeError:
        sys.exit(0)
