#!/usr/bin/env bash
# Test of the binary check's import rules on two small 32-bit programs built
# here: one that delay-loads user32.dll passes; one that imports a user32.dll
# function directly is refused with the line to add to the import list.
#   check_delay_load_test.sh
set -uo pipefail
check="$(dirname "$0")/check_binary.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat > "$work/probe.c" <<'SOURCE'
#include <windows.h>
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) {
  return MessageBoxA(NULL, "probe", "probe", MB_OK) + GetSystemMetrics(0);
}
SOURCE
# Both functions delay-loaded, or only GetSystemMetrics.
printf 'LIBRARY "user32.dll"\nEXPORTS\n  MessageBoxA@16\n  GetSystemMetrics@4\n' > "$work/both.def"
printf 'LIBRARY "user32.dll"\nEXPORTS\n  GetSystemMetrics@4\n' > "$work/one.def"
for def in both one; do
  i686-w64-mingw32-dlltool -k -d "$work/$def.def" -y "$work/lib${def}_delay.a" || exit 1
done
build() {
  i686-w64-mingw32-gcc -Os -mwindows -o "$work/$1" "$work/probe.c" "${@:2}" || exit 1
}
build delayed.exe -Wl,-u,_MessageBoxA@16 -Wl,-u,_GetSystemMetrics@4 "$work/libboth_delay.a"
build direct.exe -Wl,-u,_GetSystemMetrics@4 "$work/libone_delay.a"
status=0
if ! out="$(bash "$check" "$work/delayed.exe")"; then
  echo "FAIL: a program that delay-loads user32.dll was refused: $out"
  status=1
elif [[ "$out" != *"delay-loaded: user32.dll"* ]]; then
  echo "FAIL: the delay-import table was not read: $out"
  status=1
fi
if out="$(bash "$check" "$work/direct.exe")"; then
  echo "FAIL: a direct import of MessageBoxA was accepted: $out"
  status=1
elif [[ "$out" != *"imports MessageBoxA from USER32.dll directly; add the line 'user32.dll MessageBoxA 16' to cmake/delay_load_imports.txt"* ]] ||
     [[ "$out" == *GetSystemMetrics* ]]; then
  echo "FAIL: the refusal does not name exactly the line to add: $out"
  status=1
fi
[ $status -eq 0 ] && echo "OK: delay-loaded imports pass, a direct one is refused with its line"
exit $status
