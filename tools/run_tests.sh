#!/usr/bin/env bash
# Builds everything and runs every test under Wine inside one Xvfb display
# with one persistent wineserver. Usage: tools/run_tests.sh [ctest args...]
#
# The tests run on the 32-bit build where this machine executes 32-bit
# code, on the x86-64 build of the same sources where it cannot
# (tools/build_arch.sh; LITE_ARCH=x86 or x64 forces one). The 64-bit run
# also builds the 32-bit product, which the binary check examines.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/tools/build_arch.sh"

lite_prepare_machine
build="$LITE_BUILD"
echo "run_tests: testing the $LITE_ARCH_TITLE in $build: $LITE_ARCH_REASON"

product=()
if [ "$LITE_ARCH" = x64 ]; then
  # The binary check examines the 32-bit product, built beside this one.
  product_build="${LITE_PRODUCT_BUILD_DIR:-$(lite_arch_settings x86; echo "$LITE_DEFAULT_BUILD")}"
  lite_configure x86 "$product_build"
  cmake --build "$product_build" --target lite_installer
  product=(-DLITE_PRODUCT_EXE="$product_build/bin/lite_installer.exe")
fi
lite_configure "$LITE_ARCH" "$build" "${product[@]}"
cmake --build "$build"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY all_proxy ALL_PROXY

# Window tests leave their screenshots here (kept after the run).
export LITE_UI_ARTEFACTS="$build/ui_artefacts"
mkdir -p "$LITE_UI_ARTEFACTS"

# The wineserver must start inside the display, or later windows get the
# null driver; a persistent one with its output redirected keeps Wine's
# services from holding ctest's pipe (about 3 s per test otherwise).
# 1920x1080 holds a 200 % main window (1604 x 860). The Composite extension
# and a compositor blend semi-transparent layered windows with what lies
# below them; without one their pixels land on black in screenshots. The
# compositor is stopped by its own process id: other suites run their own
# displays on this machine at the same time.
rc=0
xvfb-run -a -s '-screen 0 1920x1080x24 +extension Composite' bash -c '
  set -u
  source "$0/tools/build_arch.sh"
  build="$1"; shift
  compositor=""
  if command -v xcompmgr >/dev/null 2>&1; then
    xcompmgr </dev/null >/dev/null 2>&1 &
    compositor=$!
  else
    echo "run_tests: xcompmgr is missing (tools/bootstrap.sh installs it): layered windows are captured over black"
  fi
  # A server left running from an earlier command outside this display
  # would give every window the null driver: start afresh.
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  wineserver -p </dev/null >/dev/null 2>&1
  lite_wine wineboot </dev/null >/dev/null 2>&1
  # Without a window manager every hide waits about 2 s for one unless
  # Wine manages no windows itself.
  lite_wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f </dev/null >/dev/null 2>&1
  # Links open in the link recorder (tools/link_recorder), which appends
  # the address to the file that LITE_LINK_RECORD names. Wine opens them
  # with the machine-wide command (it ignores HKCU\\Software\\Classes).
  recorder="Z:${build//\//\\}\\bin\\link_recorder.exe"
  for scheme in http https; do
    lite_wine reg add "HKLM\\Software\\Classes\\$scheme\\shell\\open\\command" /ve \
      /d "\"$recorder\" \"%1\"" /f </dev/null >/dev/null 2>&1
  done
  ctest --test-dir "$build" --output-on-failure -j2 "${@}"
  rc=$?
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  if [ -n "$compositor" ]; then
    kill "$compositor" 2>/dev/null
    wait "$compositor" 2>/dev/null
  fi
  exit $rc
' "$root" "$build" "$@" || rc=$?

# Tests that mean nothing in this build skip themselves with a reason;
# name them, so that a skip is never silent.
log="$build/Testing/Temporary/LastTest.log"
if [ -f "$log" ]; then
  awk '
    /^\[ RUN      \]/ { reason = "" }
    /: Skipped$/ { getline reason }
    /^\[  SKIPPED \] [^ ]+ \(/ { print "run_tests: skipped in the " arch ": " $4 (reason == "" ? "" : " - " reason) }
  ' arch="$LITE_ARCH_TITLE" "$log"
fi
echo "run_tests: window test screenshots in $LITE_UI_ARTEFACTS"
exit $rc
