#!/usr/bin/env bash
# Checks that the built installer is a 32-bit GUI executable that imports
# nothing but system DLLs (no MinGW runtime DLLs), holds no loopback origin
# and no crash test trigger and, with --max-size, that it is no larger than
# its size budget.
#   check_binary.sh [--max-size BYTES] EXE
set -euo pipefail
max_size=""
if [ "${1:-}" = "--max-size" ]; then
  max_size="$2"
  shift 2
fi
exe="$1"
kind="$(file -b "$exe")"
case "$kind" in
  "PE32 executable (GUI) Intel 80386"*) ;;
  *) echo "FAIL: $exe is '$kind'"; exit 1 ;;
esac
allowed=' kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll comctl32.dll gdiplus.dll msvcrt.dll shlwapi.dll wininet.dll winhttp.dll crypt32.dll wintrust.dll version.dll userenv.dll uxtheme.dll msimg32.dll oleacc.dll ws2_32.dll bcrypt.dll dbghelp.dll '
status=0
while read -r dll; do
  lower="$(echo "$dll" | tr 'A-Z' 'a-z')"
  if [[ "$allowed" != *" $lower "* ]]; then
    echo "FAIL: $exe imports $dll, which is not a system DLL"
    status=1
  fi
done < <(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}')
# The product reaches only its deployment's hosts: the loopback origins of the
# demo and test programs must never be built into it (narrow or wide text).
loopback="$( { strings -a "$exe"; strings -a -e l "$exe"; } | grep -iE 'localhost|127\.0\.0\.1|\[::1\]' | head -3 || true)"
if [ -n "$loopback" ]; then
  echo "FAIL: $exe holds a loopback origin: $loopback"
  status=1
fi
# Nor the crash trigger of the test program (lite_installer_local.exe).
trigger="$( { strings -a "$exe"; strings -a -e l "$exe"; } | grep -F 'lite-crash-test' | head -1 || true)"
if [ -n "$trigger" ]; then
  echo "FAIL: $exe holds the crash test trigger: $trigger"
  status=1
fi
size="$(stat -c %s "$exe")"
if [ -n "$max_size" ] && [ "$size" -gt "$max_size" ]; then
  echo "FAIL: $exe is $size bytes, over its budget of $max_size bytes" \
    "(LITE_INSTALLER_SIZE_BUDGET in chrome/installer/lite_installer/CMakeLists.txt:" \
    "raise it in the commit that needs the bytes, with the reason;" \
    "tools/bench/executable_size.sh shows where they go)"
  status=1
fi
[ $status -eq 0 ] && echo "OK: $kind; $size bytes${max_size:+ (budget $max_size)}; imports: $(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {printf "%s ", $3}')"
exit $status
