#!/usr/bin/env bash
# Runs the soak of the main window for longer: ACTIONS random actions for each SEED.
# Usage: run.sh PITKIT_SOAK ACTIONS SEED...
set -euo pipefail
program=$1
actions=$2
shift 2
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'
for seed in "$@"; do
  "$program" --seed "$seed" --actions "$actions"
done
