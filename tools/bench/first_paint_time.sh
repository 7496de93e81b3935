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
runs="${1:-20}"
installer="$bench_build/bin/lite_installer.exe"
minimal="$bench_build/bin/minimal_window.exe"
timer="$bench_build/bin/first_window_time.exe"
for exe in "$installer" "$minimal" "$timer"; do
  [ -f "$exe" ] || { echo "build first: $exe missing" >&2; exit 1; }
done
bench_describe_machine
win() { printf 'Z:%s' "${1//\//\\}"; }
probe="@81,343,3b4bd8@"
xvfb-run -a -s '-screen 0 1920x1080x24' bash -c '
  source "$0/tools/bench/bench_common.sh"
  wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true
  bench_start_wineserver 30
  bench_wine "$1" "$2" "$3" "$4"
  wineserver -k >/dev/null 2>&1 || true
' "$bench_root" "$timer" "$runs" "$probe\"$(win "$installer")\"" "$probe\"$(win "$minimal")\""
