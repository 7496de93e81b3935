#!/usr/bin/python3
"""Size report of one linked program, read from its GNU ld map file.

    size_report.py MAP [--top N]

Prints, from the map's memory map:
  - bytes per output section and per contributor (our libraries, each
    runtime library, the C runtime start-up objects, import stubs), so that
    the columns add up to the image's section sizes before file alignment;
  - the largest single archive members;
and, from the map's "Archive member included" list, every runtime archive
member that the link pulled in, with the member and symbol that pulled it
and the chain back to our own code.
"""

import argparse
import collections
import os
import re
import sys

# Output sections we report by name; everything else is "other".
SECTIONS = [".text", ".rdata", ".eh_frame", ".data", ".bss", ".idata",
            ".reloc", ".tls", ".CRT", ".delayed", ".shared", ".pdata", ".xdata"]

RUNTIME_GROUPS = [
    # (group name, pattern on the archive's base name)
    ("libstdc++", re.compile(r"^libstdc\+\+\.a$|^libsupc\+\+\.a$")),
    ("libgcc", re.compile(r"^libgcc(_eh)?\.a$")),
    ("winpthreads", re.compile(r"^libwinpthread\.a$|^libpthread\.a$")),
    ("mingwex", re.compile(r"^libmingwex\.a$")),
    ("mingw32", re.compile(r"^libmingw32\.a$")),
    ("msvcrt", re.compile(r"^libmsvcrt.*\.a$")),
    ("libcrypto", re.compile(r"^libcrypto\.a$")),
]

# A contributor line: " .name  0xADDR  0xSIZE  FILE"; long section names put
# the address, size and file on the next line.
CONTRIB = re.compile(r"^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")
CONTINUATION = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")
OUTPUT_SECTION = re.compile(r"^(\.\S+|/DISCARD/)\s*(0x([0-9a-f]+)\s+0x([0-9a-f]+))?")
MEMBER = re.compile(r"^(.*)\((.*)\)$")


def split_member(path):
    """'dir/libx.a(obj.o)' -> ('libx.a', 'obj.o'); a plain object -> (name, '')."""
    m = MEMBER.match(path)
    if m:
        return os.path.basename(m.group(1)), m.group(2)
    return os.path.basename(path), ""


def group_of(archive, member, own_archives):
    if member == "":
        if archive.endswith((".obj", ".res")) or archive in own_archives:
            return "our code"
        if archive == "dll stuff":
            return "linker (relocations)"
        return "C runtime start-up"
    if archive in own_archives:
        return archive
    for name, pattern in RUNTIME_GROUPS:
        if pattern.match(archive):
            return name
    # Every other archive is a system DLL's import library (thunks and
    # import-table pieces).
    return "import libraries"


def parse_memory_map(lines):
    """Yields (output section, input section, size, file) of each contribution."""
    in_map = False
    current = None
    pending = None
    for line in lines:
        if not in_map:
            if line.startswith("Linker script and memory map"):
                in_map = True
            continue
        if line.startswith("/DISCARD/"):
            current = None
            continue
        m = OUTPUT_SECTION.match(line)
        if m and not line.startswith(" "):
            # Debug sections leave with -s; they are not part of the image.
            current = None if m.group(1).startswith((".debug", ".stab")) else m.group(1)
            pending = None
            continue
        if current is None:
            continue
        if pending is not None:
            c = CONTINUATION.match(line)
            pending_name = pending
            pending = None
            if c:
                yield current, pending_name, int(c.group(2), 16), c.group(3).strip()
                continue
        m = CONTRIB.match(line)
        if m:
            if m.group(4).startswith("0x") or m.group(4).startswith("("):
                continue
            yield current, m.group(1), int(m.group(3), 16), m.group(4).strip()
            continue
        if re.match(r"^ (\.\S+|COMMON)\s*$", line):
            pending = line.strip()


def parse_inclusions(lines):
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
            # Short member names keep the reference on the same line.
            m = re.match(r"^(\S+)\s+(\S.*\(.*\))$", member)
            if m and "(" in m.group(1):
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


def clip(symbol, width=90):
    return symbol if len(symbol) <= width else symbol[:width - 3] + "..."


def short(path):
    archive, member = split_member(path)
    return f"{archive}({member})" if member else archive


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("map")
    parser.add_argument("--top", type=int, default=25)
    parser.add_argument("--own", action="append", default=[],
                        help="base name of one of our own archives")
    args = parser.parse_args()
    with open(args.map, encoding="utf-8", errors="replace") as f:
        lines = f.read().splitlines()
    own = set(args.own)

    by_group = collections.defaultdict(lambda: collections.Counter())
    by_member = collections.Counter()
    for out_section, _, size, path in parse_memory_map(lines):
        if size == 0:
            continue
        archive, member = split_member(path)
        group = group_of(archive, member, own)
        section = out_section if out_section in SECTIONS else "other"
        by_group[group][section] += size
        by_member[(group, short(path))] += size

    used = [s for s in SECTIONS + ["other"]
            if any(c[s] for c in by_group.values())]
    print("Bytes per contributor and section (before file alignment):")
    header = f"  {'contributor':<22}" + "".join(f"{s:>10}" for s in used) + f"{'total':>10}"
    print(header)
    totals = collections.Counter()
    rows = sorted(by_group.items(), key=lambda kv: -sum(kv[1].values()))
    for group, counts in rows:
        totals.update(counts)
        print(f"  {group:<22}" + "".join(f"{counts[s]:>10}" for s in used)
              + f"{sum(counts.values()):>10}")
    print(f"  {'all':<22}" + "".join(f"{totals[s]:>10}" for s in used)
          + f"{sum(totals.values()):>10}")

    print(f"\nLargest archive members and objects (top {args.top}):")
    for (group, name), size in by_member.most_common(args.top):
        print(f"  {size:>8}  {name}  [{group}]")

    pulled = parse_inclusions(lines)
    runtime = {}
    for member_path, (by_file, symbol) in pulled.items():
        archive, member = split_member(member_path)
        group = group_of(archive, member, own)
        if group == "import libraries" or archive in own:
            continue
        runtime[member_path] = group
    if runtime:
        sizes = collections.Counter()
        for (group, name), size in by_member.items():
            sizes[name] += size

        def from_our_code(path):
            """The first link of the chain that starts in our own code."""
            seen = set()
            while path in pulled and path not in seen:
                seen.add(path)
                by_file, symbol = pulled[path]
                archive, member = split_member(by_file)
                if group_of(archive, member, own) in own or group_of(archive, member, own) == "our code":
                    return f"{short(by_file)} ({clip(symbol)})"
                path = by_file
            return None

        print("\nRuntime pieces pulled in (bytes, member <- what pulled it; "
              "<= where that chain starts in our code):")
        order = sorted(runtime, key=lambda p: (runtime[p], -sizes[short(p)]))
        for member_path in order:
            by_file, symbol = pulled[member_path]
            print(f"  {sizes[short(member_path)]:>7}  [{runtime[member_path]}] {short(member_path)}"
                  f" <- {short(by_file)} ({clip(symbol)})")
            origin = from_our_code(member_path)
            archive, member = split_member(by_file)
            if origin and runtime.get(by_file) is not None:
                print(f"{'':>12}<= {origin}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
