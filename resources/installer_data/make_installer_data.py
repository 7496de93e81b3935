#!/usr/bin/python3
"""Build-time generation of the data files the installer hands to setup.

    make_installer_data.py clids SOURCE OUT
        SOURCE is UTF-8 text; OUT receives it in windows-1251, the encoding
        its XML declaration names and setup reads.
    make_installer_data.py abt-config OUT
        OUT receives our A/B-test configuration: a JSON object whose seed is
        Base64 of bytes generated here (deterministic, so that every build
        carries the same bytes).
"""
import base64
import hashlib
import json
import sys

SEED_BYTES = 1024


def write_clids(source, out):
    with open(source, "r", encoding="utf-8") as f:
        text = f.read()
    # Strict: a character outside windows-1251 is a build error, never a "?".
    data = text.encode("windows-1251")
    with open(out, "wb") as f:
        f.write(data)


def generated_seed(size):
    out = b""
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(b"norvel abt seed %d" % counter).digest()
        counter += 1
    return out[:size]


def write_abt_config(out):
    seed = generated_seed(SEED_BYTES)
    config = {
        "abt_config_version": 1,
        "seed_base64": base64.b64encode(seed).decode("ascii"),
        "seed_sha256": hashlib.sha256(seed).hexdigest(),
        "studies": ["first_run_layout", "newtab_tiles"],
    }
    with open(out, "w", encoding="ascii", newline="\n") as f:
        json.dump(config, f, indent=2, sort_keys=True)
        f.write("\n")


def main(argv):
    if len(argv) == 4 and argv[1] == "clids":
        write_clids(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "abt-config":
        write_abt_config(argv[2])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
