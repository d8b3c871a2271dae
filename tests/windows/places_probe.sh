#!/usr/bin/env bash
# Builds places_probe.cpp with the Windows side of the platform layer's places (known folders, the
# registry's Steam, drives, recycle bin, path rules) and runs it under Wine in a throw-away prefix,
# with a SteamPath set in its registry; with the mingw Qt (build-windows-deps/qt6-mingw, or
# WINDOWS_QT) also peer_probe.cpp, the local socket's peer check. Prints the probes' lines and PASS
# for each. Not part of CTest: slow.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
HOST=x86_64-w64-mingw32
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
TIMEOUT=${WINE_TIMEOUT:-120}
QT=${WINDOWS_QT:-$ROOT/build-windows-deps/qt6-mingw}

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

[ -f "$QT/lib/libQt6Network.a" ] || { echo "places_probe: no mingw Qt at $QT: peer_probe skipped"; exit 0; }
mkdir -p "$WORK/peer"
cat > "$WORK/peer/stub.cpp" <<'STUB'
#include <string>
namespace pitkit { std::string getCurrentDir() { return "C:/"; } }
STUB
$HOST-g++-posix -std=c++20 -O1 -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -I"$ROOT/src" \
  -I"$QT/include" -I"$QT/include/QtCore" -I"$QT/include/QtNetwork" -o "$WORK/peer/peer_probe.exe" \
  "$HERE/peer_probe.cpp" "$WORK/peer/stub.cpp" "$SRC/HostSystem.cpp" "$SRC/Paths.cpp" "$SRC/WindowsPaths.cpp" \
  "$SRC/win32/WideNames.cpp" "$SRC/win32/KnownPlaces.cpp" -L"$QT/lib" -lQt6Network -lQt6Core \
  -ladvapi32 -lole32 -lshell32 -luuid -static-libgcc -static-libstdc++
cp "$QT/bin/Qt6Core.dll" "$QT/bin/Qt6Network.dll" "$WORK/peer/"
for dll in libwinpthread-1.dll libstdc++-6.dll libgcc_s_seh-1.dll; do
  for dir in "/usr/lib/gcc/$HOST/12-posix" "/usr/$HOST/lib"; do
    [ -e "$dir/$dll" ] && { cp "$dir/$dll" "$WORK/peer/"; break; }
  done
done
timeout "$TIMEOUT" "$WINE" "$WORK/peer/peer_probe.exe"
