#!/usr/bin/env bash
# Makes the Wine prefix trust a test root certificate: writes it into the
# machine's Root store as a registry entry keyed by its SHA-1 thumbprint
# (the store's "Blob" value holds serialized properties; here only the
# encoded certificate, property 32) and imports that with regedit.
# Idempotent: importing the same certificate again rewrites the same value.
#
#   tools/trust_test_ca.sh CERT.pem     (WINEPREFIX or LITE_WINEPREFIX chooses
#                                        the prefix)
set -euo pipefail
pem="${1:?usage: trust_test_ca.sh CERT.pem}"
root="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${LITE_WINEPREFIX:-${WINEPREFIX:-/var/cache/lite_installer/wineprefix}}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

regfile="$(mktemp --suffix=.reg)"
trap 'rm -f "$regfile"' EXIT
thumbprint="$(/usr/bin/python3 - "$pem" "$regfile" <<'PY'
import base64, hashlib, struct, sys
text = open(sys.argv[1], encoding="ascii").read()
body = text.split("-----BEGIN CERTIFICATE-----")[1].split("-----END CERTIFICATE-----")[0]
der = base64.b64decode("".join(body.split()))
thumb = hashlib.sha1(der).hexdigest().upper()
blob = struct.pack("<III", 32, 1, len(der)) + der
hexbytes = ["%02x" % b for b in blob]
rows = [",".join(hexbytes[i:i + 24]) for i in range(0, len(hexbytes), 24)]
key = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + thumb
with open(sys.argv[2], "w", encoding="ascii", newline="") as f:
    f.write("REGEDIT4\r\n\r\n[%s]\r\n\"Blob\"=hex:%s\r\n\r\n" % (key, ",\\\r\n  ".join(rows)))
print(thumb)
PY
)"
wine regedit /S "$(winepath -w "$regfile" 2>/dev/null)" </dev/null >/dev/null 2>&1 || {
  echo "trust_test_ca.sh: importing $pem ($thumbprint) into $WINEPREFIX failed" >&2
  exit 1
}
echo "trusted $thumbprint in $WINEPREFIX"
