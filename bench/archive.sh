#!/usr/bin/env bash
# Archive install: a generated zip of 20 levels, 2,000 files and about 200 MB (three quarters
# random bytes, a quarter text, deflated) installed through InstallFromArchive against bsdtar -xf
# of the same zip followed by sync, best of RUNS each, interleaved. Prints the ratio.
# Usage: bench/archive.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: archive.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-3}
bench="$build/bench/archive_install_bench"
[ -x "$bench" ] || { echo "archive.sh: $bench is not built" >&2; exit 1; }
for tool in bsdtar python3; do
  command -v "$tool" >/dev/null || { echo "archive.sh: $tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "-- Archive install: 2,000 files, 200 MB"
python3 - "$work/levels.zip" <<'EOF'
import os, random, sys, zipfile
random.seed(25)
words = [w.encode() for w in "track lap corner grass kerb pit wall jump start finish ramp tyre".split()]
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for level in range(20):
        name = "Track%02d" % level
        z.writestr(name + "/" + name + ".inf",
                   "; Torvane .INF file structure\r\nNAME '%s'\r\nSKY 'blue'\r\n" % name)
        for i in range(99):
            size = random.randint(20_000, 190_000)
            if i % 4 == 3:
                data = b" ".join(random.choice(words) for _ in range(size // 5))[:size]
            else:
                data = os.urandom(size)
            z.writestr("%s/%s/part%03d.bin" % (name, ("models", "textures", "sounds")[i % 3], i), data)
EOF
entries=$(bsdtar -tf "$work/levels.zip" | wc -l)
unpacked=$(python3 -c "import sys, zipfile; print(sum(i.file_size for i in zipfile.ZipFile(sys.argv[1]).infolist()) >> 20)" "$work/levels.zip")
echo "zip: $entries files, $unpacked MB unpacked, $(($(stat -c %s "$work/levels.zip") >> 20)) MB packed"
"$bench" "$work/levels.zip" "$work" "$runs"
