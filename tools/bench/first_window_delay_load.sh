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
bench_first_window "${1:-20}" "$bench_build/bin/lite_installer.exe" \
  "$bench_build/bin/lite_installer_direct_bind.exe"
