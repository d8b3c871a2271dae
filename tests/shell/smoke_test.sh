#!/usr/bin/env bash
# Smoke test: starts the real program on a private Xvfb display in a freshly generated game tree
# (its working directory), checks that the main window appears and that Pitkit.ini is written
# there with both lines naming that folder, then closes it. Usage: smoke_test.sh PITKIT GENERATOR
set -euo pipefail
pitkit=$1
generator=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/xvfb-lib.sh"

for tool in Xvfb xwininfo; do
  if ! command -v "$tool" >/dev/null; then
    echo "smoke test: $tool is not installed (scripts/install-deps installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
program_pid=
finish() {
  if [ -n "$program_pid" ]; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  xvfb_stop
  rm -rf "$work"
}
trap finish EXIT

game="$work/game folder"
"$generator" "$game" --levels 3 --cars 2 >/dev/null
game=$(cd "$game" && pwd -P)

xvfb_start
# The real X11 platform on that display, whatever the caller chose (the test run uses offscreen).
export QT_QPA_PLATFORM=xcb
(cd "$game" && exec "$pitkit") >"$work/pitkit.log" 2>&1 &
program_pid=$!

if ! window=$(wait_for_window "Torvane Pit Kit" 30); then
  echo "FAIL: the main window did not appear"
  cat "$work/pitkit.log"
  exit 1
fi
echo "main window $window is shown"

expected=$(printf 'PitkitDirectory:%s\r\nTorvaneDirectory:%s\r\n' "$game" "$game")
actual=$(cat "$game/Pitkit.ini" 2>/dev/null || true)
if [ "$actual" != "$expected" ]; then
  echo "FAIL: Pitkit.ini does not name the game folder on both lines"
  printf 'expected: %q\nactual:   %q\n' "$expected" "$actual"
  exit 1
fi
echo "Pitkit.ini names $game on both lines"

# Closing: the program ends on request and has written nothing more.
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=
if [ "$(cat "$game/Pitkit.ini")" != "$expected" ]; then
  echo "FAIL: Pitkit.ini changed on the way out"
  exit 1
fi
echo "PASS"
