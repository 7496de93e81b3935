#!/usr/bin/env python3
"""Stamps an installer tag into an Authenticode-signed Windows executable.

The tag (distribution parameters such as "brand_id=x&banerid=42") goes into
the certificate table, which the Authenticode hash excludes, so the signature
stays valid. Two places are supported:

  add-certificate  appends a dummy X.509 certificate that carries the tag in
                   its fourth extension to the certificate set of the PKCS#7
                   signature; --reserve makes room for a longer tag later.
  fill-certificate writes the tag into the space of the first dummy
                   certificate already present (the file keeps its size);
                   other dummy certificates are emptied.
  append-block     writes a block ("Nact", 16-bit big-endian length, tag)
                   after the PKCS#7 signature, replacing any earlier block.

The table is rewritten in place at the end of the file; the PE checksum is
recomputed. Exit status: 0 on success, 1 on bad input (with one line on
standard error), 2 on bad usage.

Standard library only: distributors run it on any machine with Python 3.
"""

import argparse
import struct
import sys

# The first 112 bytes of a dummy certificate's tbsCertificate contents.
SERIAL_OFFSET = 7  # the serial number's single content byte
DUMMY_TEMPLATE = (
    bytes.fromhex("a003020102")
    + bytes.fromhex("020101")
    + bytes.fromhex("300d06092a864886f70d0101050500")
    + bytes.fromhex("3019311730150603550403130e") + b"Unknown issuer"
    + bytes.fromhex("301e170d") + b"130101100000Z"
    + bytes.fromhex("170d") + b"130401100000Z"
    + bytes.fromhex("301c311a301806035504031311") + b"Dummy certificate"
)
assert len(DUMMY_TEMPLATE) == 112

NACT_MAGIC = b"Nact"
MAX_TAG_LENGTH = 0xFFFF  # the length field has 16 bits
OID_SIGNED_DATA = bytes.fromhex("06092a864886f70d010702")
WIN_CERT_REVISION_2_0 = 0x0200
WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0002


class TagError(Exception):
    """Bad input: reported as one line, exit status 1."""


# --------------------------------------------------------------------------
# DER


def der_length(length):
    if length < 0x80:
        return bytes([length])
    body = length.to_bytes((length.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(body)]) + body


def der(tag, contents):
    return bytes([tag]) + der_length(len(contents)) + contents


def read_tlv(data, pos, end, what):
    """Returns (tag, contents start, element end) of the element at pos."""
    if pos + 2 > end:
        raise TagError(f"malformed signature: {what} is truncated")
    tag = data[pos]
    if tag & 0x1F == 0x1F:
        raise TagError(f"malformed signature: {what} has a multi-byte tag")
    first = data[pos + 1]
    header = 2
    if first < 0x80:
        length = first
    else:
        count = first & 0x7F
        if count < 1 or count > 4 or pos + 2 + count > end:
            raise TagError(f"malformed signature: bad length of {what}")
        length = int.from_bytes(data[pos + 2:pos + 2 + count], "big")
        header += count
    if pos + header + length > end:
        raise TagError(f"malformed signature: {what} runs past its container")
    return tag, pos + header, pos + header + length


def children(data, start, end, what):
    """The (tag, start, contents, end) of each element in data[start:end]."""
    out = []
    pos = start
    while pos < end:
        tag, contents, elem_end = read_tlv(data, pos, end, what)
        out.append((tag, pos, contents, elem_end))
        pos = elem_end
    return out


# --------------------------------------------------------------------------
# The dummy certificate


# 2.25.<UUID>: an OID that needs no registration (ITU-T X.667). The reader
# does not look at the OID; it names the extension for other tools.
TAG_EXTENSION_UUID = 0x5C2B1E3A9F0D4B67A1E8C3D2B4F60718


def encode_oid_2_25(value):
    body = [value & 0x7F]
    value >>= 7
    while value:
        body.append(0x80 | (value & 0x7F))
        value >>= 7
    return der(0x06, bytes([2 * 40 + 25]) + bytes(reversed(body)))


def extension(oid, value):
    return der(0x30, oid + der(0x04, value))


def dummy_certificate(tag, reserve, serial=1, extensions=4):
    """A minimal X.509 certificate in the dummy layout carrying `tag`."""
    template = bytearray(DUMMY_TEMPLATE)
    template[SERIAL_OFFSET] = serial
    # A well-formed RSA key so that every decoder accepts the certificate;
    # it signs nothing.
    modulus = b"\x00\xc3" + bytes(range(1, 63))
    rsa_key = der(0x30, der(0x02, modulus) + der(0x02, b"\x01\x00\x01"))
    spki = der(0x30,
               der(0x30, bytes.fromhex("06092a864886f70d0101010500")) +
               der(0x03, b"\x00" + rsa_key))
    capacity = max(len(tag), reserve)
    value = struct.pack(">H", len(tag)) + tag + bytes(capacity - len(tag))
    exts = [
        # basicConstraints: not a CA
        extension(bytes.fromhex("0603551d13"), bytes.fromhex("3000")),
        # keyUsage: digitalSignature
        extension(bytes.fromhex("0603551d0f"), bytes.fromhex("03020780")),
        # extKeyUsage: codeSigning
        extension(bytes.fromhex("0603551d25"),
                  bytes.fromhex("300a06082b06010505070303")),
        extension(encode_oid_2_25(TAG_EXTENSION_UUID), value),
    ][:extensions]
    tbs = der(0x30, bytes(template) + spki + der(0xA3, der(0x30, b"".join(exts))))
    signature_algorithm = bytes.fromhex("300d06092a864886f70d0101050500")
    return der(0x30, tbs + signature_algorithm + der(0x03, b"\x00" + bytes(16)))


def dummy_tag_span(data, cert_start, cert_end):
    """(start, end) of the extnValue contents of a dummy certificate's tag
    extension (length field and space included), or None."""
    try:
        _, c, _ = read_tlv(data, cert_start, cert_end, "certificate")
        _, tbs, tbs_end = read_tlv(data, c, cert_end, "tbsCertificate")
        if data[tbs:tbs + len(DUMMY_TEMPLATE)] != DUMMY_TEMPLATE:
            return None
        fields = children(data, tbs, tbs_end, "tbsCertificate")
        if len(fields) < 8:
            return None
        _, _, ext_outer, ext_outer_end = fields[7]
        _, ext_seq, ext_seq_end = read_tlv(data, ext_outer, ext_outer_end,
                                           "extensions")
        exts = children(data, ext_seq, ext_seq_end, "extensions")
        if len(exts) < 4:
            return None
        _, _, ext, ext_end = exts[3]
        parts = children(data, ext, ext_end, "extension")
        if len(parts) < 2:
            return None
        _, _, value, value_end = parts[1]
        if value_end - value < 2:
            return None
        return value, value_end
    except TagError:
        return None


# --------------------------------------------------------------------------
# PE image and certificate table


class Image:
    """A signed PE image whose certificate table ends the file."""

    def __init__(self, data, name):
        self.data = bytearray(data)
        self.name = name
        d = self.data
        if len(d) < 0x40 or d[:2] != b"MZ":
            raise TagError(f"{name} is not a Windows executable")
        (self.lfanew,) = struct.unpack_from("<I", d, 0x3C)
        if self.lfanew + 24 + 2 > len(d) or d[self.lfanew:self.lfanew + 4] != b"PE\0\0":
            raise TagError(f"{name} is not a Windows executable")
        self.optional = self.lfanew + 24
        (magic,) = struct.unpack_from("<H", d, self.optional)
        if magic == 0x10B:
            self.dir_entry = self.optional + 128
        elif magic == 0x20B:
            self.dir_entry = self.optional + 144
        else:
            raise TagError(f"{name} has an unknown optional-header magic {magic:#x}")
        self.checksum_offset = self.optional + 64
        if self.dir_entry + 8 > len(d):
            raise TagError(f"{name} has truncated PE headers")
        self.table_offset, self.table_size = struct.unpack_from("<II", d, self.dir_entry)
        if self.table_offset == 0 or self.table_size == 0:
            raise TagError(f"{name} is not signed (it has no certificate table); "
                           "sign it first, then tag it")
        if self.table_offset + self.table_size != len(d):
            raise TagError(f"{name}: the certificate table does not end the file")
        if self.table_size < 8:
            raise TagError(f"{name}: the certificate table is too short")
        length, revision, kind = struct.unpack_from("<IHH", d, self.table_offset)
        if kind != WIN_CERT_TYPE_PKCS_SIGNED_DATA:
            raise TagError(f"{name}: the certificate table holds no PKCS#7 signature")
        if length > self.table_size or length < 8:
            raise TagError(f"{name}: the certificate entry's length is wrong")
        if align8(length) < self.table_size and any(
                d[self.table_offset + align8(length):]):
            raise TagError(f"{name}: more than one certificate entry is not supported")
        self.blob_start = self.table_offset + 8
        _, _, self.blob_end = read_tlv(d, self.blob_start,
                                       self.table_offset + length, "ContentInfo")

    def blob(self):
        return bytes(self.data[self.blob_start:self.blob_end])

    def appended_tag(self):
        """The tag of an existing "Nact" block, or None."""
        blob = self.blob()
        if blob[:2] != b"\x30\x82":
            return None
        (length,) = struct.unpack_from(">H", blob, 2)
        block = self.table_offset + ((length + 19) & ~7)
        end = self.table_offset + self.table_size
        if block + 6 > end or self.data[block:block + 4] != NACT_MAGIC:
            return None
        (n,) = struct.unpack_from(">H", self.data, block + 4)
        if block + 6 + n > end:
            return None
        return bytes(self.data[block + 6:block + 6 + n])

    def rewrite_table(self, blob, appended_tag):
        """Replaces the certificate table with one holding `blob` and, when
        given, a "Nact" block."""
        table = bytearray(8) + blob
        table += bytes(align8(len(table)) - len(table))
        if appended_tag is not None:
            if blob[:2] != b"\x30\x82":
                raise TagError(
                    f"{self.name}: the signature is not 256 to 65535 bytes long, "
                    "so no tag block can follow it; use add-certificate")
            table += NACT_MAGIC + struct.pack(">H", len(appended_tag)) + appended_tag
            table += bytes(align8(len(table)) - len(table))
        struct.pack_into("<IHH", table, 0, len(table), WIN_CERT_REVISION_2_0,
                         WIN_CERT_TYPE_PKCS_SIGNED_DATA)
        del self.data[self.table_offset:]
        self.data += table
        self.table_size = len(table)
        struct.pack_into("<II", self.data, self.dir_entry, self.table_offset,
                         self.table_size)
        self.blob_end = self.blob_start + len(blob)

    def update_checksum(self):
        d = self.data
        struct.pack_into("<I", d, self.checksum_offset, 0)
        padded = bytes(d) + bytes(len(d) % 2)
        total = 0
        for (word,) in struct.iter_unpack("<H", padded):
            total += word
            total = (total & 0xFFFF) + (total >> 16)
        total = (total & 0xFFFF) + (total >> 16)
        struct.pack_into("<I", d, self.checksum_offset, (total + len(d)) & 0xFFFFFFFF)


def align8(n):
    return (n + 7) & ~7


def signed_data_parts(blob):
    """Splits the PKCS#7 ContentInfo around its certificate set. Returns
    (fields before the set, set contents, fields after the set) of SignedData
    as byte strings, and the offset of the set contents in `blob` (None when
    there is no set)."""
    _, ci, ci_end = read_tlv(blob, 0, len(blob), "ContentInfo")
    parts = children(blob, ci, ci_end, "ContentInfo")
    if len(parts) != 2 or blob[parts[0][1]:parts[0][3]] != OID_SIGNED_DATA:
        raise TagError("the signature is not PKCS#7 signed data")
    _, _, explicit, explicit_end = parts[1]
    _, sd, sd_end = read_tlv(blob, explicit, explicit_end, "SignedData")
    fields = children(blob, sd, sd_end, "SignedData")
    if len(fields) < 4:
        raise TagError("malformed signature: SignedData lacks fields")
    before = blob[fields[0][1]:fields[2][3]]  # version, digests, content
    rest = fields[3:]
    certs, certs_offset = b"", None
    if rest and rest[0][0] == 0xA0:
        certs, certs_offset = blob[rest[0][2]:rest[0][3]], rest[0][2]
        rest = rest[1:]
    after = b"".join(blob[f[1]:f[3]] for f in rest)
    return before, certs, after, certs_offset


def build_signed_data(before, certs, after):
    signed_data = der(0x30, before + der(0xA0, certs) + after)
    return der(0x30, OID_SIGNED_DATA + der(0xA0, signed_data))


# --------------------------------------------------------------------------
# Commands


def check_tag(text, allow_empty):
    if not text and not allow_empty:
        raise TagError("the tag is empty")
    bad = [c for c in text if not (0x20 <= ord(c) <= 0x7E)]
    if bad:
        raise TagError(f"the tag may hold only printable ASCII characters; "
                       f"found {bad[0]!r}")
    tag = text.encode("ascii")
    if len(tag) > MAX_TAG_LENGTH:
        raise TagError(f"the tag is {len(tag)} bytes long; at most "
                       f"{MAX_TAG_LENGTH} fit")
    return tag


def add_certificate(image, tag, reserve, serial, extensions):
    if reserve > MAX_TAG_LENGTH:
        raise TagError(f"at most {MAX_TAG_LENGTH} bytes can be reserved")
    if reserve and len(tag) > reserve:
        raise TagError(f"the tag is {len(tag)} bytes long; it does not fit "
                       f"the {reserve} bytes reserved")
    keep = image.appended_tag()
    before, certs, after, _ = signed_data_parts(image.blob())
    certs += dummy_certificate(tag, reserve, serial, extensions)
    image.rewrite_table(build_signed_data(before, certs, after), keep)


def fill_certificate(image, tag):
    _, certs, _, certs_offset = signed_data_parts(image.blob())
    spans = []
    for _, start, _, end in children(certs, 0, len(certs), "certificates"):
        span = dummy_tag_span(certs, start, end)
        if span:
            spans.append(span)
    if not spans:
        raise TagError(f"{image.name} holds no dummy certificate with a tag "
                       "extension; use add-certificate")
    first_start, first_end = spans[0]
    capacity = first_end - first_start - 2
    if len(tag) > capacity:
        raise TagError(f"the tag is {len(tag)} bytes long; it does not fit the "
                       f"{capacity} bytes reserved in {image.name}")
    offset = image.blob_start + certs_offset
    for i, (start, end) in enumerate(spans):
        body = tag if i == 0 else b""
        image.data[offset + start:offset + end] = (
            struct.pack(">H", len(body)) + body + bytes(end - start - 2 - len(body)))


def append_block(image, tag):
    image.rewrite_table(image.blob(), tag)


def main(argv):
    parser = argparse.ArgumentParser(
        description="Stamps an installer tag into a signed executable.")
    sub = parser.add_subparsers(dest="command", required=True)
    for name in ("add-certificate", "fill-certificate", "append-block"):
        p = sub.add_parser(name)
        p.add_argument("--tag", required=True, help="tag text, printable ASCII")
        p.add_argument("input")
        p.add_argument("output")
        if name == "add-certificate":
            p.add_argument("--reserve", type=int, default=0,
                           help="bytes of tag space to reserve (zero-filled)")
            # Malformed variants, for the readers' tests.
            p.add_argument("--serial", type=int, default=1, choices=range(1, 128),
                           help=argparse.SUPPRESS)
            p.add_argument("--extensions", type=int, default=4, choices=range(0, 5),
                           help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    try:
        allow_empty = args.command == "add-certificate" and args.reserve > 0
        tag = check_tag(args.tag, allow_empty)
        try:
            with open(args.input, "rb") as f:
                image = Image(f.read(), args.input)
        except OSError as e:
            raise TagError(f"cannot read {args.input}: {e.strerror}")
        if args.command == "add-certificate":
            add_certificate(image, tag, args.reserve, args.serial, args.extensions)
        elif args.command == "fill-certificate":
            fill_certificate(image, tag)
        else:
            append_block(image, tag)
        image.update_checksum()
        try:
            with open(args.output, "wb") as f:
                f.write(image.data)
        except OSError as e:
            raise TagError(f"cannot write {args.output}: {e.strerror}")
    except TagError as e:
        print(f"tag_writer: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
