#!/usr/bin/env bash
# Prepares a Debian 12 machine to build and test lite_installer.
#
#   1. Debian packages (MinGW-w64 i686, Wine with wine32, Xvfb, CMake, ...).
#   2. OpenSSL libcrypto cross-built for MinGW from Debian's own source
#      package, cached outside the repository by version.
#   3. The project's Wine prefix (Windows 10, no crash dialogs, no proxies).
#   4. The test root CA (for the loopback services' HTTPS), trusted by the
#      prefix.
#
# Idempotent: every step checks whether its result is already there, so a
# second run on a ready machine takes seconds. Prints the environment it
# prepared as shell assignments when called with --print-env.
set -euo pipefail

CACHE_ROOT="${LITE_CACHE_DIR:-/var/cache/lite_installer}"
export WINEPREFIX="${LITE_WINEPREFIX:-$CACHE_ROOT/wineprefix}"
PREFIX_STAMP_VERSION=2

fail() {
  echo "bootstrap: step '$STEP' failed: $*" >&2
  exit 1
}
trap 'rc=$?; [ $rc -ne 0 ] && echo "bootstrap: step ${STEP:-?} failed (exit $rc, line $LINENO)" >&2' EXIT

log() { echo "bootstrap: $*"; }

# ---------------------------------------------------------------------------
STEP="debian packages"
PACKAGES=(
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev libz-mingw-w64-dev
  wine wine32:i386 xvfb xauth x11-utils imagemagick
  cmake ninja-build make perl dpkg-dev file
  nlohmann-json3-dev googletest
  gcab osslsigncode openssl python3
  clang-14 libclang-rt-14-dev  # native fuzzing of the byte parsers (tools/fuzz)
  curl  # download benchmark baseline
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  log "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386 || fail "cannot enable the i386 architecture"
  fi
  apt-get update -qq || fail "apt-get update failed (is the Debian mirror reachable?)"
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    fail "apt-get install failed for: ${missing[*]}"
fi
command -v i686-w64-mingw32-g++-posix >/dev/null || fail "i686-w64-mingw32-g++-posix not found after install"
command -v wine >/dev/null || fail "wine not found after install"

# ---------------------------------------------------------------------------
STEP="openssl libcrypto for mingw"
add_deb_src() {
  local src=/etc/apt/sources.list.d/lite-installer-src.sources
  [ -f "$src" ] && return 0
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    # The same archive (and snapshot, if pinned) as the binary packages.
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$src"
  else
    grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' \
      >/etc/apt/sources.list.d/lite-installer-src.list
    touch "$src"
  fi
  apt-get update -qq || fail "apt-get update after adding deb-src failed"
}

openssl_versions() {
  apt-cache showsrc openssl 2>/dev/null | awk '/^Version:/ {print $2}' | sort -rV | uniq
}

openssl_dir_for() { echo "$CACHE_ROOT/openssl-$1-i686-w64-mingw32"; }

build_openssl() {
  local ver="$1" dir work
  dir="$(openssl_dir_for "$ver")"
  work="$(mktemp -d)"
  (
    cd "$work"
    # A version listed in the index may be missing from the mirror's pool.
    apt-get source --download-only -qq "openssl=$ver" >download.log 2>&1 ||
      { echo "openssl $ver source not downloadable: $(grep -m1 '^E:' download.log)" >&2; exit 2; }
    tarball="$(ls openssl_*.orig.tar.* | grep -v '\.asc$' | head -1)"
    tar xf "$tarball"
    cd openssl-*/
    ./Configure mingw no-shared no-asm no-tests no-dso no-engine \
      --cross-compile-prefix=i686-w64-mingw32- CC=gcc-posix \
      --prefix="$dir.tmp" >configure.log 2>&1 ||
      { tail -20 configure.log >&2; exit 1; }
    make -j"$(nproc)" build_libs >build.log 2>&1 || { tail -30 build.log >&2; exit 1; }
    rm -rf "$dir.tmp"
    mkdir -p "$dir.tmp/lib" "$dir.tmp/include"
    cp libcrypto.a "$dir.tmp/lib/"
    cp -r include/openssl "$dir.tmp/include/"
  )
  local rc=$?
  rm -rf "$work"
  [ $rc -eq 0 ] || return $rc
  rm -rf "$dir"
  mv "$dir.tmp" "$dir"
}

versions="$(openssl_versions || true)"
if [ -z "$versions" ]; then
  add_deb_src
  versions="$(openssl_versions)"
fi
[ -n "$versions" ] || fail "no openssl source package known to apt"
OPENSSL_DIR=""
ver=""
for v in $versions; do  # newest cached build first
  if [ -f "$(openssl_dir_for "$v")/lib/libcrypto.a" ]; then ver="$v"; OPENSSL_DIR="$(openssl_dir_for "$v")"; break; fi
done
if [ -z "$OPENSSL_DIR" ]; then
  add_deb_src
  for v in $versions; do
    log "building libcrypto $v for i686-w64-mingw32 (about 2 minutes)"
    rc=0
    build_openssl "$v" || rc=$?
    if [ $rc -eq 0 ]; then ver="$v"; OPENSSL_DIR="$(openssl_dir_for "$v")"; break; fi
    [ $rc -eq 2 ] || fail "cross-building openssl $v"
  done
  [ -n "$OPENSSL_DIR" ] || fail "no openssl source version could be downloaded ($versions)"
fi
ln -sfn "$OPENSSL_DIR" "$CACHE_ROOT/openssl-current"

# ---------------------------------------------------------------------------
STEP="wine prefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY all_proxy ALL_PROXY
stamp="$WINEPREFIX/.lite_installer_prefix_v$PREFIX_STAMP_VERSION"
if [ ! -f "$stamp" ]; then
  log "creating the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wine wineboot -i </dev/null >/dev/null 2>&1 || fail "wineboot -i in $WINEPREFIX"
  wineserver -w
  wine winecfg -v win10 </dev/null >/dev/null 2>&1 || fail "winecfg -v win10"
  regfile="$(mktemp --suffix=.reg)"
  # A fresh prefix lacks UBR; a debugger or crash dialog would hang tests
  # under Xvfb, so both are switched off.
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion]' \
    '"UBR"=dword:00000000' '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
    '"Debugger"=""' '"Auto"="0"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' \
    '"ShowCrashDialog"=dword:00000000' '' >"$regfile"
  wine regedit /S "$(winepath -w "$regfile" 2>/dev/null)" </dev/null >/dev/null 2>&1 ||
    fail "importing prefix settings"
  rm -f "$regfile"
  wineserver -w
  touch "$stamp"
fi

# ---------------------------------------------------------------------------
STEP="test CA trusted by the prefix"
# The loopback services' HTTPS certificate chains to this root. Its keys are
# regenerated here, never committed; the prefix trusts the current root
# through a Root-store registry entry keyed by its SHA-1 thumbprint.
TEST_CA_DIR="$CACHE_ROOT/test_ca"
bash "$(dirname "$0")/fake_services/make_test_ca.sh" "$TEST_CA_DIR" ||
  fail "creating the test CA in $TEST_CA_DIR"
thumb="$(cat "$TEST_CA_DIR/ca.thumbprint")"
ca_stamp="$WINEPREFIX/.lite_test_ca_$thumb"
if [ ! -f "$ca_stamp" ]; then
  log "trusting the test CA $thumb in $WINEPREFIX"
  regfile="$(mktemp --suffix=.reg)"
  /usr/bin/python3 "$(dirname "$0")/fake_services/root_store_reg.py" \
    "$TEST_CA_DIR/ca.pem" "$regfile" >/dev/null || fail "writing the Root-store entry"
  wine regedit /S "$(winepath -w "$regfile" 2>/dev/null)" </dev/null >/dev/null 2>&1 ||
    fail "importing the Root-store entry"
  rm -f "$regfile"
  wineserver -w
  rm -f "$WINEPREFIX"/.lite_test_ca_*
  touch "$ca_stamp"
fi

if [ "${1:-}" = "--print-env" ]; then
  echo "export WINEPREFIX='$WINEPREFIX'"
  echo "export LITE_OPENSSL_ROOT='$OPENSSL_DIR'"
  echo "export LITE_TEST_CA_DIR='$TEST_CA_DIR'"
fi
log "ready (openssl $ver, prefix $WINEPREFIX)"
trap - EXIT
