#!/usr/bin/env bash
# The organizer's filter: the time per keystroke of a query typed into the level filter and
# erased again in the real window (offscreen), on 2,000 and on 20,000 levels, against a plain
# case-blind substring scan of the same captions and display names. Prints both ratios.
# Usage: bench/filter.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: filter.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-5}
bench="$build/bench/filter_bench"
[ -x "$bench" ] || { echo "filter.sh: $bench is not built" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' "$bench" "$work" 2000 20000 "$runs"
