#!/usr/bin/env bash
# Benchmark, not a test: the crash report of a real crash of
# lite_installer_local.exe ("--lite-crash-test=access-violation") against
# the loopback collector, which refuses it (status 500) so that the dump
# stays. Prints the dump's size, the size of the compressed body that was
# sent, and the time from the crash to the end of the process: the crashing
# run against a run that ends at the same point without a crash
# ("--lite-crash-test=exit"), timed alternating inside Wine
# (tools/bench/process_round_trip.cc).
#
#   tools/bench/crash_report.sh [RUNS (10)]
#
# Runs on the build the tests use (tools/bench/bench_common.sh), built
# beforehand; the collector listens on LITE_LOCAL_HTTPS_PORT (47443).
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
runs="${1:-10}"
port="${LITE_LOCAL_HTTPS_PORT:-47443}"
installer="$bench_build/bin/lite_installer_local.exe"
timer="$bench_build/bin/process_round_trip.exe"
for exe in "$installer" "$timer"; do
  [ -f "$exe" ] || { echo "build first: $exe missing" >&2; exit 1; }
done
tls_dir="${LITE_CACHE_DIR:-/var/cache/lite_installer}/test_ca"
work="$(mktemp -d)"
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

bench_describe_machine
bench_start_wineserver 60
/usr/bin/python3 "$bench_root/tools/fake_services/fake_services.py" --no-lease \
  --max-seconds 900 --https-port "$port" --tls-dir "$tls_dir" >"$work/ready" 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 100); do grep -q READY "$work/ready" 2>/dev/null && break; sleep 0.1; done
http_port="$(sed -n 's/^READY .*"http_port": \([0-9]*\).*/\1/p' "$work/ready")"
[ -n "$http_port" ] || { echo "the collector did not start" >&2; exit 1; }
curl -s -o /dev/null -X POST --data '{"path": "/submit", "behaviour": {"status": 500}}' \
  "http://127.0.0.1:$http_port/_control/rules"

win() { printf 'Z:%s' "${1//\//\\}"; }
# One crash alone first: the dump it leaves and the body the collector got.
bench_wine "$installer" --silent --lite-crash-test=access-violation || true
sleep 1
report="$(curl -s "http://127.0.0.1:$http_port/_control/requests" | BENCH_ROOT="$bench_root" /usr/bin/python3 -c '
import base64, json, os, sys
sys.path.insert(0, os.path.join(os.environ["BENCH_ROOT"], "tools", "fake_services"))
import fake_services
request = [r for r in json.load(sys.stdin) if r["path"].startswith("/submit")][-1]
fields = dict(request["crash"].get("fields", []))
print(fields.get("report_id", "none"),
      len(fake_services.dechunk(base64.b64decode(request["request_body_b64"]))))
')"
read -r report_id compressed <<<"$report"
# Wine takes the temporary directory from the prefix's registry: find the
# refused report's dump by its name.
dump="$(find "$WINEPREFIX/drive_c" -name "$report_id.dmp" | head -1)"
[ -n "$dump" ] || { echo "no dump named $report_id.dmp" >&2; exit 1; }
echo "dump: $(stat -c %s "$dump") bytes; compressed request body: $compressed bytes"
rm -f "$dump"
# The timed runs are answered 200: their dumps are deleted once sent.
curl -s -o /dev/null -X POST "http://127.0.0.1:$http_port/_control/reset"
echo "crash to exit: the crashing run against a run that exits at the crash point"
bench_wine "$timer" "$runs" \
  "\"$(win "$installer")\" --silent --lite-crash-test=access-violation" \
  "\"$(win "$installer")\" --silent --lite-crash-test=exit"
