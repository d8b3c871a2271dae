# Sourced by the shell tests that start the real program on a private Xvfb display: the display's
# helpers (scripts/xvfb-lib.sh), `need_tools NAME TOOL...`, which skips the test (status 77) when a
# tool is not installed, and the work folder $work. When the test ends, the program started as
# $program_pid is ended, the display stopped and the work folder removed.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb-lib.sh"

need_tools() {
  local test_name=$1 tool
  shift
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "$test_name: $tool is not installed (scripts/install-deps installs it)"
      exit 77
    fi
  done
}

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
