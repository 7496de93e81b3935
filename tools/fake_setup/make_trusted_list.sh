#!/usr/bin/env bash
# The development trusted list carried by the fake setup program: it names
# the development SHA-256 code-signing certificate and is signed with pinned
# development key 3. Writes TRUSTED.JSON, SIGNATURE.DAT and trusted_list.rc.
#   make_trusted_list.sh PKI_DIR OUTDIR
set -euo pipefail
pki="${1:?usage: make_trusted_list.sh PKI_DIR OUTDIR}"
out="${2:?usage: make_trusted_list.sh PKI_DIR OUTDIR}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
tool="$root/tools/trusted_list/trusted_list.py"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
(cd "$pki" && /usr/bin/python3 "$tool" make-list --entry sha256_signer.pem \
  --out "$work/list.json")
/usr/bin/python3 "$tool" sign --list "$work/list.json" \
  --key "$root/tools/trusted_list/development_keys/pinned_key_3.pem" \
  --key-number 3 --out-dir "$out"
