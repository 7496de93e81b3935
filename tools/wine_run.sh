#!/usr/bin/env bash
# Runs one Windows program under the project's Wine prefix. Used by CTest as
# the cross-compiling emulator and by the scripts; never touches ~/.wine.
#   wine_run.sh [--arch=x86|x64] PROGRAM [ARGS...]
# The build's toolchain file names its architecture, which chooses the Wine
# loader and the default prefix; WINEPREFIX or LITE_WINEPREFIX overrides it.
arch="${LITE_ARCH:-x86}"
case "${1:-}" in
  --arch=*) arch="${1#--arch=}"; shift ;;
esac
source "$(dirname "$0")/build_arch.sh"
lite_arch_settings "$arch" || { echo "wine_run.sh: unknown architecture $arch" >&2; exit 2; }
export LITE_ARCH="$arch"
export WINEPREFIX="${LITE_WINEPREFIX:-${WINEPREFIX:-${LITE_CACHE_DIR:-/var/cache/lite_installer}/$LITE_PREFIX_NAME}}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY all_proxy ALL_PROXY
lite_wine "$@"
