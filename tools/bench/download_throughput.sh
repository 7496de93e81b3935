#!/usr/bin/env bash
# Benchmark, not a test: the same large file from the same loopback fake
# server, fetched in turn, round after round, by
#   Downloader  the installer's download path (DownloadWithProgress into a
#               file, with stop event and progress observer) under Wine
#   WinINet     a bare InternetOpenUrlW + InternetReadFile loop into one
#               buffer of the Downloader's size, nothing else, under Wine
#   recv        a bare Winsock recv loop, under Wine
#   curl        curl on Linux, writing the file
# and reports each one's throughput and CPU per MB (medians over the rounds)
# and the Downloader's ratios to the bare WinINet loop, paired per round.
#
#   tools/bench/download_throughput.sh [SIZE_MB (200)] [ROUNDS (5)]
#
# Runs on the build the tests use (tools/bench/bench_common.sh; LITE_ARCH,
# LITE_BUILD_DIR and LITE_WINEPREFIX as for tools/run_tests.sh), built
# beforehand. LITE_BENCH_EXTRA=wininet-file adds the bare loop writing the
# file, to tell the cost of the writes apart.
#
# Times cover the download alone (the programs time themselves; Wine's
# process start-up is left out). CPU of a Wine run is the program's own
# process plus what the prefix's wineserver spent meanwhile (the program
# reads it between its two timestamps); the fake server's own CPU is common
# to all and not counted.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
size_mb="${1:-200}"
rounds="${2:-5}"
size=$((size_mb * 1048576))
bench_exe="$bench_build/bin/download_bench.exe"
[ -f "$bench_exe" ] || { echo "build first: $bench_exe missing" >&2; exit 1; }
command -v curl >/dev/null || { echo "curl is missing (tools/bootstrap.sh installs it)" >&2; exit 1; }

work="$(mktemp -d /tmp/download_bench.XXXXXX)"
# Two copies of the file at most: the Downloader's and curl's.
free_mb=$(($(stat -f -c '%a * %S' "$work") / 1048576))
[ "$free_mb" -gt $((3 * size_mb)) ] || { echo "only $free_mb MB free in /tmp" >&2; exit 1; }
server_pid=""
cleanup() { bench_stop_services "${port:-}" "$server_pid" "$work"; }
trap cleanup EXIT

/usr/bin/python3 "$bench_root/tools/fake_services/fake_services.py" --no-lease \
  --max-seconds 1800 >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  grep -q '^READY ' "$work/server.log" && break
  sleep 0.1
done
port="$(sed -n 's/^READY .*"http_port": \([0-9]*\).*/\1/p' "$work/server.log")"
[ -n "$port" ] || { cat "$work/server.log" >&2; exit 1; }
url="http://127.0.0.1:$port/content/bench.bin?size=$size"

bench_describe_machine
bench_start_wineserver 30
wspid="$(bench_wineserver_pid)"
if [ -n "$wspid" ]; then
  export LITE_BENCH_WINESERVER_PID="$wspid"
else
  echo "wineserver of $WINEPREFIX not found: its CPU is not counted" >&2
fi
echo "$size_mb MB from $url, $rounds rounds"

tools=(downloader wininet winsock)
[ -n "${LITE_BENCH_EXTRA:-}" ] && tools+=("$LITE_BENCH_EXTRA")
results="$work/results"
: >"$results"
printf '%-6s %-13s %9s %9s %9s %10s %8s\n' round tool wall_s MB/s cpu_s cpu_s/MB reads
for round in $(seq "$rounds"); do
  # curl: its own transfer time; its CPU from time(1) (start-up included,
  # a few milliseconds).
  rm -f "$work/curl.bin"
  /usr/bin/time -f '%U %S' -o "$work/time" \
    curl -s -o "$work/curl.bin" -w '%{time_total}\n' "$url" >"$work/curl.out"
  got="$(stat -c %s "$work/curl.bin")"
  [ "$got" = "$size" ] || { echo "curl got $got bytes" >&2; exit 1; }
  read -r user sys <"$work/time"
  echo "$round curl $(cat "$work/curl.out") $(awk -v a="$user" -v b="$sys" 'BEGIN { print a + b }') 0" >>"$results"
  rm -f "$work/curl.bin"

  for tool in "${tools[@]}"; do
    rm -f "$work/wine.bin"
    args=("$tool" "$url")
    case "$tool" in
      downloader|wininet-file) args+=("$(bench_wine winepath -w "$work/wine.bin" 2>/dev/null)") ;;
    esac
    bench_wine "$bench_exe" "${args[@]}" >"$work/bench.out" 2>&1 || {
      echo "$tool failed: $(cat "$work/bench.out")" >&2
      exit 1
    }
    line="$(tr -d '\r' <"$work/bench.out" | grep '^ok=')"
    bytes="$(sed -n 's/.* bytes=\([0-9]*\).*/\1/p' <<<"$line")"
    [ "$bytes" = "$size" ] || { echo "$tool got $bytes bytes: $line" >&2; exit 1; }
    wall="$(sed -n 's/.* wall_s=\([0-9.]*\).*/\1/p' <<<"$line")"
    cpu="$(sed -n 's/.* cpu_s=\([0-9.]*\).*/\1/p' <<<"$line")"
    server="$(sed -n 's/.* server_cpu_s=\([-0-9.]*\).*/\1/p' <<<"$line")"
    reads="$(sed -n 's/.* reads=\([0-9]*\).*/\1/p' <<<"$line")"
    case "$server" in -*) server=0 ;; esac
    echo "$round $tool $wall $(awk -v a="$cpu" -v b="$server" 'BEGIN { print a + b }') $reads" >>"$results"
  done
  rm -f "$work/wine.bin"
  awk -v r="$round" -v mb="$size_mb" '$1 == r {
    printf "%-6s %-13s %9.3f %9.1f %9.3f %10.5f %8s\n", r, $2, $3, mb / $3, $4, $4 / mb, $5 }' "$results"
done

awk -v mb="$size_mb" -v n="$rounds" '
  function median(list, count,   i, j, t, a) {
    split(list, a, " ")
    for (i = 1; i <= count; i++)
      for (j = i + 1; j <= count; j++)
        if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    return count % 2 ? a[(count + 1) / 2] : (a[count / 2] + a[count / 2 + 1]) / 2
  }
  { wall[$1, $2] = $3; cpu[$1, $2] = $4; seen[$2] = 1 }
  END {
    split("downloader wininet winsock curl wininet-file", order, " ")
    split("Downloader,bare WinINet loop,bare recv loop,curl,WinINet loop + file", names, ",")
    printf "\nmedians over %d rounds of %d MB:\n", n, mb
    for (k = 1; k <= 5; k++) {
      t = order[k]
      if (!(t in seen)) continue
      tp = ""; cp = ""
      for (r = 1; r <= n; r++) { tp = tp " " mb / wall[r, t]; cp = cp " " cpu[r, t] / mb }
      printf "  %-22s %8.1f MB/s  %.5f CPU s/MB\n", names[k], median(tp, n), median(cp, n)
    }
    tr = ""; cr = ""; cu = ""
    for (r = 1; r <= n; r++) {
      tr = tr " " wall[r, "wininet"] / wall[r, "downloader"]
      cr = cr " " cpu[r, "downloader"] / cpu[r, "wininet"]
      cu = cu " " wall[r, "curl"] / wall[r, "downloader"]
    }
    printf "Downloader / bare WinINet loop: throughput %.3fx (goal >= 0.95), CPU per MB %.3fx (goal <= 1.1)\n", median(tr, n), median(cr, n)
    printf "Downloader / curl: throughput %.3fx\n", median(cu, n)
  }' "$results"
