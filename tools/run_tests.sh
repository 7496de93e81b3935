#!/usr/bin/env bash
# Builds everything and runs every test under Wine inside one Xvfb display
# with one persistent wineserver. Usage: tools/run_tests.sh [ctest args...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${LITE_BUILD_DIR:-$root/build}"

bash "$root/tools/bootstrap.sh"
eval "$(bash "$root/tools/bootstrap.sh" --print-env | grep '^export')"

cmake -S "$root" -B "$build" -G Ninja -DLITE_OPENSSL_ROOT="$LITE_OPENSSL_ROOT" \
  -DLITE_TEST_CA_DIR="$LITE_TEST_CA_DIR" >/dev/null
cmake --build "$build"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY all_proxy ALL_PROXY

# The wineserver must start inside the display, or later windows get the
# null driver; a persistent one with its output redirected keeps Wine's
# services from holding ctest's pipe (about 3 s per test otherwise).
xvfb-run -a -s '-screen 0 1280x800x24' bash -c '
  set -u
  # A server left running from an earlier command outside this display
  # would give every window the null driver: start afresh.
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1
  ctest --test-dir "$0" --output-on-failure -j2 "${@}"
  rc=$?
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  exit $rc
' "$build" "$@"
