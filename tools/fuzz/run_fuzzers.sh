#!/usr/bin/env bash
# Builds and runs the installer-tag fuzzers, each for SECONDS, seeded from the
# signed tag fixtures of the MinGW build. Corpora grow in build-fuzz/corpus/,
# crashes land in build-fuzz/artifacts/. Exit status is non-zero when a
# fuzzer found a fault.
#
#   tools/fuzz/run_fuzzers.sh SECONDS [TARGET...]
# Environment: LITE_BUILD_DIR (default build/) holds bin/tag_fixtures.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${1:?usage: run_fuzzers.sh SECONDS [TARGET...]}"
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(installer_tag_file_fuzzer certificate_table_fuzzer json_reader_fuzzer)
fixtures="${LITE_BUILD_DIR:-$root/build}/bin/tag_fixtures"
out="$root/build-fuzz"
[ -f "$fixtures/stamp" ] || { echo "no fixtures in $fixtures: build first (tools/run_tests.sh)" >&2; exit 1; }

bash "$root/tools/fuzz/build_fuzzers.sh" "$out" >/dev/null

# Seeds: whole small fixtures, and the certificate tables of all fixtures.
seeds="$out/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/installer_tag_file_fuzzer" "$seeds/certificate_table_fuzzer" \
  "$seeds/json_reader_fuzzer"
cp "$root"/brand/testdata/*.json "$root"/test/data/*.json "$seeds/json_reader_fuzzer/"
python3 - "$fixtures" "$seeds" <<'PY'
import os, shutil, struct, sys
fixtures, seeds = sys.argv[1:]
for name in sorted(os.listdir(fixtures)):
    if not name.endswith(".exe"):
        continue
    with open(os.path.join(fixtures, name), "rb") as f:
        data = f.read()
    if len(data) <= 64 * 1024:
        shutil.copy(os.path.join(fixtures, name),
                    os.path.join(seeds, "installer_tag_file_fuzzer", name))
    (lfanew,) = struct.unpack_from("<I", data, 0x3C)
    offset, size = struct.unpack_from("<II", data, lfanew + 152)
    if offset and size > 8:
        with open(os.path.join(seeds, "certificate_table_fuzzer", name), "wb") as f:
            f.write(data[offset + 8:offset + size])
PY

status=0
for target in "${targets[@]}"; do
  corpus="$out/corpus/$target"
  artifacts="$out/artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  log="$out/$target.log"
  echo "== $target for ${seconds}s (log: $log)"
  rc=0
  "$out/$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts" \
    "$corpus" "$seeds/$target" >"$log" 2>&1 || rc=$?
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)|^#[0-9]+.*DONE' "$log" || true
  if [ $rc -ne 0 ]; then
    echo "FAULT: $target exited with $rc; see $log and $artifacts" >&2
    status=1
  fi
  echo "corpus: $(ls "$corpus" | wc -l) inputs; artifacts: $(ls "$artifacts" | wc -l)"
done
exit $status
