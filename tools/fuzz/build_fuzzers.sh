#!/usr/bin/env bash
# Builds the byte-parser fuzzers (installer tag, PE headers, JSON reader) natively with clang-14, libFuzzer, ASan and
# UBSan, apart from the MinGW tree. Usage: tools/fuzz/build_fuzzers.sh [OUTDIR]
# (default: build-fuzz/ in the repository).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="${1:-$root/build-fuzz}"
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I "$root")
for target in installer_tag_file_fuzzer certificate_table_fuzzer; do
  clang++-14 "${flags[@]}" -o "$out/$target" \
    "$root/tools/fuzz/$target.cc" "$root/brand/installer_tag_parser.cc" \
    "$root/base/pe_image_reader.cc" "$root/base/der_reader.cc" \
    "$root/test/support/pe_test_image.cc"
done
# The JSON reader, with Debian's nlohmann/json headers.
clang++-14 "${flags[@]}" -fno-exceptions -o "$out/json_reader_fuzzer" \
  "$root/tools/fuzz/json_reader_fuzzer.cc" "$root/base/json.cc"
echo "$out"
