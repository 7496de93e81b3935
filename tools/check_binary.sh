#!/usr/bin/env bash
# Checks that the built installer is a 32-bit GUI executable that imports
# kernel32.dll and msvcrt.dll directly and delay-loads every other (system)
# DLL, that it holds no loopback origin and, with --max-size, that it is no
# larger than its size budget.
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
# Only kernel32 and the static runtime's msvcrt (both KnownDLLs, which the
# loader never takes from the program's folder) are imported directly:
# every other system library is delay-loaded (cmake/delay_load_imports.txt),
# so that it is bound only after start-up has restricted the search path.
direct_allowed=' kernel32.dll msvcrt.dll '
delay_allowed=' user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll comctl32.dll gdiplus.dll shlwapi.dll wininet.dll winhttp.dll crypt32.dll wintrust.dll version.dll userenv.dll uxtheme.dll msimg32.dll oleacc.dll winmm.dll ws2_32.dll bcrypt.dll dbghelp.dll '
root="$(cd "$(dirname "$0")/.." && pwd)"
status=0
imports="$(python3 "$root/tools/pe/pe_imports.py" "$exe")" || { echo "FAIL: cannot read the imports of $exe"; exit 1; }
# The decorated 32-bit name's argument bytes, from MinGW's import library.
stdcall_bytes() {
  local symbol
  symbol="$(i686-w64-mingw32-nm "/usr/i686-w64-mingw32/lib/lib${1%.*}.a" 2>/dev/null |
            awk -v f="_$2" '$2 == "T" && ($3 == f || index($3, f "@") == 1) {print $3; exit}')"
  case "$symbol" in
    *@*) echo "${symbol##*@}" ;;
    "") echo "<argument bytes>" ;;
    *) echo cdecl ;;
  esac
}
while read -r table dll function; do
  lower="$(echo "$dll" | tr 'A-Z' 'a-z')"
  if [ "$table" = direct ] && [[ "$direct_allowed" != *" $lower "* ]]; then
    if [[ "$delay_allowed" == *" $lower "* ]]; then
      echo "FAIL: $exe imports $function from $dll directly; add the line" \
        "'$lower $function $(stdcall_bytes "$lower" "$function")' to cmake/delay_load_imports.txt"
    else
      echo "FAIL: $exe imports $function from $dll, which is not a system DLL"
    fi
    status=1
  elif [ "$table" = delayed ] && [[ "$delay_allowed" != *" $lower "* ]]; then
    echo "FAIL: $exe delay-loads $dll, which is not a system DLL"
    status=1
  fi
done <<< "$imports"
if ! grep -qi '^delayed user32.dll ' <<< "$imports"; then
  echo "FAIL: $exe delay-loads nothing of user32.dll (no delay-import table found)"
  status=1
fi
# The product reaches only its deployment's hosts: the loopback origins of the
# demo and test programs must never be built into it (narrow or wide text).
loopback="$( { strings -a "$exe"; strings -a -e l "$exe"; } | grep -iE 'localhost|127\.0\.0\.1|\[::1\]' | head -3 || true)"
if [ -n "$loopback" ]; then
  echo "FAIL: $exe holds a loopback origin: $loopback"
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
[ $status -eq 0 ] && echo "OK: $kind; $size bytes${max_size:+ (budget $max_size)};" \
  "imports: $(awk '$1 == "direct" {print $2}' <<< "$imports" | sort -uf | tr '\n' ' ')" \
  "delay-loaded: $(awk '$1 == "delayed" {print $2}' <<< "$imports" | sort -uf | tr '\n' ' ')"
exit $status
