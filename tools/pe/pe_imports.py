#!/usr/bin/env python3
"""Reads the import and delay-import tables of a PE file (32- or 64-bit).

    pe_imports.py EXE        prints "direct DLL FUNCTION" and
                             "delayed DLL FUNCTION" lines

GNU ld leaves the delay-import data directory empty, so the delay-import
descriptors that dlltool's libraries carry are found by their shape when the
directory is: attributes 1 (RVAs), a name RVA that points at a "*.dll"
string, and bound-IAT, unload-IAT and time stamp fields of zero.
"""
import struct
import sys


class PeError(Exception):
    pass


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise PeError("no MZ header")
        pe = self._u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        sections = self._u16(pe + 6)
        optional_size = self._u16(pe + 20)
        optional = pe + 24
        magic = self._u16(optional)
        if magic == 0x10B:
            self.is_64 = False
            directories = optional + 96
        elif magic == 0x20B:
            self.is_64 = True
            directories = optional + 112
        else:
            raise PeError("unknown optional header magic %#x" % magic)
        count = self._u32(directories - 4)
        self.directories = [
            struct.unpack_from("<II", data, directories + 8 * i)
            for i in range(min(count, 16))]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            at = table + 40 * i
            name = data[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            vsize, va, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((name, va, max(vsize, raw_size), raw, raw_size))

    def _u16(self, offset):
        if offset + 2 > len(self.data):
            raise PeError("read beyond the file at %#x" % offset)
        return struct.unpack_from("<H", self.data, offset)[0]

    def _u32(self, offset):
        if offset + 4 > len(self.data):
            raise PeError("read beyond the file at %#x" % offset)
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset(self, rva):
        """File offset of `rva`, or None when no section's file data holds it."""
        for _, va, size, raw, raw_size in self.sections:
            if va <= rva < va + size and rva - va < raw_size:
                return raw + rva - va
        return None

    def in_image(self, rva):
        return any(va <= rva < va + size for _, va, size, _, _ in self.sections)

    def string(self, rva, limit=512):
        at = self.offset(rva)
        if at is None:
            raise PeError("string RVA %#x outside the file" % rva)
        end = self.data.find(b"\0", at, at + limit)
        if end < 0:
            raise PeError("unterminated string at RVA %#x" % rva)
        return self.data[at:end].decode("ascii", "replace")

    def thunk_names(self, rva):
        """Names (or "#ordinal") of a zero-ended import name table."""
        size = 8 if self.is_64 else 4
        flag = 1 << (63 if self.is_64 else 31)
        names = []
        while True:
            at = self.offset(rva)
            if at is None or at + size > len(self.data):
                raise PeError("name table RVA %#x outside the file" % rva)
            value = struct.unpack_from("<Q" if self.is_64 else "<I",
                                       self.data, at)[0]
            if value == 0:
                return names
            if value & flag:
                names.append("#%d" % (value & 0xFFFF))
            else:
                names.append(self.string((value & 0x7FFFFFFF) + 2))
            rva += size
            if len(names) > 65536:
                raise PeError("name table at %#x does not end" % rva)

    def imports(self):
        rva, size = self.directories[1] if len(self.directories) > 1 else (0, 0)
        result = []
        if not rva:
            return result
        while True:
            at = self.offset(rva)
            if at is None:
                raise PeError("import descriptor RVA %#x outside the file" % rva)
            lookup, _, _, name, first = struct.unpack_from("<IIIII", self.data, at)
            if not (lookup or name or first):
                return result
            dll = self.string(name)
            result.append((dll, self.thunk_names(lookup or first)))
            rva += 20

    def _delay_descriptor(self, at):
        attrs, name, hmod, iat, int_, bound, unload, stamp = struct.unpack_from(
            "<8I", self.data, at)
        if attrs != 1 or bound or unload or stamp:
            return None
        if not all(self.in_image(r) for r in (name, hmod, iat, int_)):
            return None
        try:
            dll = self.string(name, 260)
        except PeError:
            return None
        if not dll.lower().endswith(".dll") or not dll.isprintable():
            return None
        return dll, int_

    def delay_imports(self):
        rva, _ = self.directories[13] if len(self.directories) > 13 else (0, 0)
        found = []
        if rva:
            at = self.offset(rva)
            while at is not None and any(self.data[at:at + 32]):
                descriptor = self._delay_descriptor(at)
                if not descriptor:
                    raise PeError("bad delay-import descriptor at %#x" % at)
                found.append(descriptor)
                at += 32
        else:
            for _, _, _, raw, raw_size in self.sections:
                for at in range(raw, raw + raw_size - 31, 4):
                    descriptor = self._delay_descriptor(at)
                    if descriptor:
                        found.append(descriptor)
        return [(dll, self.thunk_names(int_)) for dll, int_ in found]


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        with open(argv[1], "rb") as f:
            image = PeImage(f.read())
        for kind, table in (("direct", image.imports()),
                            ("delayed", image.delay_imports())):
            for dll, names in table:
                for name in names:
                    print(kind, dll, name)
    except (OSError, PeError, struct.error) as error:
        print("pe_imports: %s: %s" % (argv[1], error), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
