#!/usr/bin/env bash
# Runs one Windows program under Wine: the test emulator of the Windows build (CMake's
# CMAKE_CROSSCOMPILING_EMULATOR). The prefix, display and debug settings come from run-tests.sh;
# the timeout keeps a hung program from holding the run (ctest's own timeout stops only this
# script, not the Wine processes below it).
set -uo pipefail
# Qt Test writes its report with OutputDebugString when no console is attached: Wine's debugstr
# channel puts it on standard error, so a failure's account reaches the CTest log.
export WINEDEBUG=-all,+debugstr
exec timeout -k 10 "${WINE_RUN_TIMEOUT:-300}" "${WINE:-/usr/lib/wine/wine64}" "$@"
