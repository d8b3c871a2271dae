#!/usr/bin/env bash
# Builds places_probe.cpp with the Windows side of the platform layer's places (known folders, the
# registry's Steam, drives, recycle bin, path rules) and runs it under Wine in a throw-away prefix,
# with a SteamPath set in its registry. Prints the probe's lines and PASS. Not part of CTest: slow.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
HOST=x86_64-w64-mingw32
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
TIMEOUT=${WINE_TIMEOUT:-120}

WORK=$(mktemp -d)
export WINEPREFIX=$WORK/wineprefix WINEDEBUG=-all
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true  # the server this prefix started, if still running
  rm -rf "$WORK"
}
trap cleanup EXIT

SRC=$ROOT/src/platform
$HOST-g++-posix -std=c++20 -O1 -Wall -Wextra -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX \
  -I"$ROOT/src" -o "$WORK/places_probe.exe" "$HERE/places_probe.cpp" \
  "$SRC/Paths.cpp" "$SRC/WindowsPaths.cpp" "$SRC/SteamLibraryList.cpp" "$SRC/HostSystem.cpp" \
  "$SRC/win32/WideNames.cpp" "$SRC/win32/KnownPlaces.cpp" "$SRC/win32/RecycleBin.cpp" \
  -static -static-libgcc -static-libstdc++ -lole32 -lshell32 -luuid -ladvapi32

timeout "$TIMEOUT" "$WINE" reg add 'HKCU\Software\Valve\Steam' /v SteamPath /t REG_SZ \
  /d 'c:/program files (x86)/steam' /f >/dev/null
mkdir -p "$WINEPREFIX/drive_c/probe"
timeout "$TIMEOUT" "$WINE" "$WORK/places_probe.exe" 'C:/program files (x86)/steam' 'C:/probe'
