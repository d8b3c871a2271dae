# Helpers to run the program on a private virtual X display. Source this file; it defines
#   xvfb_start      starts Xvfb on a free display; sets XVFB_PID and DISPLAY
#   xvfb_stop       stops it again (safe to call twice)
#   wait_for_window TITLE SECONDS   prints the X window id of the program window named TITLE
#                   (one with a window class: toolkits keep hidden helper windows of the same name)
xvfb_start() {
  local fdfile
  fdfile=$(mktemp)
  # -displayfd makes Xvfb choose a free display number and write it once it accepts clients.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    if [ -s "$fdfile" ]; then break; fi
    if ! kill -0 "$XVFB_PID" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if [ ! -s "$fdfile" ]; then
    rm -f "$fdfile"
    echo "Xvfb did not start" >&2
    xvfb_stop
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fdfile" | tr -d '[:space:]')"
  rm -f "$fdfile"
}

xvfb_stop() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}

wait_for_window() {
  local title=$1 seconds=$2 i id
  for i in $(seq 1 $((seconds * 10))); do
    id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$title\": (\"" | awk 'NR == 1 {print $1}')
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
