#!/usr/bin/env bash
# Creates a throw-away code-signing PKI for tests in OUTDIR: a root CA and a
# code-signing certificate issued by it, both SHA-256 with RSA 2048. Keys are
# made on the build machine and never committed. Does nothing when OUTDIR
# already holds a complete set.
#
#   OUTDIR/root.pem root.der      the test root (trust it where a test needs)
#   OUTDIR/signer.pem signer.key  for osslsigncode -certs/-key
set -euo pipefail
out="${1:?usage: make_test_pki.sh OUTDIR}"
if [ -s "$out/root.der" ] && [ -s "$out/signer.pem" ] && [ -s "$out/signer.key" ]; then
  exit 0
fi
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

cat >root.cnf <<'CNF'
[req]
distinguished_name = dn
prompt = no
x509_extensions = ext
[dn]
CN = Lite Installer Test Root CA
O = lite_installer tests
[ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF
cat >signer.cnf <<'CNF'
[ext]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
  -keyout root.key -out root.pem -config root.cnf 2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -sha256 \
  -keyout signer.key -out signer.csr \
  -subj "/CN=Lite Installer Test Signer/O=lite_installer tests" 2>/dev/null
openssl x509 -req -in signer.csr -CA root.pem -CAkey root.key -CAcreateserial \
  -sha256 -days 3650 -extfile signer.cnf -extensions ext -out signer.pem 2>/dev/null
openssl x509 -in root.pem -outform DER -out root.der

cp root.pem root.der signer.pem signer.key "$out/"
