#!/usr/bin/env bash
# pitkit --pack in a cleaned environment without a display: a level (its name in any letter case)
# and a car packed from the game named or from the working folder's, each zip whole for unzip -t;
# an unknown item, a wrong kind word, missing operands and a zip inside the item end with status 2
# and a reason on standard error, leaving no file behind, as does a disk that fills.
# Usage: pack_test.sh PITKIT
set -uo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-pack-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work/out" "$work/err"; exit 1; }
run() { env -i PATH="$PATH" HOME="$work" "$1" --pack "${@:2}" >"$work/out" 2>"$work/err"; status=$?; }

game="$work/My Game"
mkdir -p "$game/levels/Blue Hill/parts" "$game/cars/Fox" "$game/gfx" "$work/zips"
printf '; Torvane .INF file structure\r\nNAME '"'"'Blue Hill'"'"'\r\n' >"$game/levels/Blue Hill/Blue Hill.inf"
head -c 100000 /dev/urandom >"$game/levels/Blue Hill/parts/terrain.bin"
printf 'BM' >"$game/gfx/BLUE HILL.BMP"
printf '{\r\nName "Fox"\r\n; Model Filenames\r\n}\r\n' >"$game/cars/Fox/parameters.txt"

run "$1" level 'blue hill' "$work/zips/level.zip" "$game"
[ "$status" -eq 0 ] && [ ! -s "$work/err" ] || fail "level: status $status"
grep -qxF "levels/Blue Hill: 3 files, $((100000 + $(stat -c %s "$game/levels/Blue Hill/Blue Hill.inf") + 2)) bytes packed into $work/zips/level.zip" "$work/out" ||
  fail "level: what it printed"
unzip -tqq "$work/zips/level.zip" >/dev/null || fail "level: unzip -t"
# Without GAME: the working folder's game.
cd "$game" || exit 1
run "$1" car Fox ../zips/car.zip
cd "$work" || exit 1
[ "$status" -eq 0 ] && unzip -tqq "$work/zips/car.zip" >/dev/null || fail "car from the working folder: status $status"

expect_refusal() {  # expect_refusal MESSAGE ARGS...
  local message=$1
  shift
  run "$PITKIT" "$@"
  [ "$status" -eq 2 ] && [ ! -s "$work/out" ] && grep -qxF "pitkit: $message" "$work/err" || fail "$* : status $status"
}
PITKIT=$1
usage='--pack takes level or car, NAME and OUT.zip, and optionally GAME (pitkit --help lists the options)'
expect_refusal "No level named Nowhere in $game" level Nowhere "$work/zips/x.zip" "$game"
expect_refusal "$usage" boat Fox "$work/zips/x.zip" "$game"
expect_refusal "$usage" level 'Blue Hill'
expect_refusal "Cannot write $game/levels/Blue Hill/parts/in.zip: it would lie inside $game/levels/Blue Hill, the folder being packed" \
  level 'Blue Hill' "$game/levels/Blue Hill/parts/in.zip" "$game"
expect_refusal "Cannot read $work/none: there is no such folder" car Fox "$work/zips/x.zip" "$work/none"
# A disk that fills half-way (a file-size limit of 50 KB): a reason, not a signal, and the older
# zip of that name as it was.
cp "$work/zips/level.zip" "$work/level.zip.before"
(
  ulimit -f 50
  run "$PITKIT" level 'Blue Hill' "$work/zips/level.zip" "$game"
  exit "$status"
)
status=$?
[ "$status" -eq 2 ] && grep -qxF "pitkit: Cannot write $work/zips/level.zip: File too large" "$work/err" || fail "a full disk: status $status"
cmp -s "$work/zips/level.zip" "$work/level.zip.before" || fail "a full disk: the older zip changed"
[ "$(ls -A "$work/zips" | tr '\n' ' ')" = "car.zip level.zip " ] || fail "files left: $(ls -A "$work/zips")"
[ "$(ls -A "$game/levels/Blue Hill/parts")" = "terrain.bin" ] || fail "files left in the level"
echo PASS
