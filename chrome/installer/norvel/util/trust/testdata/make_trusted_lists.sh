#!/usr/bin/env bash
# Builds the signed trusted lists of the verification tests, one folder per
# variant under OUTDIR, each with TRUSTED.JSON, SIGNATURE.DAT and
# trusted_list.rc.
#   make_trusted_lists.sh PKI_DIR OUTDIR
set -euo pipefail
pki="${1:?usage: make_trusted_lists.sh PKI_DIR OUTDIR}"
out="${2:?usage: make_trusted_lists.sh PKI_DIR OUTDIR}"
root="$(cd "$(dirname "$0")/../../../../../.." && pwd)"
tool="$root/tools/trusted_list/trusted_list.py"
keys="$root/tools/trusted_list/development_keys"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

list() {  # name entries...
  local name="$1"; shift
  local args=()
  for e in "$@"; do args+=(--entry "$e"); done
  (cd "$pki" && /usr/bin/python3 "$tool" make-list "${args[@]}" --out "$work/$name.json")
}
sign() {  # variant list key-file key-number
  /usr/bin/python3 "$tool" sign --list "$work/$2.json" --key "$3" --key-number "$4" \
    --out-dir "$out/$1"
}

list main sha1_signer.pem sha256_signer.pem untrusted_signer.pem
list no_pub_key sha1_signer.pem sha256_signer.pem:no-pub-key
list wrong_pub_key sha256_signer.pem:pub-key-of=other_signer.pem
list leading_zero sha256_signer.pem:serial-prefix=00

sign main main "$keys/pinned_key_3.pem" 3
sign no_pub_key no_pub_key "$keys/pinned_key_0.pem" 0
sign wrong_pub_key wrong_pub_key "$keys/pinned_key_9.pem" 9
sign leading_zero leading_zero "$keys/pinned_key_5.pem" 5
# Key number 10 does not exist, even with a signature by a real key.
sign key_10 main "$keys/pinned_key_0.pem" 10
# Claims pinned key 3 but is signed by another key.
sign unpinned main "$pki/unpinned_key.pem" 3
# Signed, then the signing certificate of an outsider added to the list.
sign tampered main "$keys/pinned_key_3.pem" 3
(cd "$pki" && /usr/bin/python3 "$tool" make-list --entry sha1_signer.pem \
  --entry sha256_signer.pem --entry untrusted_signer.pem --entry other_signer.pem \
  --out "$out/tampered/TRUSTED.JSON")
# Only the key number, no signature.
sign short_signature main "$keys/pinned_key_3.pem" 3
head -c 2 "$out/short_signature/SIGNATURE.DAT" >"$work/short" &&
  cp "$work/short" "$out/short_signature/SIGNATURE.DAT"
# The signature without the list.
sign no_list main "$keys/pinned_key_3.pem" 3
grep -v TRUSTED_JSON "$out/no_list/trusted_list.rc" >"$work/rc" &&
  cp "$work/rc" "$out/no_list/trusted_list.rc"
