#!/usr/bin/env bash
# Pack: pitkit --pack of a big level (200 files, about 50 MB: half random bytes, half text, in a few
# sub-folders, with its gfx preview) and of a car, in a game of 100 other levels, against
# bsdtar -a -cf OUT.zip of the same folders (its zip default, deflate, as pitkit writes). Warm
# cache, median of RUNS each, interleaved. Prints the times and the ratios, and the start-up time
# of each program, which weighs on the small car.
# Usage: bench/pack.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: pack.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-7}
pitkit="$build/src/pitkit"
[ -x "$pitkit" ] || { echo "pack.sh: $pitkit is not built" >&2; exit 1; }
for tool in bsdtar python3; do
  command -v "$tool" >/dev/null || { echo "pack.sh: $tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
game="$work/game"
python3 - "$game" <<'PY'
import os, random, sys
random.seed(29)
game = sys.argv[1]
words = [w.encode() for w in "track lap corner grass kerb pit wall jump start finish ramp tyre".split()]
def info(path, name):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    open(path, "wb").write(b"; Torvane .INF file structure\r\nNAME '%s'\r\nSKY 'blue'\r\n" % name.encode())
for i in range(100):
    info("%s/levels/Other%03d/Other%03d.inf" % (game, i, i), "Other %d" % i)
level = game + "/levels/Grand Harbour"
info(level + "/Grand Harbour.inf", "Grand Harbour")
for i in range(199):
    folder = "%s/%s" % (level, ("models", "textures", "sounds", "")[i % 4])
    os.makedirs(folder, exist_ok=True)
    size = random.randint(100_000, 400_000)
    data = os.urandom(size) if i % 2 else b" ".join(random.choice(words) for _ in range(size // 5))[:size]
    open("%s/part%03d.bin" % (folder, i), "wb").write(data)
os.makedirs(game + "/gfx", exist_ok=True)
open(game + "/gfx/Grand Harbour.bmp", "wb").write(os.urandom(57654))
car = game + "/cars/Blue Fox"
os.makedirs(car, exist_ok=True)
open(car + "/parameters.txt", "wb").write(b'{\r\nName "Blue Fox"\r\n; Model Filenames\r\n}\r\n')
for i in range(12):
    open("%s/model%02d.m" % (car, i), "wb").write(os.urandom(random.randint(20_000, 300_000)))
PY
level_files=$(find "$game/levels/Grand Harbour" -type f | wc -l)
level_mb=$(($(du -sb "$game/levels/Grand Harbour" | cut -f1) >> 20))
echo "-- Pack: a level of $level_files files, $level_mb MB, and a car of 13 files"

now() { date +%s%N; }
median() { sort -n | awk '{v[NR]=$1} END{ if (NR % 2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2 }'; }
# time_ms COMMAND...: milliseconds the command takes, its zip removed first.
time_ms() {
  rm -f "$work/out.zip"
  local start end
  start=$(now)
  "$@" >/dev/null
  end=$(now)
  echo $(((end - start) / 1000000))
}
compare() {  # compare WHAT PITKIT_ARGS BSDTAR_PATHS
  local what=$1 kind=$2 name=$3
  shift 3
  # Once each to warm the cache, then interleaved.
  "$pitkit" --pack "$kind" "$name" "$work/out.zip" "$game" >/dev/null
  bsdtar -a -cf "$work/out.zip" -C "$game" "$@"
  : >"$work/ours"
  : >"$work/theirs"
  for _ in $(seq "$runs"); do
    time_ms "$pitkit" --pack "$kind" "$name" "$work/out.zip" "$game" >>"$work/ours"
    time_ms bsdtar -a -cf "$work/out.zip" -C "$game" "$@" >>"$work/theirs"
  done
  local ours theirs
  ours=$(median <"$work/ours")
  theirs=$(median <"$work/theirs")
  awk -v w="$what" -v o="$ours" -v t="$theirs" \
    'BEGIN { printf "%-6s pitkit --pack %6.0f ms   bsdtar -a -cf %6.0f ms   ratio %.2f (target <= 1.20)\n", w, o, t, o / t }'
}
compare level level 'Grand Harbour' 'levels/Grand Harbour' 'gfx/Grand Harbour.bmp'
compare car car 'Blue Fox' 'cars/Blue Fox'
# What each program takes to start and end, part of both times above: pitkit loads the window
# toolkit's libraries also for its command-line tools.
: >"$work/ours"
: >"$work/theirs"
for _ in $(seq "$runs"); do
  time_ms "$pitkit" --version >>"$work/ours"
  time_ms bsdtar --version >>"$work/theirs"
done
echo "start  pitkit --version $(median <"$work/ours") ms   bsdtar --version $(median <"$work/theirs") ms"
