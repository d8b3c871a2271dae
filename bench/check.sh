#!/usr/bin/env bash
# pitkit --check over a 3,000-level game (an info file, a world file of 40 KB, a 20 KB and a 30 KB
# data file and a picture per level, a 64 x 48 preview in gfx per level) against
# `find GAME -type f | xargs sha256sum`, which reads every byte once. Warm cache, median of RUNS.
# Prints the times and the ratio (target: at most 1.2).
# Usage: bench/check.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: check.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-5}
pitkit="$build/src/pitkit"
[ -x "$pitkit" ] || { echo "check.sh: $pitkit is not built" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
game="$work/game"
mkdir -p "$game/levels" "$game/cars" "$game/gfx"

# A 64 x 48 24-bit BMP: the headers, then the grey rows.
preview="$work/preview.bmp"
{
  printf 'BM\x36\x24\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00\x40\x00\x00\x00\x30\x00\x00\x00'
  printf '\x01\x00\x18\x00\x00\x00\x00\x00\x00\x24\x00\x00\x13\x0b\x00\x00\x13\x0b\x00\x00'
  printf '\x00\x00\x00\x00\x00\x00\x00\x00'
  head -c 9216 /dev/zero | tr '\0' '\200'
} >"$preview"
world=$(head -c 40000 /dev/zero | tr '\0' 'w')
field=$(head -c 20000 /dev/zero | tr '\0' 'f')
picture=$(head -c 30000 /dev/zero | tr '\0' 'p')
for i in $(seq -w 1 3000); do
  name="track$i"
  dir="$game/levels/$name"
  mkdir "$dir"
  printf "; Torvane .INF file structure\r\nNAME '%s'\r\nSKY 'blue'\r\n" "Track $i" >"$dir/$name.inf"
  printf '%s' "$world" >"$dir/$name.w"
  printf '%s' "$field" >"$dir/$name.fld"
  printf '%s' "$picture" >"$dir/${name}a.bmq"
done
find "$game/levels" -maxdepth 1 -mindepth 1 -printf '%f\n' | while read -r name; do cp "$preview" "$game/gfx/$name.bmp"; done
echo "game: $(find "$game" -type f | wc -l) files, $(du -sm "$game" | cut -f1) MB"

# The median wall time in milliseconds of RUNS runs of the command (after one warm-up run).
median_ms() {
  "$@" >/dev/null 2>&1 || true
  local times=()
  for _ in $(seq 1 "$runs"); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}
floor() { find "$1" -type f -print0 | xargs -0 sha256sum >/dev/null; }

"$pitkit" --check "$game" >/dev/null || { echo "check.sh: the generated game has problems" >&2; exit 1; }
check_ms=$(median_ms "$pitkit" --check "$game")
floor_ms=$(median_ms floor "$game")
echo "pitkit --check: ${check_ms} ms"
echo "find | xargs sha256sum: ${floor_ms} ms"
awk -v a="$check_ms" -v b="$floor_ms" 'BEGIN { printf "ratio: %.2f x (target 1.2 x)\n", a / (b > 0 ? b : 1) }'
