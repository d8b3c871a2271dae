#!/usr/bin/env bash
# Reading what an archive holds: zips of 2,000 and 20,000 tiny levels (an info file and a world
# file each), read by ReadArchiveContents against bsdtar -tf, best of RUNS. Prints the time per
# level at each size and how it grows: reading is linear when the ratio stays near 1.
# Usage: bench/archive_read.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: archive_read.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-3}
bench="$build/bench/archive_read_bench"
[ -x "$bench" ] || { echo "archive_read.sh: $bench is not built" >&2; exit 1; }
for tool in bsdtar python3; do
  command -v "$tool" >/dev/null || { echo "archive_read.sh: $tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "-- Reading an archive: 2,000 and 20,000 tiny levels"
for levels in 2000 20000; do
  python3 - "$work/levels$levels.zip" "$levels" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(int(sys.argv[2])):
        name = "Tiny%05d" % i
        z.writestr(name + "/" + name + ".inf", "; Torvane .INF file structure\r\nNAME '%s'\r\n" % name)
        z.writestr(name + "/" + name + ".w", "world %d" % i)
PY
done
"$bench" "$runs" "$work/levels2000.zip" 2000 "$work/levels20000.zip" 20000
