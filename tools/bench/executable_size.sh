#!/usr/bin/env bash
# Reports the size of the built installer: the executables and the DLLs they
# import, the product's sections and its size budget, and where the bytes come
# from (tools/bench/size_report.py on the linker map the build writes).
#   tools/bench/executable_size.sh [BUILD_DIR]
# BUILD_DIR is the 32-bit product's build (default LITE_PRODUCT_BUILD_DIR or
# ./build, which tools/run_tests.sh builds on every machine).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-${LITE_PRODUCT_BUILD_DIR:-$root/build}}"
for exe in lite_installer.exe fake_setup.exe; do
  path="$build/bin/$exe"
  [ -f "$path" ] || { echo "$exe: not built"; continue; }
  printf '%-22s %9d bytes  imports: %s\n' "$exe" "$(stat -c %s "$path")" \
    "$(i686-w64-mingw32-objdump -p "$path" | awk '/DLL Name:/ {printf "%s ", $3}')"
done
product="$build/bin/lite_installer.exe"
[ -f "$product" ] || exit 0
budget="$(sed -n 's/^set(LITE_INSTALLER_SIZE_BUDGET \([0-9]*\)).*/\1/p' \
  "$root/chrome/installer/lite_installer/CMakeLists.txt")"
echo "size budget (LITE_INSTALLER_SIZE_BUDGET): ${budget:-none} bytes;" \
  "headroom $(( ${budget:-0} - $(stat -c %s "$product") )) bytes"
echo
echo "Sections of lite_installer.exe (bytes in memory; the file rounds each up to 512):"
i686-w64-mingw32-objdump -h "$product" | while read -r index name size _; do
  if [[ "$index" =~ ^[0-9]+$ ]]; then printf '  %-10s %9d\n' "$name" "$((16#$size))"; fi
done
map="$build/chrome/installer/lite_installer/lite_installer.map"
if [ -f "$map" ]; then
  echo
  /usr/bin/python3 "$root/tools/bench/size_report.py" "$map"
else
  echo "no linker map at $map: build lite_installer again"
fi
