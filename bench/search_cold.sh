#!/usr/bin/env bash
# Times the search component over a game tree that is not in memory (the page cache dropped before
# every run) against the single-threaded limit (bench/search_limit.c: getdents64 listing and
# marker reads of *.inf files) and rg -j8, at 3,000 and 20,000 custom levels, and prints the ratios
# of each run and their medians. Then the same over a warm tree, where reading ahead must not cost.
# Dropping the cache needs root; without it the cold part says so and is skipped.
# Usage: bench/search_cold.sh BUILD_DIR [RUNS]   (PITKIT_BENCH_DIR: where the trees are written)
set -euo pipefail
build=$(cd "${1:?usage: search_cold.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-5}
gen="$build/tools/make_sample_game"
bench="$build/bench/search_bench"
limit="$build/bench/search_limit"
for tool in "$gen" "$bench" "$limit"; do
  [ -x "$tool" ] || { echo "search_cold.sh: $tool is not built" >&2; exit 1; }
done
command -v rg >/dev/null || { echo "search_cold.sh: rg (ripgrep) is not installed" >&2; exit 1; }

work=$(mktemp -d "${PITKIT_BENCH_DIR:-${TMPDIR:-/tmp}}/pitkit-cold-XXXXXX")
trap 'rm -rf "$work"' EXIT
marker="Torvane .INF file structure"

cold=yes
if [ "$(stat -f -c %T "$work")" = tmpfs ]; then
  echo "search_cold.sh: $work is on tmpfs, which has no disk behind it: cold runs skipped (set PITKIT_BENCH_DIR)"
  cold=no
elif ! { sync && echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
  echo "search_cold.sh: the page cache cannot be dropped here (needs root): cold runs skipped"
  cold=no
fi

ours() { "$bench" levels --mask '*.inf' --text "$marker" >/dev/null; }
alone() { "$bench" levels --mask '*.inf' --text "$marker" --read-ahead 0 >/dev/null; }
floor() { "$limit" levels "$marker" >/dev/null; }
rg8() { rg -j8 -l -i -F -g '*.inf' "$marker" levels >/dev/null; }
tools=(ours alone floor rg8)

# Microseconds of wall time of one run; `drop` empties the page cache first.
time_us() {
  local start end
  [ "$1" = drop ] && { sync; echo 3 >/proc/sys/vm/drop_caches; }
  start=${EPOCHREALTIME/./}; "$2"; end=${EPOCHREALTIME/./}
  echo $((end - start))
}
median() { sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# One line per run: times and ratios; the medians of each column at the end.
measure() {  # drop|keep RUNS LABEL
  local mode=$1 n=$2 label=$3 i k f
  : >"$work/rows"
  for ((i = 0; i < n; i++)); do
    declare -A t=()
    for ((k = 0; k < ${#tools[@]}; k++)); do  # the order turns from run to run
      f=${tools[$(((i + k) % ${#tools[@]}))]}
      t[$f]=$(time_us "$mode" "$f")
    done
    echo "${t[ours]} ${t[alone]} ${t[floor]} ${t[rg8]}" >>"$work/rows"
  done
  awk -v label="$label" '
    { o[NR] = $1; a[NR] = $2; f[NR] = $3; r[NR] = $4
      printf "  %s run %d: ours %.3f s, walk alone %.3f s, limit %.3f s, rg -j8 %.3f s; ours/limit %.2f, ours/rg -j8 %.2f, alone/limit %.2f\n",
        label, NR, $1 / 1e6, $2 / 1e6, $3 / 1e6, $4 / 1e6, $1 / $3, $1 / $4, $2 / $3 }' "$work/rows"
  local mo ma mf mr rf rr raf
  mo=$(awk '{ print $1 }' "$work/rows" | median); ma=$(awk '{ print $2 }' "$work/rows" | median)
  mf=$(awk '{ print $3 }' "$work/rows" | median); mr=$(awk '{ print $4 }' "$work/rows" | median)
  rf=$(awk '{ printf "%.2f\n", $1 / $3 }' "$work/rows" | median)
  rr=$(awk '{ printf "%.2f\n", $1 / $4 }' "$work/rows" | median)
  raf=$(awk '{ printf "%.2f\n", $2 / $3 }' "$work/rows" | median)
  printf "%s, median of %d: ours %.3f s, walk alone %.3f s, limit %.3f s, rg -j8 %.3f s\n" \
    "$label" "$n" "$(awk -v x="$mo" 'BEGIN { print x / 1e6 }')" "$(awk -v x="$ma" 'BEGIN { print x / 1e6 }')" \
    "$(awk -v x="$mf" 'BEGIN { print x / 1e6 }')" "$(awk -v x="$mr" 'BEGIN { print x / 1e6 }')"
  printf "%s ratios (median of the runs' ratios): ours/limit %s, ours/rg -j8 %s, walk alone/limit %s\n" "$label" "$rf" "$rr" "$raf"
}

for levels in 3000 20000; do
  rm -rf "$work/game"
  "$gen" "$work/game" --levels "$levels" >/dev/null
  cd "$work/game"
  n1=$("$bench" levels --mask '*.inf' --text "$marker" --list | wc -l)
  n2=$("$limit" levels "$marker")
  n3=$(rg -j8 -l -i -F -g '*.inf' "$marker" levels | wc -l)
  echo "tree: $levels custom levels, $(find levels | wc -l) entries under levels; files found: ours $n1, limit $n2, rg -j8 $n3"
  if [ "$cold" = yes ]; then
    measure drop "$runs" "cold $levels"
    echo "targets: cold ours/limit <= 0.6, ours/rg -j8 <= 1.2"
  fi
  if [ "$levels" = 3000 ]; then
    for f in "${tools[@]}"; do $f; $f; done  # warm the cache
    measure keep 11 "warm $levels"
    echo "target: warm ours/limit <= 1.15"
  fi
  cd "$work"
done
