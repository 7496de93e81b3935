#!/usr/bin/python3
"""Fails when a source file includes a header of a library above its own.

    check_layers.py ROOT FOLDER [FOLDER...]

The folders are the libraries from the bottom up (cmake/layers.cmake); a
file belongs to the longest folder that contains it. Tests are checked as
well: a lower library's tests do not reach up either.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def layer_of(path, folders):
    best = -1
    for i, folder in enumerate(folders):
        if path.startswith(folder + "/") and (best < 0 or len(folder) > len(folders[best])):
            best = i
    return best


def main():
    root, folders = sys.argv[1], sys.argv[2:]
    faults = []
    for folder in folders:
        for dirpath, _, names in os.walk(os.path.join(root, folder)):
            for name in names:
                if not name.endswith((".cc", ".h")):
                    continue
                full = os.path.join(dirpath, name)
                rel = os.path.relpath(full, root)
                own = layer_of(rel, folders)
                with open(full, encoding="utf-8") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        other = layer_of(m.group(1), folders)
                        if other > own:
                            faults.append("%s:%d includes %s (%s is above %s)" % (
                                rel, number, m.group(1), folders[other], folders[own]))
    for fault in faults:
        print(fault)
    print("%d upward includes in %d layers" % (len(faults), len(folders)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
