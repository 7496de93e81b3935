#!/usr/bin/env bash
# Benchmark, not a test: downloads the same large file from the loopback fake
# services with installer::Downloader under Wine (download_bench.exe) and
# with curl, alternating, several times in one run, and reports throughput,
# the Downloader/curl throughput ratio and CPU seconds per MB of each.
#
#   tools/bench/download_throughput.sh [SIZE_MB (200)] [RUNS (3)]
#
# Uses LITE_BUILD_DIR (default ./build, built beforehand) and LITE_WINEPREFIX.
# CPU of the Wine side counts the program's own process (user + kernel, as
# /usr/bin/time sees it) plus what this prefix's wineserver spent meanwhile;
# the fake server's own CPU is common to both sides and not counted. Wall
# time of the Downloader is measured inside the program (Wine's process
# start-up is reported apart).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${LITE_BUILD_DIR:-$root/build}"
size_mb="${1:-200}"
runs="${2:-3}"
size=$((size_mb * 1048576))
bench_exe="$build/bin/download_bench.exe"
[ -f "$bench_exe" ] || { echo "build first: $bench_exe missing" >&2; exit 1; }
command -v curl >/dev/null || { echo "curl is missing (tools/bootstrap.sh installs it)" >&2; exit 1; }

export WINEPREFIX="${LITE_WINEPREFIX:-/var/cache/lite_installer/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY all_proxy ALL_PROXY

work="$(mktemp -d /tmp/download_bench.XXXXXX)"
server_pid=""
cleanup() {
  if [ -n "${port:-}" ]; then
    curl -s -X POST "http://127.0.0.1:$port/_control/shutdown" >/dev/null 2>&1 || true
  fi
  if [ -n "$server_pid" ]; then
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

/usr/bin/python3 "$root/tools/fake_services/fake_services.py" --no-lease \
  --max-seconds 1800 >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  grep -q '^READY ' "$work/server.log" && break
  sleep 0.1
done
port="$(sed -n 's/^READY .*"http_port": \([0-9]*\).*/\1/p' "$work/server.log")"
[ -n "$port" ] || { cat "$work/server.log" >&2; exit 1; }
url="http://127.0.0.1:$port/content/bench.bin?size=$size"

# A wineserver that outlives each run (and ends 10 s after the last), so its
# start-up is not timed.
wineserver -p10 2>/dev/null || true
wine wineboot </dev/null >/dev/null 2>&1
# This prefix's wineserver works in a folder ".../server-DEV-INODE" named
# for the prefix's device and inode numbers.
server_dir="$(printf 'server-%x-%x' \
  "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")"
wspid=""
for pid in $(pgrep -u "$(id -u)" wineserver || true); do
  case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in
    */"$server_dir") wspid="$pid" ;;
  esac
done
clk_tck="$(getconf CLK_TCK)"
wineserver_cpu() {  # seconds of CPU the wineserver has used so far
  if [ -n "$wspid" ] && [ -r "/proc/$wspid/stat" ]; then
    awk -v t="$clk_tck" '{ printf "%.3f", ($14 + $15) / t }' "/proc/$wspid/stat"
  else
    echo 0
  fi
}

if [ -n "$wspid" ]; then
  echo "wineserver $wspid: its CPU counts on the Downloader side"
else
  echo "wineserver of $WINEPREFIX not found: its CPU is not counted" >&2
fi
printf '%-5s %-10s %9s %9s %9s %10s\n' run tool wall_s MB/s cpu_s cpu_s/MB
results="$work/results"
: >"$results"
for i in $(seq "$runs"); do
  rm -f "$work/curl.bin"
  /usr/bin/time -f '%e %U %S' -o "$work/time" \
    curl -s -o "$work/curl.bin" "$url"
  read -r wall user sys <"$work/time"
  got="$(stat -c %s "$work/curl.bin")"
  [ "$got" = "$size" ] || { echo "curl got $got bytes" >&2; exit 1; }
  echo "curl $wall $user $sys 0 0 $wall" >>"$results"

  rm -f "$work/wine.bin"
  ws_before="$(wineserver_cpu)"
  /usr/bin/time -f '%e %U %S' -o "$work/time" \
    wine "$bench_exe" "$url" "$(winepath -w "$work/wine.bin")" >"$work/bench.out"
  ws_after="$(wineserver_cpu)"
  read -r wall user sys <"$work/time"
  got="$(stat -c %s "$work/wine.bin")"
  [ "$got" = "$size" ] || { echo "Downloader got $got bytes: $(cat "$work/bench.out")" >&2; exit 1; }
  # The program's own wall time excludes Wine's process start-up.
  inner="$(sed -n 's/.*wall_s=\([0-9.]*\).*/\1/p' "$work/bench.out")"
  echo "wine $inner $user $sys $ws_before $ws_after $wall" >>"$results"

  tail -2 "$results" | awk -v run="$i" -v mb="$size_mb" '{
    cpu = $3 + $4 + $6 - $5
    printf "%-5s %-10s %9.2f %9.1f %9.2f %10.4f\n", run,
      ($1 == "curl" ? "curl" : "Downloader"), $2, mb / $2, cpu, cpu / mb }'
done

awk -v mb="$size_mb" '
  $1 == "curl" { cw += $2; cc += $3 + $4; n++ }
  $1 == "wine" { ww += $2; wc += $3 + $4 + $6 - $5; wo += $7 }
  END {
    printf "\nmeans over %d runs of %d MB:\n", n, mb
    printf "  curl        %7.1f MB/s  %.4f CPU s/MB\n", mb * n / cw, cc / (mb * n)
    printf "  Downloader  %7.1f MB/s  %.4f CPU s/MB (under Wine; %.2f s per run with Wine start-up)\n", mb * n / ww, wc / (mb * n), wo / n
    printf "  throughput ratio Downloader/curl: %.2f\n", cw / ww
  }' "$results"
