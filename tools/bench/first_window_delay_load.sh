#!/usr/bin/env bash
# Benchmark, not a test: time from start to the first painted window of the
# installer with its system libraries delay-loaded (lite_installer.exe) and
# of the same program bound directly (lite_installer_direct_bind.exe),
# alternating in one run, measured inside Wine under Xvfb
# (tools/bench/first_window_time.cc).
#
#   tools/bench/first_window_delay_load.sh [RUNS (20)]
#
# Runs on the build the tests use (tools/bench/bench_common.sh), built
# beforehand.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
runs="${1:-20}"
delayed="$bench_build/bin/lite_installer.exe"
direct="$bench_build/bin/lite_installer_direct_bind.exe"
timer="$bench_build/bin/first_window_time.exe"
for exe in "$delayed" "$direct" "$timer"; do
  [ -f "$exe" ] || { echo "build first: $exe missing" >&2; exit 1; }
done
bench_describe_machine
win() { printf 'Z:%s' "${1//\//\\}"; }
xvfb-run -a -s '-screen 0 1920x1080x24' bash -c '
  source "$0/tools/bench/bench_common.sh"
  wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true
  bench_start_wineserver 30
  bench_wine "$1" "$2" "$3" "$4"
  wineserver -k >/dev/null 2>&1 || true
' "$bench_root" "$timer" "$runs" "\"$(win "$delayed")\"" "\"$(win "$direct")\""
