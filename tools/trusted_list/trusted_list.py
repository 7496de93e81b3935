#!/usr/bin/python3
"""Makes and signs the list of certificates trusted to sign a setup program.

  trusted_list.py make-list --entry CERT.pem[:OPTION...] ... --out LIST.json
      One list entry per --entry: "id" is the Base64 serial number of the
      certificate, "pub_key" the SHA-256 of its public key bits (the DER
      RSAPublicKey inside the SubjectPublicKeyInfo). Options, for test lists:
        no-pub-key            leave "pub_key" out
        serial-prefix=HEX     put these bytes before the serial
        pub-key-of=OTHER.pem  take "pub_key" from another certificate

  trusted_list.py sign --list LIST.json --key KEY.pem --key-number N
                       --out-dir DIR
      Writes DIR/TRUSTED.JSON (the list, byte for byte), DIR/SIGNATURE.DAT
      (the key number as 16-bit little-endian, then the RSA PKCS #1 v1.5
      SHA-1 signature of the list, most significant byte first) and
      DIR/trusted_list.rc, which puts both into a program as the resources
      TRUSTED_JSON/TRUSTED.JSON and SIGNATURE_DAT/SIGNATURE.DAT.

The key must be the private half of pinned key N (development keys are in
development_keys/). Needs the openssl command.
"""
import argparse
import base64
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys


def openssl(*args, data=None):
    result = subprocess.run(["openssl", *args], input=data, capture_output=True)
    if result.returncode != 0:
        sys.exit("openssl %s failed: %s" % (" ".join(args), result.stderr.decode(errors="replace")))
    return result.stdout


def certificate_serial(pem):
    text = openssl("x509", "-in", pem, "-noout", "-serial").decode().strip()
    hex_serial = text.split("=", 1)[1]
    if len(hex_serial) % 2:
        hex_serial = "0" + hex_serial
    serial = bytes.fromhex(hex_serial)
    # DER keeps a leading zero byte when the top bit is set; the installer
    # compares the serial as CryptoAPI reports it, which keeps it too.
    if serial and serial[0] & 0x80:
        serial = b"\0" + serial
    return serial


def public_key_hash(pem):
    spki = openssl("x509", "-in", pem, "-noout", "-pubkey")
    rsa_public_key = openssl("rsa", "-pubin", "-RSAPublicKey_out", "-outform", "DER", data=spki)
    return hashlib.sha256(rsa_public_key).hexdigest()


def make_list(args):
    certificates = []
    for entry_text in args.entry:
        parts = entry_text.split(":")
        pem, options = parts[0], parts[1:]
        serial = certificate_serial(pem)
        key_source = pem
        with_key = True
        for option in options:
            if option == "no-pub-key":
                with_key = False
            elif option.startswith("serial-prefix="):
                serial = bytes.fromhex(option.split("=", 1)[1]) + serial
            elif option.startswith("pub-key-of="):
                key_source = option.split("=", 1)[1]
            else:
                sys.exit("unknown entry option: " + option)
        entry = {"id": base64.b64encode(serial).decode()}
        if with_key:
            entry["pub_key"] = public_key_hash(key_source)
        certificates.append(entry)
    text = json.dumps({"trusted_info": {"certificates": certificates}}, indent=2) + "\n"
    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def rc_path(path):
    return os.path.abspath(path).replace("\\", "/")


def sign(args):
    if not 0 <= args.key_number <= 0xFFFF:
        sys.exit("the key number must fit 16 bits")
    with open(args.list, "rb") as f:
        data = f.read()
    signature = openssl("dgst", "-sha1", "-sign", args.key, data=data)
    os.makedirs(args.out_dir, exist_ok=True)
    list_out = os.path.join(args.out_dir, "TRUSTED.JSON")
    signature_out = os.path.join(args.out_dir, "SIGNATURE.DAT")
    if os.path.abspath(args.list) != os.path.abspath(list_out):
        shutil.copyfile(args.list, list_out)
    with open(signature_out, "wb") as f:
        f.write(struct.pack("<H", args.key_number) + signature)
    # Language neutral, so FindResource finds them whatever the user's
    # language; names unquoted, since rc joins adjacent quoted strings.
    with open(os.path.join(args.out_dir, "trusted_list.rc"), "w", encoding="ascii", newline="\n") as f:
        f.write("LANGUAGE 0, 0\n")
        f.write('TRUSTED.JSON TRUSTED_JSON "%s"\n' % rc_path(list_out))
        f.write('SIGNATURE.DAT SIGNATURE_DAT "%s"\n' % rc_path(signature_out))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    p = commands.add_parser("make-list")
    p.add_argument("--entry", action="append", required=True)
    p.add_argument("--out", required=True)
    p.set_defaults(run=make_list)
    p = commands.add_parser("sign")
    p.add_argument("--list", required=True)
    p.add_argument("--key", required=True)
    p.add_argument("--key-number", type=int, required=True)
    p.add_argument("--out-dir", required=True)
    p.set_defaults(run=sign)
    args = parser.parse_args()
    args.run(args)


if __name__ == "__main__":
    main()
