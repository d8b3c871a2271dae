#!/usr/bin/env bash
# Makes the screenshots of the six pages, the two organizers in a window as large as the screen and
# the two help windows from the real windows, grabbed offscreen on a 1600 x 1000 screen with the
# program started in a freshly generated sample game:
#   docs/screenshots/*.png          the README's and the metainfo's pictures
#   BUILD/screenshots/scale2/*.png  the same at scale factor 2
#   BUILD/screenshots/dark/*.png    the same in a dark palette
# Usage: docs/screenshots/make-screenshots.sh [BUILD]   (after a build; `make screenshots` does both)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
grab="$build/tools/grab_windows"
[ -x "$grab" ] || { echo "make-screenshots: $grab is missing; build first" >&2; exit 1; }

# A fixed, readable game folder: its path is shown on three pages.
work="${TMPDIR:-/tmp}/pitkit-screenshots-$(id -u)"
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
game="$work/Games/Torvane"

export QT_QPA_PLATFORM="offscreen:configfile=$work/screen.json" QT_LOGGING_RULES='qt.qpa.*=false' \
  XDG_RUNTIME_DIR="$work/runtime"
# Each run starts in a freshly generated game, so that every set shows the same.
run() {  # OUT-FOLDER [--dark]
  rm -rf "$work"
  mkdir -p "$work/runtime" "$1"
  chmod 700 "$work/runtime"
  # A common desktop screen, whose windows have frames; at scale factor 2 it is 800 x 500 to the program.
  cat >"$work/screen.json" <<'EOF'
{ "windowFrameMargins": true,
  "screens": [ { "name": "Screen", "x": 0, "y": 0, "width": 1600, "height": 1000,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] }
EOF
  "$build/tools/make_sample_game" "$game" --levels 6 --uninstalled 3 --cars 4 --garage 2 >/dev/null
  rm -f "$1"/*.png
  # The offscreen platform says once per window that it cannot pass size hints on.
  "$grab" "$game" "$@" 2> >(grep -v 'does not support propagateSizeHints' >&2)
}
run "$root/docs/screenshots"
QT_SCALE_FACTOR=2 run "$build/screenshots/scale2"
run "$build/screenshots/dark" --dark
wait
echo "make-screenshots: docs/screenshots/, $build/screenshots/scale2/ and $build/screenshots/dark/"
