#!/usr/bin/env bash
# Checks that the built installer is a 32-bit GUI executable that imports
# nothing but system DLLs (no MinGW runtime DLLs).
set -euo pipefail
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
[ $status -eq 0 ] && echo "OK: $kind; imports: $(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {printf "%s ", $3}')"
exit $status
