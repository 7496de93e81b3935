#!/usr/bin/env bash
# Creates the throw-away code-signing PKI of the verification tests in
# OUTDIR (test/support/signing/pki.sh). Does nothing when OUTDIR already
# holds a complete set.
#
#   root.pem root.key          test root; tests make the Wine prefix trust it
#                              (tools/trust_test_ca.sh)
#   sha1_signer.pem/.key       leaf signed with SHA-1 by the root
#   sha256_signer.pem/.key     leaf signed with SHA-256 by the root
#   other_signer.pem/.key      SHA-256 leaf by the root, in no trusted list
#   untrusted_signer.pem/.key  SHA-1 leaf of a root nobody trusts (Wine
#                              accepts SHA-256-signed leaves of unknown roots,
#                              so this one is signed with SHA-1)
#   untrusted_chain.pem        that leaf followed by its root
#   unpinned_key.pem           RSA-1024, not one of the pinned keys
set -euo pipefail
out="${1:?usage: make_code_signing_pki.sh OUTDIR}"
files=(root.pem root.key sha1_signer.pem sha1_signer.key sha256_signer.pem
       sha256_signer.key other_signer.pem other_signer.key untrusted_signer.pem
       untrusted_signer.key untrusted_chain.pem unpinned_key.pem)
complete=1
for f in "${files[@]}"; do [ -s "$out/$f" ] || complete=0; done
[ $complete = 1 ] && exit 0

here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../../test/support/signing/pki.sh"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

pki_root root "/CN=Lite Installer Code Signing Test Root/O=lite_installer tests"
pki_root untrusted_root \
  "/CN=Lite Installer Untrusted Test Root/O=lite_installer tests"

# Fixed serials with the top bit clear, so the list entries of the tests
# are predictable.
leaf() {  # name digest serial issuer
  pki_leaf "$1" "/CN=Lite Installer Test $1/O=lite_installer tests" "$4" \
    code_signing "$2" 3650 "$3"
}
leaf sha1_signer sha1 0x1A2B3C4D5E6F0711 root
leaf sha256_signer sha256 0x2B3C4D5E6F071122 root
leaf other_signer sha256 0x3C4D5E6F07112233 root
leaf untrusted_signer sha1 0x4D5E6F0711223344 untrusted_root
cat untrusted_signer.pem untrusted_root.pem >untrusted_chain.pem
# The unpinned key signs a list that claims pinned key 3. Its modulus must
# be below key 3's: a signature value at or above the verifying key's
# modulus is refused by the platform with another code (NTE_FAILURE instead
# of NTE_BAD_SIGNATURE), which would make the fixture's outcome random.
modulus() { openssl rsa -in "$1" -noout -modulus 2>/dev/null | cut -d= -f2; }
pinned3="$(modulus "$here/development_keys/pinned_key_3.pem")"
for _ in $(seq 64); do
  openssl genrsa -out unpinned_key.pem 1024 2>/dev/null
  candidate="$(modulus unpinned_key.pem)"
  # Both are 256 upper-case hex digits: text order is numeric order.
  [[ ${#candidate} -eq ${#pinned3} && "$candidate" < "$pinned3" ]] && break
done

cp "${files[@]}" "$out/"
