#!/usr/bin/env bash
# pitkit --export-list and --compare-list between two games: a's list against b shows one item
# missing (and nothing else of a's), one different and one extra, with status 1; a level renamed in
# letter case only agrees; a game agrees with its own list (status 0, nothing printed), also when
# named by the working folder. A list that is no list, a newer one, a missing game or too many
# operands end with status 2 and a message, and nothing is written or left.
# Usage: list_tools_test.sh PITKIT
set -uo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-lists-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; cat out err 2>/dev/null; exit 1; }
run() { "$@" >out 2>err; status=$?; }
level() {  # GAME FOLDER NAME [DISPLAY]
  mkdir -p "$1/$2"
  printf "; Torvane .INF file structure\r\nNAME '%s'\r\n" "${4:-$3}" >"$1/$2/$3.inf"
  printf 'world of %s' "$3" >"$1/$2/$3.w"
}
car() {  # GAME FOLDER PAINT
  mkdir -p "$1/$2"
  printf '{\r\nName \t"%s"\r\n; Model Filenames\r\n}\r\n' "${2##*/}" >"$1/$2/parameters.txt"
  printf '%s' "$3" >"$1/$2/body.bmp"
}
for game in a b; do
  level "$game" levels/Kestrel Kestrel 'Kestrel Run'
  car "$game" cars/Viper red
done
level a levels/Ridge Ridge
cp -r a/levels/Ridge b/levels/RIDGE    # renamed in letter case only
mv b/levels/RIDGE/Ridge.inf b/levels/RIDGE/RIDGE.inf && mv b/levels/RIDGE/Ridge.w b/levels/RIDGE/ridge.W
level a "levels/Dune Sea" "Dune Sea" $'Dune\tSea'  # missing in b
car b cars/Viper blue                   # different
level b levels/Summit Summit            # extra in b
ln -s ../a/levels/Kestrel b/levels/Linked  # a link is no item
mkdir -p b/un_levels && cp -r "a/levels/Dune Sea" b/un_levels/

run "$1" --export-list a
[ "$status" -eq 0 ] && [ ! -s err ] || fail "--export-list a: status $status"
[ "$(head -1 out)" = '# pitkit installed list 1' ] || fail "no header"
grep -qP '^level\tDune Sea\t[0-9a-f]{64}\tDune\\tSea$' out || fail "the escaped name"
[ "$(wc -l <out)" -eq 5 ] || fail "expected four items"
mv out a.list
run "$1" --compare-list a.list b
[ "$status" -eq 1 ] || fail "--compare-list a.list b: status $status"
diff out - <<END || fail "the differences"
missing level Dune Sea
different car Viper
extra level Summit
END
# Each game agrees with its own list; b from its working folder.
(cd a && "$1" --export-list >../a2.list) && cmp a.list a2.list || fail "export from the working folder"
run "$1" --export-list b && mv out b.list
(cd b && "$1" --compare-list ../b.list >../out 2>../err); status=$?
[ "$status" -eq 0 ] && [ ! -s out ] && [ ! -s err ] || fail "b against its own list: status $status"

# What is no list, or no game, ends with status 2 and says why.
printf '# pitkit installed list 7\n' >newer.list
head -c 3000 /dev/urandom >garbage.list
before=$(find a b | sort; cat a.list b.list | sha256sum)
for args in "--compare-list garbage.list a" "--compare-list newer.list a" "--compare-list missing.list a" \
            "--compare-list a.list nowhere" "--export-list nowhere" "--export-list a b" "--compare-list" \
            "--compare-list a.list a b"; do
  run "$1" $args
  [ "$status" -eq 2 ] && [ ! -s out ] && grep -q '^pitkit: ' err || fail "$args: status $status"
done
grep -qF 'newer version' <("$1" --compare-list newer.list a 2>&1) || fail "a newer list is not named so"
[ "$before" = "$(find a b | sort; cat a.list b.list | sha256sum)" ] || fail "something changed"
echo PASS
