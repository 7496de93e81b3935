#!/usr/bin/env bash
# Benchmark, not a test: start-up time of the installer against a minimal
# Windows program built the same way (tools/bench/minimal_program.cc), both
# under the same Wine, alternating, RUNS times each. The installer takes a
# path that ends right after its start-up: --check-the-interface (exit code
# 700 or 701). Reports the medians and their ratio; a third program, the
# minimal one binding the installer's system libraries and carrying its
# manifest, tells how much of the difference is loading those libraries.
#
#   tools/bench/startup_time.sh [RUNS (20)]
#
# Runs on the build the tests use (tools/bench/bench_common.sh; LITE_ARCH,
# LITE_BUILD_DIR and LITE_WINEPREFIX as for tools/run_tests.sh), built
# beforehand. Wall time of each whole process, from the shell: Wine's own
# process start-up is part of every side. The installer logs to the
# temporary folder of the prefix's user, as it would on a real machine.
#
# The installation window is a stand-in for now; once the real window is
# drawn, this script is where the time to its first paint gets measured
# against a minimal window program.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
runs="${1:-20}"
installer="$bench_build/bin/lite_installer.exe"
minimal="$bench_build/bin/minimal_program.exe"
imports="$bench_build/bin/minimal_program_imports.exe"
for exe in "$installer" "$minimal" "$imports"; do
  [ -f "$exe" ] || { echo "build first: $exe missing" >&2; exit 1; }
done

bench_describe_machine
bench_start_wineserver 30
work="$(mktemp -d /tmp/startup_bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
dlls() { "$LITE_TRIPLET-objdump" -p "$1" | awk '/DLL Name:/ {printf "%s ", $3}'; }
echo "installer imports:         $(dlls "$installer")"
echo "minimal program imports:   $(dlls "$minimal")"
echo "with the installer's DLLs: $(dlls "$imports")"

# Runs one program and appends "NAME SECONDS" to the times.
time_run() {
  local name="$1" start end rc=0
  shift
  start="$(date +%s.%N)"
  bench_wine "$@" >/dev/null 2>&1 || rc=$?
  end="$(date +%s.%N)"
  case "$name:$rc" in
    # 700 and 701 as the shell sees them (the low 8 bits).
    installer:188|installer:189|minimal:0|imports:0) ;;
    *) echo "$name ended with status $rc" >&2; exit 1 ;;
  esac
  awk -v n="$name" -v a="$start" -v b="$end" 'BEGIN { printf "%s %.4f\n", n, b - a }' >>"$work/times"
}
# One warm-up run each: the first start after a build reads the files.
time_run installer "$installer" --check-the-interface
time_run minimal "$minimal"
time_run imports "$imports"
: >"$work/times"
for _ in $(seq "$runs"); do
  time_run installer "$installer" --check-the-interface
  time_run minimal "$minimal"
  time_run imports "$imports"
done

median() {
  awk -v w="$1" '$1 == w { print $2 }' "$work/times" | sort -n |
    awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}
range() { awk -v w="$1" '$1 == w { print $2 }' "$work/times" | sort -n | sed -n '1p;$p' | paste -sd' '; }
mi="$(median installer)"
mm="$(median minimal)"
mx="$(median imports)"
printf 'runs: %d each, alternating\n' "$runs"
printf '  installer --check-the-interface      median %.3f s  (min, max: %s)\n' "$mi" "$(range installer)"
printf '  minimal program                      median %.3f s  (min, max: %s)\n' "$mm" "$(range minimal)"
printf '  minimal + installer DLLs, manifest   median %.3f s  (min, max: %s)\n' "$mx" "$(range imports)"
awk -v a="$mi" -v b="$mm" -v c="$mx" 'BEGIN {
  printf "start-up ratio installer / minimal: %.2fx (goal <= 1.3)\n", a / b
  printf "  of which loading the system libraries: minimal with them / minimal %.2fx;\n", c / b
  printf "  installer / minimal with the same libraries: %.2fx\n", a / c }'
