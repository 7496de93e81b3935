#!/usr/bin/env python3
"""Builds a configuration package: a cabinet with one MSZIP folder holding one
entry ("brand_config" or "partner_config") whose first line is "//" followed by
the Base64 of an RSA signature of the JSON body, then CR LF, then the JSON.

Usage:
  build_package.py --entry brand_config --json brand.json --key dev_key.pem \
      --out brand.cab [--raw-entry]

--raw-entry stores the JSON file as the entry unchanged (for test packages
that need exact, even broken, contents). Needs the openssl and gcab programs.
"""
import argparse
import base64
import os
import shutil
import subprocess
import sys
import tempfile

ENTRY_NAMES = ("brand_config", "partner_config")


def fail(message):
    sys.stderr.write("build_package: %s\n" % message)
    sys.exit(1)


def sign(body, key_path):
    if not os.path.exists(key_path):
        fail("signing key not found: %s" % key_path)
    result = subprocess.run(
        ["openssl", "dgst", "-sha256", "-sign", key_path],
        input=body, capture_output=True)
    if result.returncode != 0:
        fail("openssl could not sign with %s: %s"
             % (key_path, result.stderr.decode(errors="replace").strip()))
    if len(result.stdout) != 128:
        fail("the signing key must be a 1024-bit RSA key (signature of %d bytes)"
             % len(result.stdout))
    return result.stdout


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--entry", required=True,
                        help="entry name; brand_config or partner_config")
    parser.add_argument("--json", required=True, help="configuration JSON file")
    parser.add_argument("--key", help="1024-bit RSA private key (PEM)")
    parser.add_argument("--out", required=True, help="cabinet to write")
    parser.add_argument("--raw-entry", action="store_true",
                        help="store the file unchanged, without signature line")
    parser.add_argument("--allow-any-entry-name", action="store_true",
                        help="allow entry names other than the two known ones")
    args = parser.parse_args()

    if args.entry not in ENTRY_NAMES and not args.allow_any_entry_name:
        fail("entry must be one of %s, not %r" % (", ".join(ENTRY_NAMES), args.entry))
    if shutil.which("gcab") is None:
        fail("gcab is not installed")
    try:
        with open(args.json, "rb") as f:
            body = f.read()
    except OSError as e:
        fail("cannot read %s: %s" % (args.json, e))

    if args.raw_entry:
        entry = body
    else:
        if not args.key:
            fail("--key is required unless --raw-entry is given")
        signature = base64.b64encode(sign(body, args.key))
        entry = b"//" + signature + b"\r\n" + body

    with tempfile.TemporaryDirectory() as work:
        entry_path = os.path.join(work, args.entry)
        with open(entry_path, "wb") as f:
            f.write(entry)
        out = os.path.abspath(args.out)
        tmp_out = out + ".tmp"
        result = subprocess.run(["gcab", "--create", "--zip", "--nopath", tmp_out,
                                 entry_path], capture_output=True)
        if result.returncode != 0:
            fail("gcab failed: %s" % result.stderr.decode(errors="replace").strip())
        os.replace(tmp_out, out)


if __name__ == "__main__":
    main()
