#!/usr/bin/env bash
# Benchmark, not a test: time from start until the installation window is
# on screen, against a minimal Win32 window program (tools/bench/
# minimal_window.cc), alternating in one Wine run under Xvfb. "On screen"
# is the first poll, from the Windows side, that reads the Install button's
# colour RGB(0x3b, 0x4b, 0xd8) at (81, 343) of the window; the minimal
# window shows the same colour everywhere (tools/bench/first_window_time.cc).
#
#   tools/bench/first_paint_time.sh [RUNS (20)]
#
# Runs on the build the tests use (tools/bench/bench_common.sh), built
# beforehand.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
probe="@81,343,3b4bd8@"
bench_first_window "${1:-20}" "$probe$bench_build/bin/lite_installer.exe" \
  "$probe$bench_build/bin/minimal_window.exe"
