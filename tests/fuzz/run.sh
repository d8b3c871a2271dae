#!/usr/bin/env bash
# Runs fuzz targets for a bounded time each and reports executions and crashes per target.
# Usage: run.sh SECONDS BINDIR [NAME...]   (BINDIR holds the fuzz_NAME programs; no NAME: all)
#   FUZZ_RUNS=N   also stop a target after N executions (whichever bound comes first)
# Each target starts from its seed corpus here and the corpus it grew in BINDIR in earlier runs;
# inputs that crash are kept in BINDIR/crashes/NAME/. Exits non-zero when any target crashed.
set -uo pipefail
seconds=$1
bindir=$(cd "$2" && pwd)
shift 2
here=$(cd "$(dirname "$0")" && pwd)
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for program in "$bindir"/fuzz_*; do
    if [ -f "$program" ] && [ -x "$program" ]; then names+=("$(basename "$program" | sed 's/^fuzz_//')"); fi
  done
fi

failed=0
for name in "${names[@]}"; do
  program="$bindir/fuzz_$name"
  work="$bindir/corpus/$name"
  crashes="$bindir/crashes/$name"
  mkdir -p "$work" "$crashes"
  before=$(find "$crashes" -type f | wc -l)
  mkdir -p "$bindir/logs"
  log="$bindir/logs/$name.log"
  runs=()
  if [ -n "${FUZZ_RUNS:-}" ]; then runs=(-runs="$FUZZ_RUNS"); fi
  "$program" -max_total_time="$seconds" "${runs[@]}" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "$here/corpus/$name" >"$log" 2>&1
  status=$?
  executions=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n1)
  found=$(( $(find "$crashes" -type f | wc -l) - before ))
  echo "fuzz_$name: ${executions:-0} executions, $found crashes (exit $status)"
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    failed=1
    tail -n 40 "$log"
  fi
done
exit $failed
