#!/usr/bin/env bash
# Runs one Windows program under Wine: the test emulator of the Windows build (CMake's
# CMAKE_CROSSCOMPILING_EMULATOR). The prefix, display and debug settings come from run-tests.sh;
# the timeout keeps a hung program from holding the run (ctest's own timeout stops only this
# script, not the Wine processes below it).
set -uo pipefail
exec timeout -k 10 "${WINE_RUN_TIMEOUT:-900}" "${WINE:-/usr/lib/wine/wine64}" "$@"
