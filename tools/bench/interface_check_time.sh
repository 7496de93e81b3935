#!/usr/bin/env bash
# Benchmark, not a test: how long the thread that asks the default-browser
# check on a Windows 10 build in doubt is blocked. That thread starts the
# installer with --check-the-interface and waits for it; the time is taken
# inside Wine (tools/bench/process_round_trip.cc), from CreateProcessW to
# the end of the process, against a minimal Windows program
# (tools/bench/minimal_program.cc) run alternating with it.
#
#   tools/bench/interface_check_time.sh [RUNS (20)]
#
# Runs on the build the tests use (tools/bench/bench_common.sh), built
# beforehand.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
runs="${1:-20}"
installer="$bench_build/bin/lite_installer.exe"
minimal="$bench_build/bin/minimal_program.exe"
timer="$bench_build/bin/process_round_trip.exe"
for exe in "$installer" "$minimal" "$timer"; do
  [ -f "$exe" ] || { echo "build first: $exe missing" >&2; exit 1; }
done
bench_describe_machine
bench_start_wineserver 30
# The Windows path on Wine's Z: drive (the Unix root).
win() { printf 'Z:%s' "${1//\//\\}"; }
bench_wine "$timer" "$runs" "\"$(win "$installer")\" --check-the-interface" \
  "\"$(win "$minimal")\""
