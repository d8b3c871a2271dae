#!/usr/bin/env bash
# The info-file editor's open time (offscreen): a 1 MiB single line against a 1 MiB file of
# 100-character lines, and the largest text it takes. Prints the ratio.
# Usage: bench/editor.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: editor.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-5}
bench="$build/bench/editor_open_bench"
[ -x "$bench" ] || { echo "editor.sh: $bench is not built" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' "$bench" "$work" "$runs"
