#!/usr/bin/env bash
# Runs one Windows program under the project's Wine prefix. Used by CTest as
# the cross-compiling emulator and by the scripts; never touches ~/.wine.
export WINEPREFIX="${LITE_WINEPREFIX:-${WINEPREFIX:-/var/cache/lite_installer/wineprefix}}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY all_proxy ALL_PROXY
exec wine "$@"
