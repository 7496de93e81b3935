# Shell functions that make the tests' throw-away certificate authorities:
# sourced by test/support/signing/make_test_pki.sh (tag fixtures),
# tools/trusted_list/make_code_signing_pki.sh (publisher verification) and
# tools/fake_services/make_test_ca.sh (the loopback services' HTTPS). Keys
# are RSA 2048 made on the build machine and never committed. Each function
# writes NAME.key and NAME.pem into the current directory.
#
#   pki_root NAME SUBJECT
#       a self-signed SHA-256 root, valid for ten years
#   pki_leaf NAME SUBJECT ISSUER PROFILE DIGEST DAYS [SERIAL]
#       a leaf issued by ISSUER (ISSUER.pem, ISSUER.key) with DIGEST (sha1,
#       sha256); PROFILE code_signing or server (for "localhost"); without
#       SERIAL a random one
#
# The extensions are what osslsigncode, WinVerifyTrust and WinINet expect of
# a CA, a code-signing certificate and a TLS server certificate.

pki_extensions() {  # PROFILE
  case "$1" in
    root) cat <<'CNF' ;;
[req]
distinguished_name = dn
prompt = no
x509_extensions = ext
[dn]
[ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF
    code_signing) cat <<'CNF' ;;
[ext]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
    server) cat <<'CNF' ;;
[ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost
authorityKeyIdentifier = keyid
subjectKeyIdentifier = hash
CNF
    *) echo "pki.sh: unknown profile $1" >&2; return 1 ;;
  esac
}

pki_root() {  # NAME SUBJECT
  pki_extensions root >"$1.cnf"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
    -keyout "$1.key" -out "$1.pem" -config "$1.cnf" -subj "$2" 2>/dev/null
}

pki_leaf() {  # NAME SUBJECT ISSUER PROFILE DIGEST DAYS [SERIAL]
  local serial=(-CAcreateserial)
  [ -n "${7:-}" ] && serial=(-set_serial "$7")
  pki_extensions "$4" >"$1.cnf"
  openssl req -new -newkey rsa:2048 -nodes -sha256 -keyout "$1.key" \
    -out "$1.csr" -subj "$2" 2>/dev/null
  openssl x509 -req -in "$1.csr" -CA "$3.pem" -CAkey "$3.key" "${serial[@]}" \
    "-$5" -days "$6" -extfile "$1.cnf" -extensions ext -out "$1.pem" 2>/dev/null
}
