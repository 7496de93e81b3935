#!/usr/bin/env bash
# Benchmark, not a test: silent installations of lite_installer_local.exe
# with the prefetch tasks fetching from a slow server and without prefetch
# ("vup=0&abtup=0"), alternating, ROUNDS times each, in one run against the
# same loopback services. For each side it reports the medians of
#   setup start  from the installer's launch to the fake setup's start
#   exit delay   from the fake setup's end to the installer's exit
#   total        the whole run
# Prefetching must not make setup start later; the exit delay shows what
# waiting for the prefetch worker costs (it is bounded).
#
#   tools/bench/prefetch_exit_delay.sh [ROUNDS (5)] [SLOW_SECONDS (8)]
#
# The slow server trickles each seed and the wallpaper bundle over about
# SLOW_SECONDS. Runs on the build the tests use (tools/bench/bench_common.sh;
# LITE_ARCH, LITE_BUILD_DIR, LITE_WINEPREFIX as for tools/run_tests.sh;
# LITE_LOCAL_HTTPS_PORT the port lite_installer_local.exe was built for),
# built beforehand.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
rounds="${1:-5}"
slow="${2:-8}"
port="${LITE_LOCAL_HTTPS_PORT:-47443}"
tls_dir="${LITE_TEST_CA_DIR:-/var/cache/lite_installer/test_ca}"
installer="$bench_build/bin/lite_installer_local.exe"
archive="$bench_build/bin/fake_setup_signed.exe"
for f in "$installer" "$archive"; do
  [ -f "$f" ] || { echo "build first: $f missing" >&2; exit 1; }
done
command -v curl >/dev/null || { echo "curl is missing (tools/bootstrap.sh installs it)" >&2; exit 1; }

work="$(mktemp -d /tmp/prefetch_bench.XXXXXX)"
server_pid=""
http_port=""
cleanup() { bench_stop_services "$http_port" "$server_pid" "$work"; }
trap cleanup EXIT
/usr/bin/python3 "$bench_root/tools/fake_services/fake_services.py" --no-lease \
  --max-seconds 3600 --tls-dir "$tls_dir" --https-port "$port" \
  >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  grep -q '^READY ' "$work/server.log" && break
  sleep 0.1
done
http_port="$(sed -n 's/^READY .*"http_port": \([0-9]*\).*/\1/p' "$work/server.log")"
[ -n "$http_port" ] || { cat "$work/server.log" >&2; exit 1; }
rule() {
  curl -s -X POST "http://127.0.0.1:$http_port/_control/rules" -d "$1" >/dev/null
}
# 64 KiB over SLOW_SECONDS in 16 pieces.
piece=4096
trickle_ms=$((slow * 1000 / 16))
slow_body="\"size\": 65536, \"trickle\": $piece, \"trickle_ms\": $trickle_ms"
rule "{\"path\": \"/browser/local/browser-setup.arc\", \"behaviour\": {\"file\": \"$archive\"}}"
rule "{\"path\": \"/get/browser/install\", \"behaviour\": {\"text\": \"ok\"}}"
for path in /content/get/experiments/browser.proto /ab/get; do
  rule "{\"path\": \"$path\", \"behaviour\": {$slow_body, \"header\": [\"X-Seed-Signature: c2ln\"]}}"
done
rule "{\"path\": \"/wallpapers/bench\", \"behaviour\": {$slow_body}}"

bench_describe_machine
bench_start_wineserver 60
now_ms() { date +%s%3N; }

# run SIDE SWITCHES...: one installation; appends "SIDE START EXIT TOTAL".
run() {
  local side="$1" temp report t0 t1 started ended
  shift
  temp="$work/run_$side"
  rm -rf "$temp"
  mkdir -p "$temp"
  report="$temp/setup_report.json"
  t0="$(now_ms)"
  TMP="$(winepath -w "$temp")" TEMP="$(winepath -w "$temp")" \
    bench_wine "$installer" --silent "$@" "--fake-setup-report=$(winepath -w "$report")" \
    </dev/null >/dev/null 2>&1 || true
  t1="$(now_ms)"
  [ -f "$report" ] || { echo "round without setup ($side): see $temp" >&2; return 1; }
  started="$(sed -n 's/.*"started_ms": \([0-9]*\).*/\1/p' "$report")"
  ended="$(stat -c %.3Y "$report" | tr -d .)"
  echo "$side $((started - t0)) $((t1 - ended)) $((t1 - t0))" >>"$work/times"
}

for round in $(seq "$rounds"); do
  run without "--distr-info-params=vup=0&abtup=0"
  run prefetch --brand-name=wallpapers "--distr-info-params=pwexp=bench"
  echo "round $round of $rounds done" >&2
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
printf '%-10s %14s %14s %10s\n' side "setup start ms" "exit delay ms" "total ms"
for side in without prefetch; do
  start="$(awk -v s="$side" '$1 == s { print $2 }' "$work/times" | median)"
  delay="$(awk -v s="$side" '$1 == s { print $3 }' "$work/times" | median)"
  total="$(awk -v s="$side" '$1 == s { print $4 }' "$work/times" | median)"
  printf '%-10s %14s %14s %10s\n' "$side" "$start" "$delay" "$total"
done
