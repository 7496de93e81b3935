#!/usr/bin/env bash
# Test of the binary check's size budget: EXE passes a budget of exactly its
# size and is refused, with the reason, by a budget one byte smaller.
#   check_size_budget_test.sh EXE
set -uo pipefail
exe="$1"
check="$(dirname "$0")/check_binary.sh"
size="$(stat -c %s "$exe")"
if ! out="$(bash "$check" --max-size "$size" "$exe")"; then
  echo "FAIL: a budget of exactly $size bytes refused $exe: $out"
  exit 1
fi
if out="$(bash "$check" --max-size $((size - 1)) "$exe")"; then
  echo "FAIL: a budget of $((size - 1)) bytes accepted $exe ($size bytes): $out"
  exit 1
fi
case "$out" in
  *"is $size bytes, over its budget of $((size - 1)) bytes"*) echo "OK: one byte over the budget is refused" ;;
  *) echo "FAIL: refused without naming the sizes: $out"; exit 1 ;;
esac
