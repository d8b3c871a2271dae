#!/usr/bin/env bash
# Start-up benchmark: time from launch until the main window is shown, and peak memory, of the
# program (started in a generated sample game) against a minimal Qt Widgets program that opens one
# empty window, and against a Qt window that holds only the frame of a tabbed main window (menu bar,
# six empty tabs, status bar). All run alternately on one private Xvfb display; medians and ratios
# are printed.
# Usage: bench/startup.sh BUILD_DIR [REPETITIONS]
set -euo pipefail
build=${1:-build}
reps=${2:-9}
root=$(cd "$(dirname "$0")/.." && pwd)
case "$build" in /*) ;; *) build="$root/$build" ;; esac
probe="$build/bench/startup_probe"
minimal="$build/bench/startup_minimal"
frame="$build/bench/startup_frame"
pitkit="$build/src/pitkit"
for f in "$probe" "$minimal" "$frame" "$pitkit" "$build/tools/make_sample_game"; do
  [ -x "$f" ] || { echo "startup.sh: $f is missing (build first)" >&2; exit 1; }
done

source "$root/scripts/xvfb-lib.sh"
work=$(mktemp -d)
trap 'xvfb_stop; rm -rf "$work"' EXIT
"$build/tools/make_sample_game" "$work/game" >/dev/null
xvfb_start
# The real X11 platform on that display, whatever the caller chose (the test run uses offscreen).
export QT_QPA_PLATFORM=xcb
export QT_LOGGING_RULES='*=false'

median() { sort -n | awk '{v[NR]=$1} END{ if (NR % 2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2 }'; }

: >"$work/pitkit.txt"
: >"$work/minimal.txt"
: >"$work/frame.txt"
# One warm-up each (file cache, font cache), then alternate so drift hits both alike.
(cd "$work/game" && "$probe" "Torvane Pit Kit" "$pitkit" >/dev/null)
"$probe" "Minimal Window" "$minimal" >/dev/null
"$probe" "Frame Window" "$frame" >/dev/null
for _ in $(seq 1 "$reps"); do
  (cd "$work/game" && "$probe" "Torvane Pit Kit" "$pitkit") >>"$work/pitkit.txt"
  "$probe" "Minimal Window" "$minimal" >>"$work/minimal.txt"
  "$probe" "Frame Window" "$frame" >>"$work/frame.txt"
done

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" "$2" | median; }
p_ms=$(field startup_ms "$work/pitkit.txt");  m_ms=$(field startup_ms "$work/minimal.txt")
p_kb=$(field peak_kib "$work/pitkit.txt");    m_kb=$(field peak_kib "$work/minimal.txt")
f_ms=$(field startup_ms "$work/frame.txt")

echo "start-up until the main window is shown, median of $reps (Xvfb, sample game):"
printf '  pitkit          %8.1f ms\n  minimal Qt app  %8.1f ms\n' "$p_ms" "$m_ms"
printf '  frame-only Qt   %8.1f ms  (menu bar, six empty tabs, status bar)\n' "$f_ms"
awk -v a="$p_ms" -v b="$m_ms" 'BEGIN{r=a/b; printf "  ratio pitkit / minimal Qt window: start-up time %.2f x (target <= 1.5 x) %s\n", r, (r<=1.5?"OK":"OVER")}'
awk -v a="$f_ms" -v b="$m_ms" -v p="$p_ms" 'BEGIN{printf "  ratio frame-only Qt window / minimal Qt window: %.2f x; pitkit / frame-only: %.2f x\n", a/b, p/a}'
echo "peak memory (VmHWM) once shown, median of $reps:"
printf '  pitkit          %8d KiB\n  minimal Qt app  %8d KiB\n' "${p_kb%.*}" "${m_kb%.*}"
awk -v a="$p_kb" -v b="$m_kb" 'BEGIN{r=a/b; printf "  ratio pitkit / minimal Qt window: peak memory %.2f x (target <= 1.5 x) %s\n", r, (r<=1.5?"OK":"OVER")}'
