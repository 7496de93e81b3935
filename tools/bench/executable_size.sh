#!/usr/bin/env bash
# Reports the size of the built installer and the DLLs it imports.
#   tools/bench/executable_size.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-${LITE_BUILD_DIR:-$root/build}}"
for exe in lite_installer.exe fake_setup.exe; do
  path="$build/bin/$exe"
  [ -f "$path" ] || { echo "$exe: not built"; continue; }
  printf '%-22s %9d bytes  imports: %s\n' "$exe" "$(stat -c %s "$path")" \
    "$(i686-w64-mingw32-objdump -p "$path" | awk '/DLL Name:/ {printf "%s ", $3}')"
done
