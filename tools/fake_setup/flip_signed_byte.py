#!/usr/bin/python3
"""Copies a signed program with one byte of its signed content changed.

  flip_signed_byte.py SIGNED.exe OUT.exe

The byte lies in a section's file padding (past the section's virtual size,
within its raw data): the Authenticode hash covers it, so the signature no
longer matches, while the program still loads and runs exactly as before.
Refusing such a file is the verifier's doing, not a crash's.
"""
import struct
import sys


def main():
    source, target = sys.argv[1], sys.argv[2]
    data = bytearray(open(source, "rb").read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit("%s: not a PE file" % source)
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    for i in range(sections):
        header = table + 40 * i
        virtual_size, _, raw_size, raw_offset = struct.unpack_from(
            "<IIII", data, header + 8)
        if raw_size > virtual_size:
            data[raw_offset + virtual_size] ^= 0x01
            open(target, "wb").write(data)
            return
    sys.exit("%s: no section with file padding to change" % source)


if __name__ == "__main__":
    main()
