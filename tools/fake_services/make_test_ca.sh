#!/usr/bin/env bash
# Creates the test root CA and a server certificate for "localhost" signed by
# it, in the directory given as the only argument:
#   ca.pem, ca.key      the root (trusted by the test Wine prefix)
#   server.pem, server.key  the loopback services' certificate
#   ca.thumbprint       upper-case SHA-1 of the root's DER form
# Nothing is regenerated while the files exist and the server certificate is
# valid for another 30 days, so the prefix's trust entry stays current.
set -euo pipefail
dir="${1:?usage: make_test_ca.sh DIR}"
mkdir -p "$dir"
cd "$dir"

if [ -f ca.pem ] && [ -f server.pem ] && [ -f server.key ] && [ -f ca.thumbprint ] &&
   openssl x509 -in server.pem -noout -checkend $((30 * 86400)) >/dev/null 2>&1 &&
   openssl x509 -in ca.pem -noout -checkend $((30 * 86400)) >/dev/null 2>&1; then
  exit 0
fi

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

cat >"$tmp/ca.cnf" <<'CNF'
[req]
distinguished_name = dn
prompt = no
x509_extensions = ca_ext
[dn]
CN = lite_installer Test Root CA
O = lite_installer tests
[ca_ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF

cat >"$tmp/server.cnf" <<'CNF'
[req]
distinguished_name = dn
prompt = no
[dn]
CN = localhost
O = lite_installer tests
[server_ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost
authorityKeyIdentifier = keyid
subjectKeyIdentifier = hash
CNF

openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 3650 \
  -config "$tmp/ca.cnf" -keyout "$tmp/ca.key" -out "$tmp/ca.pem" 2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -sha256 -config "$tmp/server.cnf" \
  -keyout "$tmp/server.key" -out "$tmp/server.csr" 2>/dev/null
openssl x509 -req -in "$tmp/server.csr" -CA "$tmp/ca.pem" -CAkey "$tmp/ca.key" \
  -CAcreateserial -sha256 -days 825 -extfile "$tmp/server.cnf" \
  -extensions server_ext -out "$tmp/server.pem" 2>/dev/null
openssl x509 -in "$tmp/ca.pem" -noout -fingerprint -sha1 |
  sed -e 's/^.*=//' -e 's/://g' | tr 'a-f' 'A-F' >"$tmp/ca.thumbprint"
chmod 600 "$tmp/ca.key" "$tmp/server.key"
for f in ca.pem ca.key server.pem server.key ca.thumbprint; do
  mv -f "$tmp/$f" "$f"
done
