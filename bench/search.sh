#!/usr/bin/env bash
# Times the search component against find+grep and rg -j1 on a generated game tree of 3,000
# custom levels with their lettered files (warm cache, one run, interleaved), prints the medians
# and the ratios, then compares the walk's peak memory at 1,000 and 10,000 levels.
# Usage: bench/search.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: search.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-15}
gen="$build/tools/make_sample_game"
bench="$build/bench/search_bench"
for tool in "$gen" "$bench"; do
  [ -x "$tool" ] || { echo "search.sh: $tool is not built" >&2; exit 1; }
done
command -v rg >/dev/null || { echo "search.sh: rg (ripgrep) is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
marker="Torvane .INF file structure"

"$gen" "$work/game" --levels 3000 >/dev/null
entries=$(find "$work/game/levels" | wc -l)
cd "$work/game"

component() { "$bench" levels --mask '*.inf' --text "$marker" >/dev/null; }
findgrep() { find levels -name '*.inf' -print0 | xargs -0 grep -l -i -F "$marker" >/dev/null; }
ripgrep() { rg -j1 -l -i -F -g '*.inf' "$marker" levels >/dev/null; }

# All three must find the same files.
n1=$("$bench" levels --mask '*.inf' --text "$marker" --list | wc -l)
n2=$(find levels -name '*.inf' -print0 | xargs -0 grep -l -i -F "$marker" | wc -l)
n3=$(rg -j1 -l -i -F -g '*.inf' "$marker" levels | wc -l)
echo "tree: 3000 custom levels, $entries entries under levels; files found: component $n1, find+grep $n2, rg $n3"

# Microseconds of wall time of one run of a function.
time_us() {
  local start=${EPOCHREALTIME/./} ; "$@"; local end=${EPOCHREALTIME/./}
  echo $((end - start))
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

for f in component findgrep ripgrep; do $f; $f; done  # warm the cache
: >"$work/t_component"; : >"$work/t_findgrep"; : >"$work/t_ripgrep"
for ((i = 0; i < runs; i++)); do
  for f in component findgrep ripgrep; do time_us $f >>"$work/t_$f"; done
done
mc=$(median <"$work/t_component"); mf=$(median <"$work/t_findgrep"); mr=$(median <"$work/t_ripgrep")
awk -v c="$mc" -v f="$mf" -v r="$mr" -v n="$runs" 'BEGIN {
  printf "median wall time over %d runs: component %.1f ms, find+grep %.1f ms, rg -j1 %.1f ms\n", n, c / 1000, f / 1000, r / 1000
  printf "ratio component / find+grep: %.2f (target <= 1.0)\n", c / f
  printf "ratio component / rg -j1:    %.2f (target <= 1.1)\n", c / r
}'

# Peak memory of the walk: the whole process's maximum resident set, at two tree sizes.
cd "$work"
rm -rf game
for levels in 1000 10000; do
  "$gen" "$work/m$levels" --levels "$levels" --uninstalled 0 --cars 0 --garage 0 >/dev/null
  "$bench" "$work/m$levels/levels" >/dev/null  # warm
  rss=$(/usr/bin/time -f '%M' "$bench" "$work/m$levels/levels" 2>&1 >/dev/null | tail -1)
  echo "peak memory at $levels levels ($(find "$work/m$levels/levels" | wc -l) entries): $rss KiB"
  rm -rf "$work/m$levels"
done
