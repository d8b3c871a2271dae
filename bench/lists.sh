#!/usr/bin/env bash
# The installed list: pitkit --export-list over a game of 3,000 custom levels (an info file, a
# readme and four files of 16 to 64 KB each, about 450 MB) against find GAME -type f | xargs
# sha256sum, which reads every byte once as the fingerprints must. Both with the files in memory
# (one run first to warm the cache), the median of RUNS runs each. Prints the ratio.
# Usage: bench/lists.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: lists.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-5}
gen="$build/tools/make_sample_game"
pitkit="$build/src/pitkit"
[ -x "$pitkit" ] || pitkit="$build/pitkit"
for tool in "$gen" "$pitkit"; do
  [ -x "$tool" ] || { echo "lists.sh: $tool is not built" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
game="$work/game"
"$gen" "$game" --levels 3000 --cars 0 --no-level-files >/dev/null
head -c 65536 /dev/urandom >"$work/pool"
sizes=(16384 24576 40960 65536)
n=0
for level in "$game"/levels/*/; do
  name=$(basename "$level")
  [ -e "$level/$name.inf" ] || continue  # the stock levels keep their own files
  i=0
  for suffix in .w .ncp a.bmp .taz; do
    head -c "${sizes[(n + i) % 4]}" "$work/pool" >"$level/$name$suffix"
    i=$((i + 1))
  done
  n=$((n + 1))
done
echo "game: $n levels, $(find "$game" -type f | wc -l) files, $(du -sm "$game" | cut -f1) MB"

# The median of RUNS timings of a command, in seconds.
median() {
  local times=() start end
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'
}
hash_all() { find "$game" -type f -print0 | xargs -0 sha256sum; }
export_list() { "$pitkit" --export-list "$game"; }

hash_all >/dev/null && export_list >/dev/null  # warm the cache
listed=$(export_list | wc -l)
[ "$listed" -gt 3000 ] || { echo "lists.sh: the list holds $listed lines" >&2; exit 1; }
sha=$(median hash_all)
list=$(median export_list)
echo "find | xargs sha256sum: ${sha} s"
echo "pitkit --export-list:   ${list} s"
echo "ratio (export / sha256sum): $(awk -v a="$list" -v b="$sha" 'BEGIN { printf "%.2f", a / b }')"
