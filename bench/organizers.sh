#!/usr/bin/env bash
# The level organizer's benchmarks: Go in the real window (offscreen) over 3,000 installed and 500
# uninstalled custom levels against the two bare searches, then Install and Uninstall's moves:
# MoveFolder on one disk against mv on a 20,000-file level, CopyFolder to another file system
# (a tmpfs at /dev/shm where there is one) against cp -a, the move across file systems against mv,
# and DeleteFolder against rm -rf. Prints the ratios.
# Usage: bench/organizers.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: organizers.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-7}
gen="$build/tools/make_sample_game"
go_bench="$build/bench/organizers_go_bench"
transfer_bench="$build/bench/organizers_transfer_bench"
for tool in "$gen" "$go_bench" "$transfer_bench"; do
  [ -x "$tool" ] || { echo "organizers.sh: $tool is not built" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "-- Go: 3000 installed and 500 uninstalled custom levels"
"$gen" "$work/game" --levels 3000 --uninstalled 500 >/dev/null
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' "$go_bench" "$work/game" "$runs"
rm -rf "$work/game"

echo "-- Moves, copies and deletes: a 20,000-file level and a 200 MB level tree"
level="$work/levels/bigtrack"
mkdir -p "$level/models" "$level/textures/hi" "$level/sounds"
# 160 files of 1 MB, 8 of 4 MB, and 2,000 small files, as a large level with its lettered files.
for i in $(seq 1 160); do head -c 1048576 /dev/urandom >"$level/textures/hi/tex$i.bmp"; done
for i in $(seq 1 8); do head -c 4194304 /dev/urandom >"$level/models/mesh$i.m"; done
for i in $(seq 1 2000); do printf 'part %d of the level\r\n' "$i" >"$level/sounds/s$i.txt"; done
echo "big tree: $(du -sm "$level" | cut -f1) MB in $(find "$level" | wc -l) entries"
# Another file system for the copies: /dev/shm when it is one, else the same disk.
other_parent=/dev/shm
if [ "$(stat -c %d "$other_parent" 2>/dev/null)" = "$(stat -c %d "$work")" ] || [ ! -w "$other_parent" ]; then
  other_parent=$work
fi
other=$(mktemp -d "$other_parent/pitkit-bench-XXXXXX")
trap 'rm -rf "$work" "$other"' EXIT
mkdir -p "$work/disk"
"$transfer_bench" "$work/disk" "$other" "$level" 5
