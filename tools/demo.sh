#!/usr/bin/env bash
# Builds lite_installer.exe and runs it under Wine the way a user would run
# a silent installation, then shows the exit code and the log.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${LITE_BUILD_DIR:-$root/build}"

bash "$root/tools/bootstrap.sh" >/dev/null
eval "$(bash "$root/tools/bootstrap.sh" --print-env | grep '^export')"
cmake -S "$root" -B "$build" -G Ninja -DLITE_OPENSSL_ROOT="$LITE_OPENSSL_ROOT" >/dev/null
cmake --build "$build" --target lite_installer run_process >/dev/null

demo_dir="$(mktemp -d /tmp/lite_installer_demo.XXXXXX)"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY all_proxy ALL_PROXY
win_demo_dir="$(winepath -w "$demo_dir" 2>/dev/null)"

echo "Running: lite_installer.exe --silent"
result="$(xvfb-run -a wine "$build/bin/run_process.exe" \
  "--set-env=TMP=$win_demo_dir" "--set-env=TEMP=$win_demo_dir" \
  "$(winepath -w "$build/bin/lite_installer.exe")" --silent \
  2>/dev/null | tr -d '\r')"
echo "Installer $result"
echo "Log file: $demo_dir/lite_installer.log"
echo "Last lines of the log:"
tail -n 15 "$demo_dir/lite_installer.log" | sed 's/^/  /'
