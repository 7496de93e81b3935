#!/usr/bin/env bash
# Creates a throw-away code-signing PKI for tests in OUTDIR: a root CA and a
# code-signing certificate issued by it, both SHA-256 with RSA 2048
# (test/support/signing/pki.sh). Does nothing when OUTDIR already holds a
# complete set.
#
#   OUTDIR/root.pem root.der      the test root (trust it where a test needs)
#   OUTDIR/signer.pem signer.key  for osslsigncode -certs/-key
set -euo pipefail
out="${1:?usage: make_test_pki.sh OUTDIR}"
if [ -s "$out/root.der" ] && [ -s "$out/signer.pem" ] && [ -s "$out/signer.key" ]; then
  exit 0
fi
source "$(cd "$(dirname "$0")" && pwd)/pki.sh"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

pki_root root "/CN=Lite Installer Test Root CA/O=lite_installer tests"
pki_leaf signer "/CN=Lite Installer Test Signer/O=lite_installer tests" root \
  code_signing sha256 3650
openssl x509 -in root.pem -outform DER -out root.der

cp root.pem root.der signer.pem signer.key "$out/"
