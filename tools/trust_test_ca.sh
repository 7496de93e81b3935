#!/usr/bin/env bash
# Makes the Wine prefix trust a test root certificate: writes it into the
# machine's Root store as a registry entry keyed by its SHA-1 thumbprint
# (the store's "Blob" value holds serialized properties; here only the
# encoded certificate, property 32) and imports that with regedit.
# Idempotent: importing the same certificate again rewrites the same value.
#
#   tools/trust_test_ca.sh [--arch=x86|x64] CERT.pem
# The architecture chooses the Wine loader and the default prefix;
# WINEPREFIX or LITE_WINEPREFIX chooses another prefix.
set -euo pipefail
arch="${LITE_ARCH:-x86}"
case "${1:-}" in
  --arch=*) arch="${1#--arch=}"; shift ;;
esac
pem="${1:?usage: trust_test_ca.sh [--arch=x86|x64] CERT.pem}"
source "$(dirname "$0")/build_arch.sh"
lite_arch_settings "$arch" || { echo "trust_test_ca.sh: unknown architecture $arch" >&2; exit 2; }
export LITE_ARCH="$arch"
export WINEPREFIX="${LITE_WINEPREFIX:-${WINEPREFIX:-${LITE_CACHE_DIR:-/var/cache/lite_installer}/$LITE_PREFIX_NAME}}"
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
lite_wine regedit /S "$(lite_wine winepath -w "$regfile" 2>/dev/null)" </dev/null >/dev/null 2>&1 || {
  echo "trust_test_ca.sh: importing $pem ($thumbprint) into $WINEPREFIX failed" >&2
  exit 1
}
echo "trusted $thumbprint in $WINEPREFIX"
