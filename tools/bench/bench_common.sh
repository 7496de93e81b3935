# Sourced by the benchmark scripts: picks the build the way the test script
# does (tools/build_arch.sh: the 32-bit build where this machine runs 32-bit
# code, else the x86-64 build under 64-bit Wine; LITE_ARCH forces one), sets
# up the Wine environment of that build's prefix and names the machine.
#
# Sets: bench_root, bench_build (LITE_BUILD_DIR or the build's default
# folder), WINEPREFIX (LITE_WINEPREFIX or the build's default prefix) and
# provides bench_wine (runs a Windows program), bench_start_wineserver,
# bench_wineserver_pid, bench_cpu_seconds_of and bench_describe_machine.

bench_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# shellcheck source=../build_arch.sh
source "$bench_root/tools/build_arch.sh"
lite_pick_arch
lite_arch_settings "$LITE_ARCH"
bench_build="${LITE_BUILD_DIR:-$LITE_DEFAULT_BUILD}"
export WINEPREFIX="${LITE_WINEPREFIX:-${WINEPREFIX:-${LITE_CACHE_DIR:-/var/cache/lite_installer}/$LITE_PREFIX_NAME}}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY all_proxy ALL_PROXY

bench_wine() { lite_wine "$@"; }

# A wineserver that outlives each run (and ends LINGER seconds after the
# last), so that its start-up is never timed.
bench_start_wineserver() {
  local linger="${1:-10}"
  [ -d "$WINEPREFIX" ] || {
    echo "no Wine prefix at $WINEPREFIX: run tools/run_tests.sh (or tools/bootstrap.sh) first" >&2
    return 1
  }
  wineserver "-p$linger" 2>/dev/null || true
  bench_wine wineboot </dev/null >/dev/null 2>&1
}

# Pid of this prefix's wineserver, empty when none runs. It works in a folder
# ".../server-DEV-INODE" named for the prefix's device and inode numbers.
bench_wineserver_pid() {
  local dir pid
  dir="$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")"
  for pid in $(pgrep -u "$(id -u)" wineserver || true); do
    case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in
      */"$dir") echo "$pid"; return 0 ;;
    esac
  done
}

# User + system CPU seconds a Linux process has used so far (0 when gone).
bench_cpu_seconds_of() {
  if [ -n "${1:-}" ] && [ -r "/proc/$1/stat" ]; then
    awk -v t="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); printf "%.3f", ($12 + $13) / t }' "/proc/$1/stat"
  else
    echo 0
  fi
}

# One line: processor, cores, which build runs under which Wine.
bench_describe_machine() {
  local cpu
  cpu="$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
  echo "machine: ${cpu:-unknown CPU}, $(nproc) cores; $LITE_ARCH_TITLE in $bench_build under $(wine --version 2>/dev/null || echo Wine) ($LITE_ARCH_REASON); prefix $WINEPREFIX"
}

# bench_stop_services PORT PID WORK: asks the loopback services on PORT
# (empty: not started) to stop, waits for their process PID (empty: none)
# and removes the work folder WORK.
bench_stop_services() {
  if [ -n "$1" ]; then
    curl -s -X POST "http://127.0.0.1:$1/_control/shutdown" >/dev/null 2>&1 || true
  fi
  if [ -n "$2" ]; then
    wait "$2" 2>/dev/null || true
  fi
  rm -rf "$3"
}

# bench_first_window RUNS FIRST SECOND: time to the first window of two
# programs of the build (paths under bench_build/bin, each optionally
# preceded by a "@X,Y,RRGGBB@" probe that first_window_time.exe polls for),
# alternating RUNS times in one Wine run under its own Xvfb.
bench_first_window() {
  local runs="$1" args=() arg probe exe
  for arg in "$bench_build/bin/first_window_time.exe" "${@:2}"; do
    exe="${arg#@*@}"
    [ -f "$exe" ] || { echo "build first: $exe missing" >&2; return 1; }
  done
  bench_describe_machine
  for arg in "${@:2}"; do
    exe="${arg#@*@}"
    probe="${arg%"$exe"}"
    exe="${exe//\//\\}"
    args+=("$probe\"Z:$exe\"")
  done
  xvfb-run -a -s '-screen 0 1920x1080x24' bash -c '
    source "$0/tools/bench/bench_common.sh"
    wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true
    bench_start_wineserver 30
    bench_wine "$@"
    wineserver -k >/dev/null 2>&1 || true
  ' "$bench_root" "$bench_build/bin/first_window_time.exe" "$runs" "${args[@]}"
}
