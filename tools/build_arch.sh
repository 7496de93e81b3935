# Sourced by the scripts: which build the tests and the demo run on.
#
# The product is a 32-bit program. Where this machine can execute 32-bit
# code, the tests run that build under 32-bit Wine; where it cannot (some
# kernels run 64-bit user code only: every i386 program, Wine's 32-bit
# loader included, fails with "Exec format error"), the same sources are
# built for x86-64 and tested under 64-bit Wine.
#
# LITE_ARCH=x86 or LITE_ARCH=x64 forces a build; otherwise the machine is
# asked by running a tiny i386 program. Sets:
#   LITE_ARCH          x86 or x64
#   LITE_ARCH_REASON   why, for the one line the scripts print
# and provides lite_arch_settings, lite_wine and lite_can_run_32bit.

# Writes a 93-byte static i386 ELF program that exits with status 42.
lite_write_i386_probe() {
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' >"$1"
  chmod +x "$1"
}

# Succeeds when an i386 program runs here. Sets LITE_I386_PROBE_RESULT.
lite_can_run_32bit() {
  local dir rc out
  dir="$(mktemp -d)"
  lite_write_i386_probe "$dir/probe"
  rc=0
  out="$("$dir/probe" 2>&1)" || rc=$?
  rm -rf "$dir"
  if [ "$rc" -eq 42 ]; then
    LITE_I386_PROBE_RESULT="an i386 test program ran"
    return 0
  fi
  out="${out##*: }"
  LITE_I386_PROBE_RESULT="an i386 test program failed: ${out:-exit status $rc}"
  return 1
}

# Picks LITE_ARCH unless it is already set (forced or decided earlier).
lite_pick_arch() {
  case "${LITE_ARCH:-}" in
    x86) LITE_ARCH_REASON="${LITE_ARCH_REASON:-forced by LITE_ARCH=x86}" ;;
    x64) LITE_ARCH_REASON="${LITE_ARCH_REASON:-forced by LITE_ARCH=x64}" ;;
    "")
      if lite_can_run_32bit; then
        LITE_ARCH=x86
        LITE_ARCH_REASON="this machine executes 32-bit code ($LITE_I386_PROBE_RESULT)"
      else
        LITE_ARCH=x64
        LITE_ARCH_REASON="this machine cannot execute 32-bit code ($LITE_I386_PROBE_RESULT)"
      fi
      ;;
    *)
      echo "LITE_ARCH must be x86 or x64, not '$LITE_ARCH'" >&2
      return 1
      ;;
  esac
  export LITE_ARCH LITE_ARCH_REASON
}

# Settings of one build: the MinGW triplet, Wine's prefix architecture, the
# Wine loader, the toolchain file and the build folder's default name.
lite_arch_settings() {
  local root
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  case "$1" in
    x86)
      LITE_TRIPLET=i686-w64-mingw32
      LITE_WINEARCH=win32
      LITE_WINE_LOADER=wine
      LITE_TOOLCHAIN="$root/cmake/toolchain-i686-w64-mingw32.cmake"
      LITE_DEFAULT_BUILD="$root/build"
      LITE_PREFIX_NAME=wineprefix
      LITE_ARCH_TITLE="32-bit build (i686)"
      ;;
    x64)
      LITE_TRIPLET=x86_64-w64-mingw32
      LITE_WINEARCH=win64
      # Debian's `wine` picks the 32-bit loader whenever it is installed,
      # even where it cannot run: name the 64-bit one.
      LITE_WINE_LOADER=/usr/lib/wine/wine64
      LITE_TOOLCHAIN="$root/cmake/toolchain-x86_64-w64-mingw32.cmake"
      LITE_DEFAULT_BUILD="$root/build-x64"
      LITE_PREFIX_NAME=wineprefix64
      LITE_ARCH_TITLE="64-bit build (x86-64)"
      ;;
    *) return 1 ;;
  esac
}

# Runs a Windows program (or wineboot, regedit, winepath...) with the
# loader of LITE_ARCH.
lite_wine() {
  if [ "${LITE_ARCH:-x86}" = x64 ]; then
    WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 "$@"
  else
    wine "$@"
  fi
}

# Prepares the machine (tools/bootstrap.sh) and takes the environment it
# reports: LITE_ARCH (after any fallback), the prefix, libcrypto, the test
# CA. Then sets the settings of that build and LITE_BUILD, its folder.
lite_prepare_machine() {
  local root env_lines
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  env_lines="$(bash "$root/tools/bootstrap.sh" --print-env)" || return 1
  eval "$env_lines"
  lite_arch_settings "$LITE_ARCH"
  LITE_BUILD="${LITE_BUILD_DIR:-$LITE_DEFAULT_BUILD}"
}

# lite_configure ARCH BUILD_DIR [CMAKE_ARGS...]: configures a build of ARCH
# with the bootstrap's libcrypto and test CA. LITE_LOCAL_HTTPS_PORT gives
# the loopback executable another port (two suites on one machine).
lite_configure() {
  local arch="$1" dir="$2" root openssl
  shift 2
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  openssl="$LITE_OPENSSL_ROOT"
  [ "$arch" = x86 ] && openssl="$LITE_OPENSSL_ROOT_X86"
  (
    lite_arch_settings "$arch"
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$LITE_TOOLCHAIN" \
      -DLITE_OPENSSL_ROOT="$openssl" -DLITE_TEST_CA_DIR="$LITE_TEST_CA_DIR" \
      ${LITE_LOCAL_HTTPS_PORT:+-DLITE_LOCAL_HTTPS_PORT="$LITE_LOCAL_HTTPS_PORT"} \
      "$@" >/dev/null
  )
}
