#!/usr/bin/env bash
# Signs the verification test programs (UNSIGNED_DIR/<list variant>.exe and
# no_resources.exe) in the ways the tests need, into OUTDIR.
# Also copies the main list and its signature file for the tests of the
# signature check alone.
#   sign_fixtures.sh PKI_DIR LISTS_DIR UNSIGNED_DIR OUTDIR
set -euo pipefail
pki="${1:?usage: sign_fixtures.sh PKI_DIR LISTS_DIR UNSIGNED_DIR OUTDIR}"
lists="${2:?}"
in="${3:?}"
out="${4:?}"
mkdir -p "$out"
cp "$lists/main/TRUSTED.JSON" "$out/main_list.json"
cp "$lists/main/SIGNATURE.DAT" "$out/main_list.sig"

sign() {  # signer digest input output [extra osslsigncode options]
  local signer="$1" digest="$2" input="$3" output="$4"; shift 4
  local certs="$pki/$signer.pem"
  [ "$signer" = untrusted_signer_with_root ] && certs="$pki/untrusted_chain.pem" &&
    signer=untrusted_signer
  rm -f "$output"
  osslsigncode sign -certs "$certs" -key "$pki/$signer.key" -h "$digest" \
    -in "$input" -out "$output" "$@" >/dev/null
}

sign sha1_signer sha1 "$in/main.exe" "$out/sha1_only.exe"
sign sha256_signer sha256 "$in/main.exe" "$out/sha256_only.exe"
sign sha256_signer sha256 "$out/sha1_only.exe" "$out/dual_trusted.exe" -nest
sign other_signer sha256 "$out/sha1_only.exe" "$out/dual_untrusted_sha256.exe" -nest
sign other_signer sha256 "$in/main.exe" "$out/not_in_list.exe"
sign sha1_signer sha1 "$out/not_in_list.exe" "$out/untrusted_sha256_then_sha1.exe" -nest
sign untrusted_signer_with_root sha1 "$in/main.exe" "$out/untrusted_root.exe"
# Without its issuer the chain is the leaf alone.
sign untrusted_signer sha1 "$in/main.exe" "$out/missing_issuer.exe"
for variant in no_pub_key wrong_pub_key leading_zero key_10 unpinned tampered \
               short_signature no_list no_resources; do
  sign sha256_signer sha256 "$in/$variant.exe" "$out/$variant.exe"
done
cp "$in/main.exe" "$out/unsigned.exe"

# One byte of code changed after signing.
/usr/bin/python3 - "$out/sha256_only.exe" "$out/flipped_byte.exe" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
optional_size = struct.unpack_from("<H", data, pe + 20)[0]
first_section = pe + 24 + optional_size
raw_offset = struct.unpack_from("<I", data, first_section + 20)[0]
data[raw_offset + 16] ^= 0x01
open(sys.argv[2], "wb").write(data)
PY
