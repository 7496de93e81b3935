#!/usr/bin/env bash
# Repaints each owner-drawn control many times (LITE_REPAINTS, 70000 by
# default) in the control test dialog and checks that they still draw
# correctly: a GDI object leaked per paint exhausts the process's GDI
# objects (about 65,000) before the end. Prints the time per paint.
# Needs a built test tree (tools/run_tests.sh) and a display: it runs the
# benchmark in its own Xvfb.
#   tools/bench/controls_repaint.sh [repaints]
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
export LITE_REPAINTS="${1:-${LITE_REPAINTS:-70000}}"
exe="$bench_build/bin/lite_controls_unittests.exe"
[ -f "$exe" ] || { echo "no $exe: build the tests first (tools/run_tests.sh)" >&2; exit 1; }
export LITE_UI_ARTEFACTS="$bench_build/ui_artefacts"
export exe
xvfb-run -a -s '-screen 0 1920x1080x24' bash -c '
  source "$0/tools/bench/bench_common.sh"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  bench_start_wineserver 5
  bench_wine "$exe" --gtest_also_run_disabled_tests \
    --gtest_filter=ControlsRepaintBenchmark.* 2>&1 | tr -d "\r"
  status=${PIPESTATUS[0]}
  wineserver -k >/dev/null 2>&1 || true
  exit $status
' "$bench_root"
