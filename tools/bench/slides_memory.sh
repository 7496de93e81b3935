#!/usr/bin/env bash
# Benchmark, not a test: memory of the progress screen's slide show.
#  1. In process, through the clock seam: 10,000 slide changes with seven
#     paints of the real window after each (70,000 paints; a process holds
#     about 65,000 GDI objects, so a leak per paint stops the painting),
#     sampling PagefileUsage, WorkingSetSize and the resident size in /proc
#     every 1,000 changes (lite_main_window_unittests, its benchmark case).
#  2. lite_installer_local.exe on its progress screen for MINUTES (5) with
#     the loopback services' slides (a download slow enough to keep the
#     screen up): the resident and virtual size of its Wine process from
#     /proc every 30 s, and the CPU seconds per minute of its busiest thread
#     (the window's; Wine's other threads wait).
# GetProcessMemoryInfo's PrivateUsage and GetGuiResources read 0 under Wine 8.
# Needs a built test tree (tools/run_tests.sh); runs in its own Xvfb.
#   tools/bench/slides_memory.sh [MINUTES] [both|in-process|exe]
# (the two parts can run at the same time in two prefixes: LITE_WINEPREFIX)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
export minutes="${1:-5}" parts="${2:-both}"
export bench_build
for exe in lite_main_window_unittests.exe lite_installer_local.exe drive_window.exe \
    fake_setup_signed.exe; do
  [ -f "$bench_build/bin/$exe" ] || { echo "build first: $bench_build/bin/$exe missing" >&2; exit 1; }
done
[ -d "$bench_build/test_slides" ] || { echo "build first: no $bench_build/test_slides" >&2; exit 1; }
cache="$bench_build/CMakeCache.txt"
export port="$(sed -n 's/^LITE_LOCAL_HTTPS_PORT:[A-Z]*=//p' "$cache")"
export ca_dir="$(sed -n 's/^LITE_TEST_CA_DIR:[A-Z]*=//p' "$cache")"
export LITE_UI_ARTEFACTS="$bench_build/ui_artefacts"
bench_describe_machine

xvfb-run -a -s '-screen 0 1920x1080x24' bash -c '
  set -u
  source "$0/tools/bench/bench_common.sh"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  bench_start_wineserver 30
  [ "$parts" = exe ] || {
  echo "== in process: slide changes and paints of the window"
  # The resident and virtual size of the test process, every minute.
  (
    sleep 20
    while p="$(pgrep -f lite_main_window_unittests.exe | while read -r p; do
        [ "$(cat /proc/$p/comm 2>/dev/null)" = lite_main_windo ] && echo "$p"; done | head -1)"
        [ -n "$p" ]; do
      awk "/^VmRSS:/ { r = \$2 } /^VmSize:/ { v = \$2 } END { printf \"resident_mb %.1f virtual_mb %.1f\\n\", r / 1024, v / 1024 }" \
        "/proc/$p/status" 2>/dev/null
      sleep 60
    done
  ) &
  bench_wine "$bench_build/bin/lite_main_window_unittests.exe" --gtest_also_run_disabled_tests \
    --gtest_filter=MainWindowSlidesTest.DISABLED_BenchmarkSlideChangesAndPaints 2>&1 |
    sed -u "s/\r\$//" | grep --line-buffered -E "^(changes|[0-9]+ changes)|OK|FAILED|Failure"
  wait
  }
  [ "$parts" = in-process ] && { wineserver -k >/dev/null 2>&1; exit 0; }

  echo "== lite_installer_local.exe on the progress screen for $minutes min"
  work="$(mktemp -d /tmp/slides_memory.XXXXXX)"
  /usr/bin/python3 "$0/tools/fake_services/fake_services.py" --tls-dir "$ca_dir" \
    --https-port "$port" --no-lease --max-seconds $((minutes * 60 + 300)) \
    --slides "$bench_build/test_slides" >"$work/server.log" 2>&1 &
  server=$!
  for _ in $(seq 100); do grep -q "^READY" "$work/server.log" && break; sleep 0.1; done
  http_port="$(sed -n "s/^READY .*\"http_port\": \([0-9]*\).*/\1/p" "$work/server.log")"
  # 512 bytes a second: the archive takes longer than the run.
  curl -sf -X POST "http://127.0.0.1:$http_port/_control/rules" -d "{\"path\": \
\"/browser/local/browser-setup.arc\", \"behaviour\": {\"file\": \
\"$bench_build/bin/fake_setup_signed.exe\", \"trickle\": 512, \"trickle_ms\": 1000}}" >/dev/null
  win_work="$(bench_wine winepath -w "$work" 2>/dev/null)"
  # A user outside the Administrators group: no elevated copy takes over.
  LITE_TEST_ADMIN_GROUP=0 WINEDLLOVERRIDES="$WINEDLLOVERRIDES" bench_wine "$bench_build/bin/drive_window.exe" \
    "$(bench_wine winepath -w "$bench_build/bin/lite_installer_local.exe" 2>/dev/null)" \
    "--fake-setup-report=$win_work\\setup_report.json" >"$work/drive.log" 2>&1 &
  driver=$!
  pid=""
  for _ in $(seq 600); do
    # By the name of the work folder: backslashes in the Windows path would
    # read as regular-expression escapes.
    pid="$(pgrep -f "${work##*/}" | while read -r p; do
      [ "$(cat /proc/$p/comm 2>/dev/null)" = lite_installer_ ] && echo "$p"; done | head -1)"
    # The progress screen asks for the slides.
    [ -n "$pid" ] && curl -sf "http://127.0.0.1:$http_port/_control/requests" |
      grep -q "/browser/installer/" && break
    sleep 0.5
  done
  [ -n "$pid" ] || { echo "the installer did not reach its progress screen"; cat "$work/drive.log"; }
  threads_cpu() {
    for task in /proc/$pid/task/*; do
      awk -v t="$(getconf CLK_TCK)" -v id="${task##*/}" \
        "{ sub(/^.*\\) /, \"\"); printf \"%s %.2f\\n\", id, (\$12 + \$13) / t }" "$task/stat"
    done 2>/dev/null
  }
  threads_cpu >"$work/cpu_start"
  printf "%-8s %10s %10s\n" minute rss_mb vm_mb
  for step in $(seq 0 $((minutes * 2))); do
    [ "$step" -gt 0 ] && sleep 30
    [ -r "/proc/$pid/status" ] || { echo "the installer ended early"; break; }
    awk -v m="$(awk -v s="$step" "BEGIN { printf \"%.1f\", s / 2 }")" \
      "/^VmRSS:/ { r = \$2 } /^VmSize:/ { v = \$2 } END { printf \"%-8s %10.1f %10.1f\\n\", m, r / 1024, v / 1024 }" \
      "/proc/$pid/status"
  done
  threads_cpu >"$work/cpu_end"
  echo "busiest threads, CPU seconds per minute:"
  join "$work/cpu_start" "$work/cpu_end" | awk -v m="$minutes" \
    "{ printf \"%s %.2f\\n\", \$1, (\$3 - \$2) / m }" | sort -k2 -n -r | head -3
  wineserver -k >/dev/null 2>&1 || true
  wait "$driver" 2>/dev/null || true
  curl -s -X POST "http://127.0.0.1:$http_port/_control/shutdown" >/dev/null 2>&1 || true
  wait "$server" 2>/dev/null || true
  rm -rf "$work"
' "$bench_root"
