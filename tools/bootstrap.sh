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
# second run on a ready machine takes seconds.
#
# The build the tests run on (LITE_ARCH: x86, or x64 where this machine
# cannot execute 32-bit code) is chosen by tools/build_arch.sh; the 64-bit
# build needs neither the i386 architecture nor wine32. When the i386
# packages cannot be installed, the bootstrap falls back to the 64-bit build
# with one warning. Both builds need libcrypto for i686: the product is
# always built and checked as a 32-bit program.
#
# With --print-env, prints the environment it prepared as shell assignments
# on standard output (its progress goes to standard error).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=build_arch.sh
source "$here/build_arch.sh"

CACHE_ROOT="${LITE_CACHE_DIR:-/var/cache/lite_installer}"
PREFIX_STAMP_VERSION=2

fail() {
  echo "bootstrap: step '$STEP' failed: $*" >&2
  exit 1
}
trap 'rc=$?; [ $rc -ne 0 ] && echo "bootstrap: step ${STEP:-?} failed (exit $rc, line $LINENO)" >&2' EXIT

log() { echo "bootstrap: $*" >&2; }

STEP="build choice"
lite_pick_arch || fail "no build to run on"

# ---------------------------------------------------------------------------
STEP="debian packages"
COMMON_PACKAGES=(
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev libz-mingw-w64-dev
  wine wine64 xvfb xauth x11-utils imagemagick
  librsvg2-bin  # renders the SVG art (resources/art); also the website icon
  cmake ninja-build make perl dpkg-dev file
  nlohmann-json3-dev googletest
  gcab osslsigncode openssl python3
  clang-14 libclang-rt-14-dev  # native fuzzing of the byte parsers (tools/fuzz)
  curl  # download benchmark baseline
  xcompmgr  # blends semi-transparent layered windows in UI test screenshots
  # The private font faces (resources/fonts): Noto Sans and Noto Sans CJK,
  # Regular and Medium, subset and renamed with fontTools.
  python3-fonttools fonts-noto-core fonts-noto-extra fonts-noto-cjk fonts-noto-cjk-extra
)
I386_PACKAGES=(wine32:i386)

missing_of() {
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      echo "$p"
    fi
  done
}

# The mirror can be briefly inconsistent (an index whose size does not
# match its signed release file while it syncs): retry with a pause. Apt's
# signature checks stay on.
APT_TRIES="${LITE_APT_TRIES:-3}"
apt_retry() {
  local i
  for ((i = 1; i <= APT_TRIES; i++)); do
    "$@" && return 0
    [ "$i" -lt "$APT_TRIES" ] && { log "'$*' failed (try $i of $APT_TRIES); again in 15 s"; sleep 15; }
  done
  return 1
}

apt_updated=0
# An index that cannot be fetched is not fatal in itself: only a package
# that then cannot be installed is.
apt_update() {
  [ "$apt_updated" = 1 ] && return 0
  apt_updated=1
  apt_retry apt-get update -qq >&2 ||
    log "warning: apt-get update failed; installing from the indexes apt already has"
}

apt_install() {
  export DEBIAN_FRONTEND=noninteractive
  apt_retry apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

mapfile -t missing < <(missing_of "${COMMON_PACKAGES[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  log "installing: ${missing[*]}"
  apt_update
  apt_install "${missing[@]}" || fail "apt-get install failed for: ${missing[*]}"
fi
if [ "$LITE_ARCH" = x86 ]; then
  mapfile -t missing < <(missing_of "${I386_PACKAGES[@]}")
  # A failed i386 install is remembered for an hour: the mirror state that
  # broke it rarely heals within minutes, and every later run would pay the
  # retries again (about two minutes) for the same answer.
  i386_failed_mark="$CACHE_ROOT/i386-packages-failed"
  if [ ${#missing[@]} -gt 0 ] && [ -n "$(find "$i386_failed_mark" -mmin -60 2>/dev/null)" ]; then
    echo "bootstrap: warning: the i386 packages (${missing[*]}) could not be installed $(( ($(date +%s) - $(stat -c %Y "$i386_failed_mark")) / 60 )) min ago; using the 64-bit build (remove $i386_failed_mark to retry now)" >&2
    LITE_ARCH=x64
    LITE_ARCH_REASON="the i386 packages (${missing[*]}) could not be installed (remembered)"
    missing=()
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing: ${missing[*]}"
    i386_ok=1
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386 || i386_ok=0
      apt_updated=0
    fi
    [ "$i386_ok" = 1 ] && apt_update
    [ "$i386_ok" = 1 ] && apt_install "${missing[@]}" || i386_ok=0
    if [ "$i386_ok" = 0 ]; then
      echo "bootstrap: warning: the i386 packages (${missing[*]}) cannot be installed; using the 64-bit build" >&2
      mkdir -p "$CACHE_ROOT" && touch "$i386_failed_mark"
      LITE_ARCH=x64
      LITE_ARCH_REASON="the i386 packages (${missing[*]}) could not be installed"
    fi
  fi
fi
for tool in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix wine; do
  command -v "$tool" >/dev/null || fail "$tool not found after install"
done
[ -x /usr/lib/wine/wine64 ] || fail "/usr/lib/wine/wine64 not found after install"
lite_arch_settings "$LITE_ARCH"
export WINEPREFIX="${LITE_WINEPREFIX:-$CACHE_ROOT/$LITE_PREFIX_NAME}"

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
  apt_updated=0
  apt_update
}

openssl_versions() {
  apt-cache showsrc openssl 2>/dev/null | awk '/^Version:/ {print $2}' | sort -rV | uniq
}

openssl_dir_for() { echo "$CACHE_ROOT/openssl-$1-$2"; }

# build_openssl VERSION TRIPLET: libcrypto alone, static, no assembly.
build_openssl() {
  local ver="$1" triplet="$2" dir work target
  dir="$(openssl_dir_for "$ver" "$triplet")"
  case "$triplet" in
    i686-w64-mingw32) target=mingw ;;
    x86_64-w64-mingw32) target=mingw64 ;;
  esac
  work="$(mktemp -d)"
  (
    cd "$work"
    # A version listed in the index may be missing from the mirror's pool
    # (a 404, not worth a retry): the caller then tries an older one.
    apt-get source --download-only -qq "openssl=$ver" >download.log 2>&1 ||
      { echo "openssl $ver source not downloadable: $(grep -m1 '^E:' download.log)" >&2; exit 2; }
    tarball="$(ls openssl_*.orig.tar.* | grep -v '\.asc$' | head -1)"
    tar xf "$tarball"
    cd openssl-*/
    ./Configure "$target" no-shared no-asm no-tests no-dso no-engine \
      --cross-compile-prefix="$triplet-" CC=gcc-posix \
      --prefix="$dir.tmp" >configure.log 2>&1 ||
      { tail -20 configure.log >&2; exit 1; }
    make -j"$(nproc)" build_libs >build.log 2>&1 || { tail -30 build.log >&2; exit 1; }
    # Copied by hand: the install step of the mingw64 target would put the
    # library under lib64.
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

OPENSSL_VERSIONS=""
OPENSSL_MISSING=" "  # versions whose source could not be downloaded
# ensure_openssl TRIPLET: sets OPENSSL_DIR and OPENSSL_VERSION, building
# the newest version whose source can be had (older ones as a fallback).
ensure_openssl() {
  local triplet="$1" v rc
  if [ -z "$OPENSSL_VERSIONS" ]; then
    OPENSSL_VERSIONS="$(openssl_versions || true)"
    if [ -z "$OPENSSL_VERSIONS" ]; then
      add_deb_src
      OPENSSL_VERSIONS="$(openssl_versions)"
    fi
    [ -n "$OPENSSL_VERSIONS" ] || fail "no openssl source package known to apt"
  fi
  OPENSSL_DIR=""
  for v in $OPENSSL_VERSIONS; do  # newest cached build first
    if [ -f "$(openssl_dir_for "$v" "$triplet")/lib/libcrypto.a" ]; then
      OPENSSL_VERSION="$v"; OPENSSL_DIR="$(openssl_dir_for "$v" "$triplet")"; return 0
    fi
  done
  add_deb_src
  for v in $OPENSSL_VERSIONS; do
    [[ "$OPENSSL_MISSING" == *" $v "* ]] && continue
    log "building libcrypto $v for $triplet (2 to 10 minutes)"
    rc=0
    build_openssl "$v" "$triplet" || rc=$?
    if [ $rc -eq 0 ]; then
      OPENSSL_VERSION="$v"; OPENSSL_DIR="$(openssl_dir_for "$v" "$triplet")"; return 0
    fi
    [ $rc -eq 2 ] || fail "cross-building openssl $v for $triplet"
    OPENSSL_MISSING+="$v "
  done
  fail "no openssl source version could be downloaded ($OPENSSL_VERSIONS)"
}

mkdir -p "$CACHE_ROOT"
ensure_openssl i686-w64-mingw32
OPENSSL_DIR_X86="$OPENSSL_DIR"
ln -sfn "$OPENSSL_DIR_X86" "$CACHE_ROOT/openssl-current"
if [ "$LITE_ARCH" = x64 ]; then
  ensure_openssl x86_64-w64-mingw32
fi
ver="$OPENSSL_VERSION"

# ---------------------------------------------------------------------------
STEP="wine prefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH="$LITE_WINEARCH"
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY all_proxy ALL_PROXY
stamp="$WINEPREFIX/.lite_installer_prefix_v$PREFIX_STAMP_VERSION"
if [ ! -f "$stamp" ]; then
  log "creating the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  lite_wine wineboot -i </dev/null >/dev/null 2>&1 || fail "wineboot -i in $WINEPREFIX"
  wineserver -w
  lite_wine winecfg -v win10 </dev/null >/dev/null 2>&1 || fail "winecfg -v win10"
  regfile="$(mktemp --suffix=.reg)"
  # A fresh prefix lacks UBR; a debugger or crash dialog would hang tests
  # under Xvfb, so both are switched off (the crash handling step below).
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion]' \
    '"UBR"=dword:00000000' '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' \
    '"ShowCrashDialog"=dword:00000000' '' >"$regfile"
  lite_wine regedit /S "$(lite_wine winepath -w "$regfile" 2>/dev/null)" </dev/null >/dev/null 2>&1 ||
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
  lite_wine regedit /S "$(lite_wine winepath -w "$regfile" 2>/dev/null)" </dev/null >/dev/null 2>&1 ||
    fail "importing the Root-store entry"
  rm -f "$regfile"
  wineserver -w
  rm -f "$WINEPREFIX"/.lite_test_ca_*
  touch "$ca_stamp"
fi

STEP="crash handling of the prefix"
# A crashed program must end with its exception code. With "Auto"="0" Wine
# asks in a message box whether to debug (when user32 is loaded), which hangs
# under Xvfb; with "Auto"="1" and no debugger it ends the process (measured,
# Wine 8.0). Both registry views: 32-bit programs read Wow6432Node.
crash_stamp="$WINEPREFIX/.lite_crash_handling_v1"
if [ ! -f "$crash_stamp" ]; then
  log "no debugger and no crash dialog in $WINEPREFIX"
  regfile="$(mktemp --suffix=.reg)"
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
    '"Debugger"=""' '"Auto"="1"' '' \
    '[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
    '"Debugger"=""' '"Auto"="1"' '' >"$regfile"
  lite_wine regedit /S "$(lite_wine winepath -w "$regfile" 2>/dev/null)" </dev/null >/dev/null 2>&1 ||
    fail "importing the crash handling settings"
  rm -f "$regfile"
  wineserver -w
  touch "$crash_stamp"
fi

if [ "${1:-}" = "--print-env" ]; then
  for name in LITE_ARCH LITE_ARCH_REASON WINEPREFIX; do
    printf 'export %s=%q\n' "$name" "${!name}"
  done
  printf 'export LITE_OPENSSL_ROOT=%q\n' "$OPENSSL_DIR"
  printf 'export LITE_OPENSSL_ROOT_X86=%q\n' "$OPENSSL_DIR_X86"
  printf 'export LITE_TEST_CA_DIR=%q\n' "$TEST_CA_DIR"
fi
log "ready ($LITE_ARCH_TITLE, openssl $ver, prefix $WINEPREFIX)"
trap - EXIT
