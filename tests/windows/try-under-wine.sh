#!/usr/bin/env bash
# The Windows program as a player meets it, under Wine on an X display (Xvfb) with Qt's windows
# platform plugin: a sample game is made by make_sample_game.exe, every page and window is
# grabbed by grab_windows.exe, then pitkit.exe itself is started in the game folder and the whole
# screen is photographed; last the window tests that install, uninstall and delete a level and
# install an archive run on that display. Pictures go to BUILD/screenshots-wine/. Not part of
# CTest: it is for looking at.
# Usage: try-under-wine.sh [BUILD_DIR]   (after `make windows-test`, which builds both tools)
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-$HERE/../../build-windows}" && pwd)
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=$BUILD/wineprefix
out=$BUILD/screenshots-wine
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for n in $(seq 121 150); do
  [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ] && { display=:$n; break; }
done
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
sleep 1
[ -d "$WINEPREFIX" ] || timeout 300 "$WINE" wineboot -i >/dev/null 2>&1

game="$work/Games/Torvane"
mkdir -p "$out" "$work/Games"
rm -f "$out"/*.png
timeout 300 "$WINE" "$BUILD/make_sample_game.exe" "$game" --levels 6 --uninstalled 3 --cars 4 --garage 2 >/dev/null
timeout 300 "$WINE" "$BUILD/grab_windows.exe" "$game" "$out"
echo "try-under-wine: the pages and windows: $(ls "$out" | tr '\n' ' ')"

# The program itself, started in the game folder as a double click in it would.
(cd "$game" && timeout 120 "$WINE" "$BUILD/pitkit.exe" >/dev/null 2>&1 &)
sleep 15
import -window root "$out/wine-desktop.png"
"$WINESERVER" -k >/dev/null 2>&1 || true
echo "try-under-wine: the screen with pitkit.exe: $out/wine-desktop.png"

# A level installed, uninstalled and deleted, and an archive installed, through the window, on the
# windows platform plugin: the window tests of these, run on the display.
for test in level_transfer_tests shell_archive_drop_test; do
  timeout 300 "$WINE" "$BUILD/$test.exe" -platform windows -o "$(winepath -w "$out/$test.txt" 2>/dev/null || echo "$out/$test.txt"),txt" || true
  echo "try-under-wine: $test on the windows platform: $(grep '^Totals' "$out/$test.txt")"
done
