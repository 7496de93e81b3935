#!/usr/bin/env bash
# Benchmark, not a test: the CPU share of the installation window's progress
# screen, which the 20 ms timer repaints 50 times a second, each paint
# recomposing the drop shadow. Runs the disabled window test
# MainWindowPaintingTest.DISABLED_ProgressScreenCpuShare under Xvfb, RUNS
# times, and prints its figures (window thread and whole process, in
# percent of one core, over 10 s each).
#
#   tools/bench/progress_paint_cpu.sh [RUNS (3)]
#
# Runs on the build the tests use (tools/bench/bench_common.sh), built
# beforehand.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
runs="${1:-3}"
tests="$bench_build/bin/lite_main_window_unittests.exe"
[ -f "$tests" ] || { echo "build first: $tests missing" >&2; exit 1; }
bench_describe_machine
xvfb-run -a -s '-screen 0 1920x1080x24' bash -c '
  source "$0/tools/bench/bench_common.sh"
  wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true
  bench_start_wineserver 30
  bench_wine "$1" --gtest_also_run_disabled_tests \
    --gtest_filter=MainWindowPaintingTest.DISABLED_ProgressScreenCpuShare \
    --gtest_repeat="$2" | grep "progress screen"
  wineserver -k >/dev/null 2>&1 || true
' "$bench_root" "$tests" "$runs"
