#!/usr/bin/env bash
# pitkit's command line in a cleaned environment: --help and --version print to standard output
# and end with status 0 without a display; a start with no display named, or with one that cannot
# be opened, says there is no display and ends with status 1 (not with an abort); an unknown
# option ends with status 2. Usage: command_line_test.sh PITKIT VERSION
set -uo pipefail
pitkit=$1
version=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-cli-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; cat out err; exit 1; }
# Runs a command line (NAME=VALUE first for the environment) in an environment of PATH and HOME only.
run() {
  env -i PATH="$PATH" HOME="$work" "$@" >out 2>err
  status=$?
}

run "$pitkit" --help
[ "$status" -eq 0 ] || fail "--help ended with status $status"
for option in 'FILE...' --find-games --help --version; do
  grep -qF -- "$option" out || fail "--help does not name $option"
done
[ ! -s err ] || fail "--help wrote to the error output"

run "$pitkit" --version
[ "$status" -eq 0 ] && [ "$(cat out)" = "Torvane Pit Kit $version" ] || fail "--version: status $status"

# No display named; then an X display that nothing serves.
display=77
while [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
for environment in "HOME=$work" "DISPLAY=:$display"; do
  run "$environment" "$pitkit" archive.zip
  [ "$status" -eq 1 ] || fail "with $environment the start ended with status $status, not 1"
  grep -q '^pitkit: no display' err || fail "with $environment nothing says there is no display"
  [ ! -s out ] || fail "with $environment the start wrote to the standard output"
done

run QT_QPA_PLATFORM=offscreen "$pitkit" --find-game
[ "$status" -eq 2 ] && grep -qF 'unknown option --find-game' err || fail "an unknown option: status $status"
[ -z "$(ls -A | grep -v '^out$\|^err$')" ] || fail "files were left: $(ls -A)"
echo PASS
