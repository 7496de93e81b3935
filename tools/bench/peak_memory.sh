#!/usr/bin/env bash
# Benchmark, not a test: peak working set of a whole silent installation
# (download, verification, running setup) for setup archives of several
# sizes. For each size, the fake setup program grows by a payload section to
# that size and is signed like the real one (make_large_archive.py,
# osslsigncode); lite_installer_local.exe then installs it under Wine from
# the loopback services over HTTPS, started by run_process.exe, which reads
# the installer's peak working set (GetProcessMemoryInfo) while it runs.
#
# Each size runs in two layouts of the same archive: "linker", the payload
# at the file alignment a linker uses (512 bytes), as in real archives; and
# "page", the payload page-aligned in the file. Under Wine the verification's
# resource load (LoadLibraryExW as image resource) reads a section whose file
# offset is not page-aligned wholly into memory, where Windows pages it in on
# demand; the "page" layout shows what the installer itself holds.
#
#   tools/bench/peak_memory.sh [SIZE_MB...] (50 200 800)
#
# Runs on the build the tests use (tools/bench/bench_common.sh; LITE_ARCH,
# LITE_BUILD_DIR and LITE_WINEPREFIX as for tools/run_tests.sh), built
# beforehand. The goal is a flat line: the largest archive within 5 % of the
# smallest.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(50 200 800)
bin="$bench_build/bin"
for exe in lite_installer_local.exe fake_setup.exe run_process.exe; do
  [ -f "$bin/$exe" ] || { echo "build first: $bin/$exe missing" >&2; exit 1; }
done
cache="$bench_build/CMakeCache.txt"
port="$(sed -n 's/^LITE_LOCAL_HTTPS_PORT:[A-Z]*=//p' "$cache")"
ca_dir="$(sed -n 's/^LITE_TEST_CA_DIR:[A-Z]*=//p' "$cache")"
pki="$bench_build/keys/code_signing_pki"
[ -n "$port" ] && [ -n "$ca_dir" ] && [ -f "$pki/sha256_signer.pem" ] || {
  echo "build first: port, test CA or code-signing keys missing in $bench_build" >&2
  exit 1
}

work="$(mktemp -d /tmp/peak_memory.XXXXXX)"
largest=0
for mb in "${sizes[@]}"; do [ "$mb" -gt "$largest" ] && largest="$mb"; done
# The archive, its signed copy and the installer's download at once.
free_mb=$(($(stat -f -c '%a * %S' "$work") / 1048576))
[ "$free_mb" -gt $((3 * largest + 500)) ] || { echo "only $free_mb MB free in /tmp" >&2; rm -rf "$work"; exit 1; }
server_pid=""
http_port=""
cleanup() { bench_stop_services "$http_port" "$server_pid" "$work"; }
trap cleanup EXIT

bench_describe_machine
bench_start_wineserver 60
# The fake setup is signed under the development code-signing root.
bash "$bench_root/tools/trust_test_ca.sh" --arch="$LITE_ARCH" "$pki/root.pem" >/dev/null

/usr/bin/python3 "$bench_root/tools/fake_services/fake_services.py" \
  --tls-dir "$ca_dir" --https-port "$port" --no-lease --max-seconds 1800 \
  >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  grep -q '^READY ' "$work/server.log" && break
  sleep 0.1
done
http_port="$(sed -n 's/^READY .*"http_port": \([0-9]*\).*/\1/p' "$work/server.log")"
[ -n "$http_port" ] || { cat "$work/server.log" >&2; exit 1; }

"$LITE_TRIPLET-strip" -o "$work/fake_setup.exe" "$bin/fake_setup.exe"
printf '%-11s %-8s %-10s %9s %16s %9s\n' archive_MB layout exit_code wall_s peak_working_set vs_first
declare -A first
for mb in "${sizes[@]}"; do
for layout in linker page; do
  archive="$work/browser-setup-$mb.arc"
  aligned=()
  [ "$layout" = page ] && aligned=(--page-aligned)
  /usr/bin/python3 "$bench_root/tools/bench/make_large_archive.py" "${aligned[@]}" \
    "$work/fake_setup.exe" "$mb" "$work/unsigned.exe"
  osslsigncode sign -certs "$pki/sha256_signer.pem" -key "$pki/sha256_signer.key" \
    -h sha256 -in "$work/unsigned.exe" -out "$archive" >/dev/null
  rm -f "$work/unsigned.exe"
  curl -sf -X POST "http://127.0.0.1:$http_port/_control/reset" >/dev/null
  curl -sf -X POST "http://127.0.0.1:$http_port/_control/rules" \
    -d "{\"path\": \"/browser/local/browser-setup.arc\", \"behaviour\": {\"file\": \"$archive\"}}" >/dev/null

  temp="$work/temp-$mb-$layout"
  mkdir "$temp"
  win_temp="$(bench_wine winepath -w "$temp" 2>/dev/null)"
  start="$(date +%s.%N)"
  out="$(bench_wine "$bin/run_process.exe" --peak-memory \
    "--set-env=TMP=$win_temp" "--set-env=TEMP=$win_temp" \
    "$(bench_wine winepath -w "$bin/lite_installer_local.exe" 2>/dev/null)" --silent \
    "--fake-setup-report=$win_temp\\setup_report.json" 2>/dev/null | tr -d '\r')"
  end="$(date +%s.%N)"
  code="$(sed -n 's/^exit code: //p' <<<"$out")"
  peak="$(sed -n 's/^peak working set: //p' <<<"$out")"
  if [ "$code" != 0 ] || [ ! -f "$temp/setup_report.json" ]; then
    echo "the installation of the $mb MB archive failed (exit code ${code:-none}); last log lines:" >&2
    tail -n 8 "$temp/lite_installer.log" >&2 || true
    exit 1
  fi
  [ -n "${first[$layout]:-}" ] || first[$layout]="$peak"
  awk -v mb="$mb" -v l="$layout" -v c="$code" -v s="$start" -v e="$end" -v p="$peak" \
    -v f="${first[$layout]}" 'BEGIN {
    printf "%-11s %-8s %-10s %9.1f %13.1f MB %+8.1f%%\n", mb, l, c, e - s, p / 1048576, (p - f) * 100 / f }'
  rm -rf "$temp" "$archive"
done
done
