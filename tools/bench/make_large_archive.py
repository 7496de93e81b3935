#!/usr/bin/python3
"""Makes an unsigned setup program of a given size for the memory benchmark.

    make_large_archive.py [--page-aligned] IN.exe SIZE_MB OUT.exe

Copies IN.exe (a stripped PE without a signature or COFF symbol table) and
adds one read-only data section ".payload" of incompressible bytes, so that
OUT.exe is SIZE_MB MiB long, like a real setup archive whose payload sits in
the image: signing hashes the payload and starting the program maps it.

The payload starts at the next file-alignment boundary, as a linker places
a section; --page-aligned starts it at a 4 KiB boundary of the file instead.
Wine maps an image section lazily only when its file offset is page-aligned
and reads the others into memory when the image is mapped (Windows pages
both in on demand), so the two layouts tell Wine's copying apart from what
the installer itself holds.
"""

import os
import struct
import sys

SECTION_HEADER = 40
INITIALIZED_DATA_READ = 0x40000040


def align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def fail(message):
    print(f"make_large_archive: {message}", file=sys.stderr)
    sys.exit(1)


def main():
    args = sys.argv[1:]
    page_aligned = bool(args) and args[0] == "--page-aligned"
    if page_aligned:
        args = args[1:]
    if len(args) != 3:
        fail("usage: make_large_archive.py [--page-aligned] IN.exe SIZE_MB OUT.exe")
    source, size_mb, target = args[0], int(args[1]), args[2]
    with open(source, "rb") as f:
        image = bytearray(f.read())

    if image[:2] != b"MZ":
        fail(f"{source} is not a PE file")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        fail(f"{source} is not a PE file")
    coff = pe + 4
    sections, = struct.unpack_from("<H", image, coff + 2)
    symbols, = struct.unpack_from("<I", image, coff + 8)
    optional_size, = struct.unpack_from("<H", image, coff + 16)
    optional = coff + 20
    magic, = struct.unpack_from("<H", image, optional)
    if magic not in (0x10B, 0x20B):
        fail(f"{source}: unknown optional header {magic:#x}")
    if symbols:
        fail(f"{source} carries a COFF symbol table: strip it first")
    # The security directory is entry 4 of the data directories.
    directories = optional + (96 if magic == 0x10B else 112)
    security_size, = struct.unpack_from("<I", image, directories + 4 * 8 + 4)
    if security_size:
        fail(f"{source} is signed already")
    section_alignment, file_alignment = struct.unpack_from("<II", image, optional + 32)
    headers_size, = struct.unpack_from("<I", image, optional + 60)

    table = optional + optional_size
    end_of_image = 0
    end_of_raw = 0
    first_raw = len(image)
    for i in range(sections):
        entry = table + i * SECTION_HEADER
        virtual_size, address, raw_size, raw_pointer = struct.unpack_from(
            "<IIII", image, entry + 8)
        end_of_image = max(end_of_image, address + max(virtual_size, raw_size))
        if raw_size:
            end_of_raw = max(end_of_raw, raw_pointer + raw_size)
            first_raw = min(first_raw, raw_pointer)
    new_entry = table + sections * SECTION_HEADER
    if new_entry + SECTION_HEADER > min(headers_size, first_raw):
        fail(f"{source}: no room for one more section header")
    if end_of_raw != len(image):
        fail(f"{source}: {len(image) - end_of_raw} bytes after the last section")

    raw_pointer = align(len(image), 4096 if page_aligned else file_alignment)
    payload = size_mb * 1048576 - raw_pointer
    payload -= payload % file_alignment
    if payload <= 0:
        fail(f"{size_mb} MiB is smaller than {source}")
    address = align(end_of_image, section_alignment)
    struct.pack_into("<8sIIIIIIHHI", image, new_entry, b".payload", payload,
                     address, payload, raw_pointer, 0, 0, 0, 0,
                     INITIALIZED_DATA_READ)
    struct.pack_into("<H", image, coff + 2, sections + 1)
    initialized, = struct.unpack_from("<I", image, optional + 8)
    struct.pack_into("<I", image, optional + 8, initialized + payload)
    struct.pack_into("<I", image, optional + 56,
                     align(address + payload, section_alignment))
    struct.pack_into("<I", image, optional + 64, 0)  # the signer sets it

    block = os.urandom(1048576)
    with open(target, "wb") as f:
        f.write(image)
        f.write(b"\0" * (raw_pointer - len(image)))
        left = payload
        while left:
            n = min(left, len(block))
            f.write(block[:n])
            left -= n
    return 0


if __name__ == "__main__":
    sys.exit(main())
