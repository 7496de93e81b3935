#!/usr/bin/env bash
# Test of the binary check's refusals of test-only contents: EXE passes as
# built, and the same bytes with a loopback origin appended (as narrow and as
# wide text) or with the crash test trigger are refused, naming what was
# found.
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
cp "$exe" "$dir/x.exe"
printf 'lite-crash-test\0' >>"$dir/x.exe"
if out="$(bash "$check" "$dir/x.exe")"; then
  echo "FAIL: the crash test trigger was accepted: $out"
  exit 1
fi
case "$out" in
  *"holds the crash test trigger: lite-crash-test"*) ;;
  *) echo "FAIL: crash test trigger refused without naming it: $out"; exit 1 ;;
esac
echo "OK: a loopback origin or the crash test trigger in the program is refused"
