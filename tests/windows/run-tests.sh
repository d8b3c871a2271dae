#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: one Wine prefix made for the run, one X display
# (Xvfb) for every Wine process of it, each program under a timeout. Prints the time of each step.
# Usage: run-tests.sh BUILD_DIR [ctest arguments...]
set -euo pipefail
BUILD=$(cd "$1" && pwd); shift
HERE=$(cd "$(dirname "$0")" && pwd)
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
export WINE WINEDEBUG=-all
# No Mono or Gecko: nothing of the program needs them, and Wine would ask to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$BUILD/wineprefix

step_start=$SECONDS
took() { echo "windows-test: $1 took $((SECONDS - step_start)) s"; step_start=$SECONDS; }

xvfb_pid=""
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# One display for the whole run: a Wine process started without one makes later windowed ones hang.
display=""
for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "windows-test: no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

rm -rf "$WINEPREFIX"
timeout 300 "$WINE" wineboot -i >/dev/null 2>&1 || { echo "windows-test: wineboot failed" >&2; exit 1; }
timeout 60 "$WINESERVER" -w || true
took "making the Wine prefix"

# Every test program finds its DLLs and Qt plugins beside it, as the program does.
bash "$HERE/../../desktop/windows/deploy-dlls.sh" "${WINDOWS_DEPS_DIR:-$HERE/../../build-windows-deps}" "$BUILD"/*.exe
# Qt's offscreen platform on Windows reads its fonts from lib/fonts beside the programs (it has
# no fontconfig): the DejaVu fonts the Linux tests see too.
mkdir -p "$BUILD/lib/fonts"
cp -u /usr/share/fonts/truetype/dejavu/*.ttf "$BUILD/lib/fonts/"
took "copying the DLLs and fonts"

cd "$BUILD"
status=0
# One program at a time: the window tests share the user's one named pipe of the archive
# hand-over, where on Linux each has a runtime folder of its own.
ctest --output-on-failure -j1 "$@" || status=$?
took "the tests"
exit $status
