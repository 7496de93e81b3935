#!/usr/bin/env bash
# Makes the signed and tagged executables that the installer-tag tests read.
#
#   make_tag_fixtures.sh PROGRAM INSTALLER OUTDIR
#       PROGRAM: a small unsigned executable; INSTALLER: lite_installer.exe.
#       Writes OUTDIR/pki (a fresh test PKI) and OUTDIR/*.exe, then
#       OUTDIR/stamp.
#   make_tag_fixtures.sh --sign-and-tag INPUT OUTPUT TAG OUTDIR
#       Signs INPUT with the PKI in OUTDIR/pki and stamps TAG into a dummy
#       certificate.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
tag_writer=("python3" "$root/tools/tag_writer/tag_writer.py")

sign() {  # sign PKI IN OUT
  rm -f "$3"
  osslsigncode sign -certs "$1/signer.pem" -key "$1/signer.key" -h sha256 \
    -n "lite_installer test" -in "$2" -out "$3" >/dev/null
}

if [ "${1:-}" = "--sign-and-tag" ]; then
  in="$2" out="$3" tag="$4" dir="$5"
  sign "$dir/pki" "$in" "$out.signed"
  "${tag_writer[@]}" add-certificate --tag "$tag" "$out.signed" "$out"
  rm -f "$out.signed"
  exit 0
fi

program="${1:?usage: make_tag_fixtures.sh PROGRAM INSTALLER OUTDIR}"
installer="${2:?}"
out="${3:?}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
rm -f "$out/stamp"
bash "$root/test/support/signing/make_test_pki.sh" tag "$out/pki"
pki="$out/pki"
tw() { "${tag_writer[@]}" "$@"; }

cp "$program" "$out/unsigned.exe"
sign "$pki" "$program" "$out/untagged.exe"
tw add-certificate --tag "brand_id=a&banerid=1" "$out/untagged.exe" "$out/certificate_tag.exe"
tw append-block --tag "brand_id=b&banerid=2" "$out/untagged.exe" "$out/appended_tag.exe"
# Tags A and B in two dummy certificates read as AB.
tw add-certificate --tag "brand_id=c" "$out/untagged.exe" "$out/two_certificates.tmp"
tw add-certificate --tag "&banerid=3" "$out/two_certificates.tmp" "$out/two_certificates.exe"
rm -f "$out/two_certificates.tmp"
# Space reserved by the signing step, filled later by a download service.
tw add-certificate --tag "" --reserve 256 "$out/untagged.exe" "$out/reserved_empty.exe"
tw append-block --tag "brand_id=d" "$out/reserved_empty.exe" "$out/reserved_empty_appended.exe"
tw fill-certificate --tag "brand_id=e&banerid=5" "$out/reserved_empty.exe" "$out/reserved_filled.exe"
# Near misses that carry no tag.
tw add-certificate --extensions 3 --tag "brand_id=f" "$out/untagged.exe" "$out/three_extensions.exe"
tw add-certificate --serial 2 --tag "brand_id=g" "$out/untagged.exe" "$out/other_serial.exe"
# A byte of the signed headers changed after tagging: verification must fail.
python3 - "$out/certificate_tag.exe" "$out/tampered.exe" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
(lfanew,) = struct.unpack_from("<I", data, 0x3C)
data[lfanew + 24 + 2] ^= 0x01  # MajorLinkerVersion: hashed, never read
open(sys.argv[2], "wb").write(data)
PY

sign "$pki" "$installer" "$out/lite_installer_signed.exe"
tw add-certificate --tag "brand_id=x&banerid=42" "$out/lite_installer_signed.exe" "$out/lite_installer_tagged.exe"
tw append-block --tag "brand_id=x&banerid=42" "$out/lite_installer_signed.exe" "$out/lite_installer_appended.exe"

touch "$out/stamp"
