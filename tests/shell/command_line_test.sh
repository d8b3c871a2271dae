#!/usr/bin/env bash
# pitkit's command line in a cleaned environment: --help and --version print to standard output
# and end with status 0 without a display; a start with no display named, or with one nothing
# serves, says there is no display and ends with status 1 (no abort, no core file); an unknown
# option ends with status 2. Usage: command_line_test.sh PITKIT VERSION
set -uo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-cli-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; cat out err; exit 1; }
# Runs pitkit with ARGS in an environment of PATH, HOME and the NAME=VALUE words given first.
run() { env -i PATH="$PATH" HOME="$work" "$@" >out 2>err; status=$?; }

run "$1" --help
[ "$status" -eq 0 ] && [ ! -s err ] || fail "--help: status $status"
for option in 'FILE...' --find-games --help --version; do grep -qF -- "$option" out || fail "--help lacks $option"; done
run "$1" --version
[ "$status" -eq 0 ] && [ "$(cat out)" = "Torvane Pit Kit $2" ] || fail "--version: status $status"
display=77
while [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
for environment in "HOME=$work" "DISPLAY=:$display"; do
  run "$environment" "$1" archive.zip
  [ "$status" -eq 1 ] && grep -q '^pitkit: no display' err && [ ! -s out ] || fail "$environment: status $status"
done
# The toolkit's own -platform is taken, an unknown option is not.
run "$1" -platform offscreen --find-game
[ "$status" -eq 2 ] && grep -qxF 'pitkit: unknown option --find-game (pitkit --help lists the options)' err ||
  fail "an unknown option: status $status"
[ "$(ls -A)" = "$(printf 'err\nout')" ] || fail "files were left: $(ls -A)"
echo PASS
