#!/usr/bin/env bash
# Benchmark, not a test: start-up time of the installer against a minimal
# Windows program built the same way (tools/bench/minimal_program.cc), both
# under the same Wine, alternating, RUNS times each. The installer takes a
# path that ends right after its start-up: --check-the-interface (exit code
# 700 or 701). Reports both medians and their ratio.
#
#   tools/bench/startup_time.sh [RUNS (20)]
#
# Runs on the build the tests use (tools/bench/bench_common.sh; LITE_ARCH,
# LITE_BUILD_DIR and LITE_WINEPREFIX as for tools/run_tests.sh), built
# beforehand. Wall time of each whole process, from the shell: Wine's own
# process start-up is part of both sides. The installer logs to the
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
for exe in "$installer" "$minimal"; do
  [ -f "$exe" ] || { echo "build first: $exe missing" >&2; exit 1; }
done

bench_describe_machine
bench_start_wineserver 30
work="$(mktemp -d /tmp/startup_bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
# One warm-up run each: the first start of a program after a build reads
# it from disk.
bench_wine "$installer" --check-the-interface >/dev/null 2>&1 || true
bench_wine "$minimal" >/dev/null 2>&1 || true
for i in $(seq "$runs"); do
  start="$(now)"
  rc=0
  bench_wine "$installer" --check-the-interface >/dev/null 2>&1 || rc=$?
  end="$(now)"
  # 700 and 701 as the shell sees them (the low 8 bits).
  case "$rc" in
    188|189) ;;
    *) echo "the installer ended with status $rc, not 700/701" >&2; exit 1 ;;
  esac
  echo "installer $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')" >>"$work/times"
  start="$(now)"
  bench_wine "$minimal" >/dev/null 2>&1 || { echo "the minimal program failed" >&2; exit 1; }
  end="$(now)"
  echo "minimal $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')" >>"$work/times"
done

for who in installer minimal; do
  awk -v w="$who" '$1 == w { print $2 }' "$work/times" | sort -n >"$work/$who"
done
median() { awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }' "$1"; }
mi="$(median "$work/installer")"
mm="$(median "$work/minimal")"
printf 'runs: %d each, alternating\n' "$runs"
printf '  installer --check-the-interface  median %.3f s  (min %.3f, max %.3f)\n' \
  "$mi" "$(head -1 "$work/installer")" "$(tail -1 "$work/installer")"
printf '  minimal program                  median %.3f s  (min %.3f, max %.3f)\n' \
  "$mm" "$(head -1 "$work/minimal")" "$(tail -1 "$work/minimal")"
awk -v a="$mi" -v b="$mm" 'BEGIN { printf "start-up ratio installer / minimal: %.2fx (goal <= 1.3)\n", a / b }'
