#!/usr/bin/env bash
# Checks that a release build (LITE_RELEASE_BUILD) refuses to configure
# while its pinned keys file holds a development key, and takes the keys of
# a file that holds none.
#   check_release_keys.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src="${1:?usage: check_release_keys.sh SOURCE_DIR WORK_DIR}"
work="${2:?usage: check_release_keys.sh SOURCE_DIR WORK_DIR}"
dev="$src/tools/trusted_list/development_keys/pinned_public_keys.txt"
rm -rf "$work"
mkdir -p "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Configures a release build in its own folder; must fail saying $2.
refused() {  # name expected-text [cmake args...]
  local name="$1" expected="$2"; shift 2
  local out rc=0
  out="$(cmake -S "$src" -B "$work/$name" -DLITE_RELEASE_BUILD=ON "$@" 2>&1)" || rc=$?
  [ "$rc" -ne 0 ] || fail "$name: a release build configured"
  # CMake wraps long messages: compare with the white space folded.
  out="$(tr -s '[:space:]' ' ' <<<"$out")"
  grep -qF "$expected" <<<"$out" || fail "$name: no \"$expected\" in: $out"
  echo "ok: $name refused"
}

# Ten fresh keys, none of them a development key.
fresh="$work/fresh_keys.txt"
for n in 0 1 2 3 4 5 6 7 8 9; do
  openssl genrsa 1024 2>/dev/null | openssl rsa -pubout -outform DER 2>/dev/null |
    base64 -w0
  echo
done >"$fresh"
mixed="$work/mixed_keys.txt"
{ sed -n 1,7p "$fresh"; grep -v '^#' "$dev" | sed -n 4p; sed -n 9,10p "$fresh"; } >"$mixed"

refused development "refuses the development pinned key 0 (key 0 of" \
  -DLITE_PINNED_KEYS_FILE="$dev"
refused one_development_key "refuses the development pinned key 3 (key 7 of" \
  -DLITE_PINNED_KEYS_FILE="$mixed"
refused no_keys_file "set LITE_PINNED_KEYS_FILE"
sed -n 1,9p "$fresh" >"$work/nine_keys.txt"
refused nine_keys "holds 9 keys, not 10" -DLITE_PINNED_KEYS_FILE="$work/nine_keys.txt"

# The same decision with keys of the signing authority's own: taken as given.
cmake -DLITE_RELEASE_BUILD=ON -DLITE_PINNED_KEYS_FILE="$fresh" \
  -DLITE_PINNED_KEYS_OUTPUT="$work/release.inc" -P "$src/cmake/pinned_keys.cmake"
for n in 1 2 3 4 5 6 7 8 9 10; do
  grep -qF "\"$(sed -n "${n}p" "$fresh")\"," "$work/release.inc" ||
    fail "release keys: key $((n - 1)) missing from the generated list"
done
if grep -v '^#' "$dev" | grep -qFf - "$work/release.inc"; then
  fail "release keys: a development key in the generated list"
fi
echo "ok: a release build takes keys of its own"
