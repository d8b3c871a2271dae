#!/usr/bin/env bash
# Smoke test: starts the real program on a private Xvfb display in a freshly generated game tree
# (its working directory), checks that the main window appears and that Pitkit.ini is written
# there with both lines naming that folder, then closes it. Usage: smoke_test.sh PITKIT GENERATOR
set -euo pipefail
pitkit=$1
generator=$2
source "$(dirname "$0")/../support/program_test.sh"
need_tools "smoke test" Xvfb xwininfo

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

# The file-size signal (25) is ignored, so a write past the limit fails with an error instead.
sigign=$(awk '/^SigIgn:/ { print $2 }' "/proc/$program_pid/status")
if (( ((16#$sigign >> 24) & 1) == 0 )); then
  echo "FAIL: the program does not ignore SIGXFSZ (SigIgn $sigign)"
  exit 1
fi
echo "SIGXFSZ is ignored"

if command -v xdotool >/dev/null; then
  # The help window opens from the menu with its own caption alone, and the program ends
  # through "&File" > "&Exit". Keys are sent again while nothing has happened yet, so a slow
  # machine does not lose them.
  menu_pick() {  # MENU-KEY ITEM-KEY
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key --window "$window" "alt+$1"
    sleep 0.5
    xdotool key "$2"
  }
  help_shown() { xwininfo -root -tree 2>/dev/null | grep -F '"Help' >/dev/null; }
  for _ in 1 2 3; do
    menu_pick h r
    for _ in $(seq 1 30); do help_shown && break; sleep 0.1; done
    help_shown && break
  done
  if ! wait_for_window "Help" 5 >/dev/null; then
    echo "FAIL: no window captioned exactly \"Help\" after Help > Renamer"
    xwininfo -root -tree | grep -F '("' || true
    exit 1
  fi
  echo "the help window is captioned \"Help\""
  for _ in 1 2 3; do
    xdotool key Escape
    for _ in $(seq 1 30); do help_shown || break; sleep 0.1; done
    help_shown || break
  done
  for _ in 1 2 3; do
    menu_pick f e
    for _ in $(seq 1 50); do
      kill -0 "$program_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -0 "$program_pid" 2>/dev/null || break
  done
  if kill -0 "$program_pid" 2>/dev/null; then
    echo "FAIL: File > Exit did not end the program"
    exit 1
  fi
  status=0
  wait "$program_pid" || status=$?
  program_pid=
  if [ "$status" -ne 0 ]; then
    echo "FAIL: the program ended with status $status"
    cat "$work/pitkit.log"
    exit 1
  fi
  echo "File > Exit ended the program"
else
  echo "xdotool is not installed: the menus are not tried"
  kill "$program_pid"
  wait "$program_pid" 2>/dev/null || true
  program_pid=
fi
# Closing has written nothing more.
if [ "$(cat "$game/Pitkit.ini")" != "$expected" ]; then
  echo "FAIL: Pitkit.ini changed on the way out"
  exit 1
fi
echo "PASS"
