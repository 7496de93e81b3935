#!/usr/bin/env bash
# Creates the throw-away certificate authorities of the tests. Keys are made
# on the build machine and never committed. Every root is a SHA-256, RSA 2048
# CA (critical CA:TRUE, keyCertSign and cRLSign); every leaf carries the
# extensions of its use.
#
#   make_test_pki.sh tag OUTDIR
#     The tag fixtures' signing PKI:
#     root.pem root.der      the test root (trust it where a test needs)
#     signer.pem signer.key  SHA-256 code-signing leaf, for osslsigncode
#   make_test_pki.sh code-signing OUTDIR
#     The verification tests' PKI (fixed serials, so that the tests' list
#     entries are predictable):
#     root.pem root.key          test root; tests make the Wine prefix trust
#                                it (tools/trust_test_ca.sh)
#     sha1_signer.pem/.key       leaf signed with SHA-1 by the root
#     sha256_signer.pem/.key     leaf signed with SHA-256 by the root
#     other_signer.pem/.key      SHA-256 leaf by the root, in no trusted list
#     untrusted_signer.pem/.key  SHA-1 leaf of a root nobody trusts (Wine
#                                accepts SHA-256-signed leaves of unknown
#                                roots, so this one is signed with SHA-1)
#     untrusted_chain.pem        that leaf followed by its root
#     unpinned_key.pem           RSA-1024, not one of the pinned keys
#   make_test_pki.sh server DIR
#     The loopback services' CA, trusted by the test Wine prefix:
#     ca.pem, ca.key          the root
#     server.pem, server.key  the certificate for "localhost"
#     ca.thumbprint           upper-case SHA-1 of the root's DER form
#
# Nothing is made again while OUTDIR holds a complete set (for "server":
# while the root and the server certificate are valid for another 30 days,
# so the prefix's trust entry stays current).
set -euo pipefail
usage="usage: make_test_pki.sh tag|code-signing|server OUTDIR"
kind="${1:?$usage}"
out="${2:?$usage}"

# root NAME SUBJECT: a self-signed CA in NAME.pem and NAME.key.
root() {
  cat >root.cnf <<'CNF'
[req]
distinguished_name = dn
prompt = no
x509_extensions = ext
[dn]
CN = unused
[ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
    -keyout "$1.key" -out "$1.pem" -config root.cnf -subj "$2" 2>/dev/null
}

# leaf NAME USE ISSUER DIGEST DAYS SUBJECT [SERIAL]: NAME.pem and NAME.key,
# issued by ISSUER.pem for USE ("codeSigning" or "serverAuth", the latter
# for localhost); a random serial unless one is given.
leaf() {
  case "$2" in
    codeSigning)
      cat >leaf.cnf <<'CNF'
[ext]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
      ;;
    serverAuth)
      cat >leaf.cnf <<'CNF'
[ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost
authorityKeyIdentifier = keyid
subjectKeyIdentifier = hash
CNF
      ;;
  esac
  local serial=(-CAcreateserial)
  [ -n "${7:-}" ] && serial=(-set_serial "$7")
  openssl req -new -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" \
    -subj "$6" 2>/dev/null
  openssl x509 -req -in "$1.csr" -CA "$3.pem" -CAkey "$3.key" "${serial[@]}" \
    "-$4" -days "$5" -extfile leaf.cnf -extensions ext -out "$1.pem" 2>/dev/null
}

# complete FILE...: true when OUTDIR holds every FILE, not empty.
complete() {
  for f in "$@"; do [ -s "$out/$f" ] || return 1; done
}

case "$kind" in
  tag) files=(root.pem root.der signer.pem signer.key) ;;
  code-signing)
    files=(root.pem root.key sha1_signer.pem sha1_signer.key sha256_signer.pem
           sha256_signer.key other_signer.pem other_signer.key
           untrusted_signer.pem untrusted_signer.key untrusted_chain.pem
           unpinned_key.pem) ;;
  server)
    files=(ca.pem ca.key server.pem server.key ca.thumbprint)
    if complete "${files[@]}" &&
       openssl x509 -in "$out/server.pem" -noout -checkend $((30 * 86400)) >/dev/null 2>&1 &&
       openssl x509 -in "$out/ca.pem" -noout -checkend $((30 * 86400)) >/dev/null 2>&1; then
      exit 0
    fi ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
[ "$kind" != server ] && complete "${files[@]}" && exit 0

mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
tests="/O=lite_installer tests"

case "$kind" in
  tag)
    root root "/CN=Lite Installer Test Root CA$tests"
    leaf signer codeSigning root sha256 3650 "/CN=Lite Installer Test Signer$tests"
    openssl x509 -in root.pem -outform DER -out root.der
    ;;
  code-signing)
    root root "/CN=Lite Installer Code Signing Test Root$tests"
    root untrusted_root "/CN=Lite Installer Untrusted Test Root$tests"
    for signer in "sha1_signer sha1 0x1A2B3C4D5E6F0711 root" \
                  "sha256_signer sha256 0x2B3C4D5E6F071122 root" \
                  "other_signer sha256 0x3C4D5E6F07112233 root" \
                  "untrusted_signer sha1 0x4D5E6F0711223344 untrusted_root"; do
      set -- $signer
      leaf "$1" codeSigning "$4" "$2" 3650 "/CN=Lite Installer Test $1$tests" "$3"
    done
    cat untrusted_signer.pem untrusted_root.pem >untrusted_chain.pem
    openssl genrsa -out unpinned_key.pem 1024 2>/dev/null
    ;;
  server)
    root ca "/CN=lite_installer Test Root CA$tests"
    leaf server serverAuth ca sha256 825 "/CN=localhost$tests"
    openssl x509 -in ca.pem -noout -fingerprint -sha1 |
      sed -e 's/^.*=//' -e 's/://g' | tr 'a-f' 'A-F' >ca.thumbprint
    chmod 600 ca.key server.key
    ;;
esac
# Moved in whole, so a stopped run leaves no half set behind.
for f in "${files[@]}"; do
  mv -f "$f" "$out/$f"
done
