#!/usr/bin/env bash
# Writes the portable zip: one folder "torvane-pitkit" with pitkit.exe, its DLLs and plugins, the
# licence and a short readme, with Windows line ends on the texts.
# Usage: make-zip.sh PROGRAM_FOLDER ZIP LICENSE README
set -euo pipefail
from=$1 zip=$2 license=$3 readme=$4
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
out=$stage/torvane-pitkit
mkdir -p "$out"
cp "$from/pitkit.exe" "$from"/*.dll "$out/"
cp -r "$from/platforms" "$from/styles" "$out/"
x86_64-w64-mingw32-strip "$out/pitkit.exe"
sed 's/$/\r/' "$license" >"$out/LICENSE.txt"
sed 's/$/\r/' "$readme" >"$out/README.txt"
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip.tmp" --format=zip torvane-pitkit)
mv "$zip.tmp" "$zip"
echo "make-zip: $zip ($(du -h "$zip" | cut -f1))"
