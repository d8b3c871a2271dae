#!/usr/bin/env bash
# pitkit --check without a display: a clean game prints nothing and ends with 0 (also as the
# working folder's game), a game with problems prints one line each in the set order and ends
# with 1, a check that cannot run says why on standard error and ends with 2.
# Usage: check_command_line_test.sh PITKIT
set -uo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-check-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; cat out err; exit 1; }
run() { env -i PATH="$PATH" HOME="$work" "$@" >out 2>err; status=$?; }
info() { mkdir -p "$(dirname "$1")" && printf "; Torvane .INF file structure\r\nNAME '%s'\r\n" "$2" >"$1"; }

game="$work/My Game"
info "$game/levels/Clean/Clean.inf" Clean
mkdir -p "$game/cars"
run "$1" --check "$game"
[ "$status" -eq 0 ] && [ ! -s out ] && [ ! -s err ] || fail "a clean game: status $status"
(cd "$game" && run "$1" --check)
[ "$status" -eq 0 ] && [ ! -s out ] || fail "the working folder's game: status $status"

info "$game/levels/Straße Eins/straße eins.inf" 'Straße Eins'
info "$game/levels/Broken/Broken.inf" Broken
mkdir -p "$game/gfx" && printf 'BM garbage' >"$game/gfx/broken.bmp"
mkdir -p "$game/cars/Lost"
printf '{\r\nName "Lost"\r\n; Model Filenames\r\nTPAGE "cars\\Lost\\car.bmp"\r\n}\r\n' >"$game/cars/Lost/parameters.txt"
run "$1" --check "$game"
expected="level installed Broken: preview gfx/broken.bmp does not decode (Bitmap image is not valid)
level installed Straße Eins: info file straße eins.inf is spelt differently from its folder
car installed Lost: texture page cars\\Lost\\car.bmp does not exist"
[ "$status" -eq 1 ] && [ "$(cat out)" = "$expected" ] && [ ! -s err ] || fail "problems: status $status"
# A game named relative to the working folder is the same game.
(cd "$work" && run "$1" --check "My Game")
[ "$status" -eq 1 ] && [ "$(cat out)" = "$expected" ] || fail "a relative game folder: status $status"

for bad in "$work/none" "$game/cars" "$game $game"; do
  # shellcheck disable=SC2086
  if [ "$bad" = "$game $game" ]; then run "$1" --check "$game" "$game"; else run "$1" --check "$bad"; fi
  [ "$status" -eq 2 ] && [ ! -s out ] && grep -q '^pitkit: ' err || fail "$bad: status $status"
done
grep -qxF "pitkit: --check takes one game folder at the most" err || fail "two games"
run "$1" --check "$game/cars"
grep -qxF "pitkit: $game/cars is not a game folder: it has no levels folder" err || fail "no levels"
echo PASS
