#!/usr/bin/env bash
# Builds the trusted-list fuzzer natively with clang and libFuzzer (ASan and
# UBSan) and runs it.
#   tools/fuzz/run_trusted_list_fuzzer.sh [seconds (default 300)] [libFuzzer args...]
# Work files go to $LITE_FUZZ_DIR (default /tmp/lite_fuzz/trusted_list); the
# corpus stays there between runs, crashes are written there too.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${1:-300}"
shift || true
work="${LITE_FUZZ_DIR:-/tmp/lite_fuzz/trusted_list}"
mkdir -p "$work/corpus" "$work/include"
# Only the nlohmann/ folder, as in the Windows build.
[ -e "$work/include/nlohmann" ] || ln -s /usr/include/nlohmann "$work/include/nlohmann"

clang++-14 -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=undefined -I"$root" -isystem "$work/include" \
  "$root/tools/fuzz/trusted_list_fuzzer.cc" \
  "$root/chrome/installer/norvel/util/trust/trusted_list.cc" \
  "$root/base/json.cc" \
  -o "$work/trusted_list_fuzzer"

# Seeds: the shapes a real list takes, and the reader's extensions.
seed() { printf '%b' "$2" >"$work/corpus/$1"; }
seed list '\x04\x2b\x3c\x4d\x5e{"trusted_info": {"certificates": [{"id": "Kzw=", "pub_key": "358f4ceef9398281ffdbb57813b82a1d376e4060b403d8f639fc67e63f4d4997"}, {"id": "ACs8TV4="}]}}'
seed comments '\x01\x01// c\n{"trusted_info": /* x */ {"certificates": [{"id": "AQ==", "pub_key": "\\x41"}, 5, "s"]}}'
seed base64 '\x00AQID'

cd "$work"
exec "$work/trusted_list_fuzzer" -max_total_time="$seconds" -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="$work/" "$@" "$work/corpus"
