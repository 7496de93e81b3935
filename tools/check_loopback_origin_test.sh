#!/usr/bin/env bash
# Test of the binary check's loopback refusal: EXE passes as built, and the
# same bytes with a loopback origin appended (as narrow and as wide text) are
# refused with the origin named.
#   check_loopback_origin_test.sh EXE
set -uo pipefail
exe="$1"
check="$(dirname "$0")/check_binary.sh"
if ! out="$(bash "$check" "$exe")"; then
  echo "FAIL: $exe itself was refused: $out"
  exit 1
fi
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
for form in narrow wide; do
  cp "$exe" "$dir/x.exe"
  if [ "$form" = narrow ]; then
    printf 'https://localhost:47443\0' >>"$dir/x.exe"
  else
    printf 'https://localhost:47443' | iconv -f ascii -t utf-16le >>"$dir/x.exe"
  fi
  if out="$(bash "$check" "$dir/x.exe")"; then
    echo "FAIL: a $form loopback origin was accepted: $out"
    exit 1
  fi
  case "$out" in
    *"holds a loopback origin: https://localhost:47443"*) ;;
    *) echo "FAIL: $form origin refused without naming it: $out"; exit 1 ;;
  esac
done
echo "OK: a loopback origin in the program is refused"
