#!/usr/bin/env bash
# Builds the installer and runs a real silent installation under Wine
# against the bundled loopback services: lite_installer_local.exe (the
# installer built with its download URL on https://localhost) downloads the
# signed fake setup program as browser-setup.arc, verifies its publisher and
# runs it. Prints the exit code, the command line setup received, the
# requests and statistics events the services received, and the log.
# Where this machine cannot execute 32-bit code, the demo runs the x86-64
# build of the same sources (tools/build_arch.sh; LITE_ARCH forces one).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/tools/build_arch.sh"

lite_prepare_machine
build="$LITE_BUILD"
echo "Demo on the $LITE_ARCH_TITLE: $LITE_ARCH_REASON"
lite_configure "$LITE_ARCH" "$build"
cmake --build "$build" --target lite_installer lite_installer_local fake_setup \
  run_process drive_window lite_test_slides >/dev/null
port="$(grep -m1 '^LITE_LOCAL_HTTPS_PORT:' "$build/CMakeCache.txt" | cut -d= -f2)"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY all_proxy ALL_PROXY
# The fake setup is signed under the development code-signing root.
bash "$root/tools/trust_test_ca.sh" --arch="$LITE_ARCH" "$build/keys/code_signing_pki/root.pem" >/dev/null

demo_dir="$(mktemp -d /tmp/lite_installer_demo.XXXXXX)"
server_log="$demo_dir/fake_services.log"
/usr/bin/python3 "$root/tools/fake_services/fake_services.py" \
  --tls-dir "$LITE_TEST_CA_DIR" --https-port "$port" --no-lease \
  --max-seconds 300 --slides "$build/test_slides" >"$server_log" 2>&1 &
server_pid=$!
trap 'kill $server_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q '^READY' "$server_log" && break
  sleep 0.1
done
http_port="$(sed -n 's/^READY .*"http_port": \([0-9]*\).*/\1/p' "$server_log")"
[ -n "$http_port" ] || { echo "the loopback services did not start:"; cat "$server_log"; exit 1; }
curl -sf -X POST "http://127.0.0.1:$http_port/_control/rules" \
  -d "{\"path\": \"/browser/local/browser-setup.arc\", \"behaviour\": {\"file\": \"$build/bin/fake_setup_signed.exe\"}}" \
  >/dev/null
# The installation-finished report is answered like the real service does.
curl -sf -X POST "http://127.0.0.1:$http_port/_control/rules" \
  -d '{"path": "/get/browser/install", "behaviour": {"text": "ok"}}' >/dev/null

win_demo_dir="$(lite_wine winepath -w "$demo_dir" 2>/dev/null)"
echo "Loopback services on https://localhost:$port; running: lite_installer_local.exe --silent"
result="$(xvfb-run -a "$root/tools/wine_run.sh" --arch="$LITE_ARCH" "$build/bin/run_process.exe" \
  "--set-env=TMP=$win_demo_dir" "--set-env=TEMP=$win_demo_dir" \
  "$(lite_wine winepath -w "$build/bin/lite_installer_local.exe")" --silent \
  "--fake-setup-report=$win_demo_dir\\setup_report.json" \
  2>/dev/null | tr -d '\r')"
echo "Installer $result"
if [ -f "$demo_dir/setup_report.json" ]; then
  echo "Setup received:"
  /usr/bin/python3 -c 'import json,sys; print("  " + json.load(open(sys.argv[1]))["raw_command_line"])' \
    "$demo_dir/setup_report.json"
else
  echo "Setup did not run."
fi
echo "Requests the services received:"
curl -sf "http://127.0.0.1:$http_port/_control/requests" | /usr/bin/python3 -c '
import json, sys
for r in json.load(sys.stdin):
    print("  %s %s %s -> %s, %s bytes" % (r["scheme"].upper(), r["method"], r["path"], r["status"], r["bytes"]))'
echo "Statistics events the services received:"
curl -sf "http://127.0.0.1:$http_port/_control/requests" | /usr/bin/python3 -c '
import json, sys, urllib.parse
for r in json.load(sys.stdin):
    path = r["path"]
    if not path.startswith("/installstats/send/"):
        continue
    cid = path.split("/cid=")[1].split("/")[0]
    kind = path.split("/path=")[1].split("/")[0]
    variables = {}
    if "/vars=" in path:
        for item in path.split("/vars=", 1)[1].rsplit("/*", 1)[0].split(","):
            name, _, value = item[1:].partition("=")
            variables[urllib.parse.unquote(name)] = urllib.parse.unquote(value)
    event = variables.get("action", "")
    if "stage" in variables:
        event += "/" + variables["stage"]
    own = ", ".join("%s=%s" % (k, variables[k]) for k in sorted(variables)
                    if k in ("dpi", "resolution", "status", "attempt_number",
                             "downloaded_size", "error", "uac", "new_ver",
                             "download_time", "setup_time"))
    print("  %s %s: %s %s" % (cid, kind, event, own))'
echo "Log file: $demo_dir/lite_installer.log"
echo "Last lines of the log:"
tail -n 12 "$demo_dir/lite_installer.log" | sed 's/^/  /'

# A windowed installation on a display of its own (1920 x 1080 holds the
# 200 % window), with a compositor for the window's blended pixels and
# Wine managing its windows itself: the driver presses Install as a user
# would and takes a screenshot of each screen.
echo
demo_script="install:5,pause:600,install:7,pause:600,import:0,pause:600,import:50,pause:600,import:100,pause:600"
echo "Running a windowed installation: lite_installer_local.exe --do-not-launch-browser (the driver presses Install); setup reports $demo_script"
rm -rf "$build/ui_artefacts/demo"
windowed="$(xvfb-run -a -s '-screen 0 1920x1080x24 +extension Composite' bash -c '
  root="$1"; arch="$2"; shift 2
  source "$root/tools/build_arch.sh"
  lite_arch_settings "$arch"
  export LITE_ARCH="$arch"
  export WINEPREFIX="${LITE_WINEPREFIX:-${WINEPREFIX:-${LITE_CACHE_DIR:-/var/cache/lite_installer}/$LITE_PREFIX_NAME}}"
  # A server started outside this display would give the window no driver.
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  compositor=""
  if command -v xcompmgr >/dev/null 2>&1; then
    xcompmgr </dev/null >/dev/null 2>&1 &
    compositor=$!
  fi
  "$root/tools/wine_run.sh" --arch="$arch" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f </dev/null >/dev/null 2>&1
  "$root/tools/wine_run.sh" --arch="$arch" "$@" 2>/dev/null
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  [ -n "$compositor" ] && kill "$compositor" 2>/dev/null
  true
' windowed_demo "$root" "$LITE_ARCH" "$build/bin/drive_window.exe" \
  "$(lite_wine winepath -w "$build/bin/lite_installer_local.exe")" --do-not-launch-browser "--fake-setup-script=$demo_script" \
  "--fake-setup-report=$win_demo_dir\\windowed_setup_report.json" | tr -d '\r')"
echo "$windowed" | sed -n 's/^Installer exit code: /Windowed installer exit code: /p'
if [ -f "$demo_dir/windowed_setup_report.json" ]; then
  echo "What the window showed after each of setup's reports:"
  /usr/bin/python3 -c '
import json, sys
for step in json.load(open(sys.argv[1])).get("steps", []):
    if "position" in step:
        print("  %6d ms %-12s bar %3d, \"%s\"" % (step["ms"], step["step"], step["position"], step["status"]))' \
    "$demo_dir/windowed_setup_report.json"
fi
for shot in welcome progress; do
  [ -f "$build/ui_artefacts/demo/$shot.png" ] && echo "Screenshot of the $shot screen: $build/ui_artefacts/demo/$shot.png"
done
curl -sf -X POST "http://127.0.0.1:$http_port/_control/shutdown" >/dev/null || true
