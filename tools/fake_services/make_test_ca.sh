#!/usr/bin/env bash
# Creates the test root CA and a server certificate for "localhost" signed by
# it (test/support/signing/pki.sh), in the directory given as the only
# argument:
#   ca.pem, ca.key      the root (trusted by the test Wine prefix)
#   server.pem, server.key  the loopback services' certificate
#   ca.thumbprint       upper-case SHA-1 of the root's DER form
# Nothing is regenerated while the files exist and the server certificate is
# valid for another 30 days, so the prefix's trust entry stays current.
set -euo pipefail
dir="${1:?usage: make_test_ca.sh DIR}"
source "$(cd "$(dirname "$0")/../.." && pwd)/test/support/signing/pki.sh"
mkdir -p "$dir"
cd "$dir"

if [ -f ca.pem ] && [ -f server.pem ] && [ -f server.key ] && [ -f ca.thumbprint ] &&
   openssl x509 -in server.pem -noout -checkend $((30 * 86400)) >/dev/null 2>&1 &&
   openssl x509 -in ca.pem -noout -checkend $((30 * 86400)) >/dev/null 2>&1; then
  exit 0
fi

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
(
  cd "$tmp"
  pki_root ca "/CN=lite_installer Test Root CA/O=lite_installer tests"
  pki_leaf server "/CN=localhost/O=lite_installer tests" ca server sha256 825
  openssl x509 -in ca.pem -noout -fingerprint -sha1 |
    sed -e 's/^.*=//' -e 's/://g' | tr 'a-f' 'A-F' >ca.thumbprint
  chmod 600 ca.key server.key
)
for f in ca.pem ca.key server.pem server.key ca.thumbprint; do
  mv -f "$tmp/$f" "$f"
done
