#!/usr/bin/python3
"""Writes a .reg file that adds a certificate to the machine's Root store.

Usage: root_store_reg.py CERT.pem OUT.reg

The store keeps each certificate under its upper-case SHA-1 thumbprint as a
"Blob" value: serialized properties, here only the encoded certificate
(property 32), each as (id, 1, length) little-endian DWORDs and the bytes.
"""
import base64
import hashlib
import struct
import sys

CERT_CERT_PROP_ID = 32


def pem_to_der(text):
    lines = text.strip().splitlines()
    start = lines.index("-----BEGIN CERTIFICATE-----")
    end = lines.index("-----END CERTIFICATE-----")
    return base64.b64decode("".join(lines[start + 1:end]))


def reg_hex(data):
    # regedit accepts continued lines; keep them short.
    parts = ["%02x" % b for b in data]
    lines = []
    for i in range(0, len(parts), 24):
        lines.append(",".join(parts[i:i + 24]))
    return ",\\\r\n  ".join(lines)


def main():
    cert_path, out_path = sys.argv[1], sys.argv[2]
    with open(cert_path, "r", encoding="ascii") as f:
        der = pem_to_der(f.read())
    thumbprint = hashlib.sha1(der).hexdigest().upper()
    blob = struct.pack("<III", CERT_CERT_PROP_ID, 1, len(der)) + der
    key = ("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\SystemCertificates\\Root"
           "\\Certificates\\" + thumbprint)
    text = "REGEDIT4\r\n\r\n[%s]\r\n\"Blob\"=hex:%s\r\n\r\n" % (key, reg_hex(blob))
    with open(out_path, "w", encoding="ascii", newline="") as f:
        f.write(text)
    print(thumbprint)


if __name__ == "__main__":
    main()
