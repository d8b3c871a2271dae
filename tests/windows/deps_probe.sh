#!/usr/bin/env bash
# Proves the Windows dependencies in build-windows-deps (made by scripts/install-windows-deps):
# builds deps_probe.c against libarchive and libjpeg and qt_hello against the mingw Qt, copies
# the DLLs each needs beside it and runs both under Wine in a throw-away Wine prefix.
# Prints the time of each step and PASS when both work. Not part of CTest: it is slow.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
DEPS=${WINDOWS_DEPS_DIR:-$ROOT/build-windows-deps}
PREFIX=$DEPS/prefix
QT=$DEPS/qt6-mingw
HOST=x86_64-w64-mingw32
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
TIMEOUT=${WINE_TIMEOUT:-300}

fail() { echo "deps_probe: FAIL: $*" >&2; exit 1; }
[ -f "$PREFIX/lib/libarchive.dll.a" ] && [ -x "$QT/bin/qt-cmake" ] \
  || fail "$DEPS is not complete: run scripts/install-windows-deps (make windows-deps) first"
[ -x "$WINE" ] || fail "no Wine at $WINE (the wine64 package)"

WORK=$(mktemp -d)
export WINEPREFIX=$WORK/wineprefix WINEDEBUG=-all
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true  # the server this prefix started, if still running
  rm -rf "$WORK"
}
trap cleanup EXIT

step_start=0
step() { step_start=$SECONDS; echo "deps_probe: $*"; }
took() { echo "deps_probe:   took $((SECONDS - step_start)) s"; }

# Every DLL a program imports, and the Qt plugins, copied beside it as for the program itself.
copy_dlls() { bash "$ROOT/desktop/windows/deploy-dlls.sh" "$DEPS" "$1" >/dev/null; }

step "building deps_probe.exe"
mkdir -p "$WORK/probe"
$HOST-gcc-posix -std=c11 -O2 -Wall -Wextra -Werror -o "$WORK/probe/deps_probe.exe" \
  "$HERE/deps_probe.c" -I"$PREFIX/include" -L"$PREFIX/lib" -larchive -ljpeg \
  2>&1 || fail "compiling deps_probe.c"
copy_dlls "$WORK/probe/deps_probe.exe"
echo "deps_probe:   DLLs: $(cd "$WORK/probe" && ls *.dll | tr '\n' ' ')"
took

step "making the test files"
data=$WORK/data
mkdir -p "$data/in"
printf 'hello from the archive\n' >"$data/in/greeting.txt"
printf 'a non-ASCII name\n' >"$data/in/piste-é.txt"
convert -size 16x8 'xc:#ff0000' -quality 95 "$data/red.jpg" || fail "convert (ImageMagick) could not write a JPEG"
python3 - "$data" <<'PY' || fail "python3 could not write the zip"
import sys, zipfile
d = sys.argv[1]
with zipfile.ZipFile(d + "/deflate.zip", "w", zipfile.ZIP_DEFLATED) as z:
    for name in ("greeting.txt", "piste-\u00e9.txt"):
        z.write(d + "/in/" + name, name)
PY
files=("$data/deflate.zip")
# 7z with LZMA2 and with bzip2, tar with xz and zstd: each reads through one of the libraries.
export LC_ALL=C.UTF-8
for archive in "lzma2.7z:--format 7zip --options 7zip:compression=lzma2" \
            "bzip2.7z:--format 7zip --options 7zip:compression=bzip2" \
            "pax.tar.xz:--format pax --xz" "pax.tar.zst:--format pax --zstd"; do
  name=${archive%%:*}
  # shellcheck disable=SC2086 # the options are words
  bsdtar ${archive#*:} -cf "$data/$name" -C "$data/in" greeting.txt piste-é.txt \
    || fail "bsdtar could not write $name"
  files+=("$data/$name")
done
took

# Wine wants Windows paths; Z: is the root of the Linux file system.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

step "first Wine start (a new Wine prefix)"
timeout "$TIMEOUT" "$WINE" wineboot --init >/dev/null 2>&1 || fail "wineboot --init"
took

step "running deps_probe.exe under Wine"
args=("$(winpath "$data/red.jpg")")
for f in "${files[@]}"; do args+=("$(winpath "$f")"); done
rc=0; out=$(timeout "$TIMEOUT" "$WINE" "$WORK/probe/deps_probe.exe" "${args[@]}" 2>&1) || rc=$?
[ $rc -eq 0 ] || { echo "$out" >&2; fail "deps_probe.exe (exit status $rc; 124 is the timeout)"; }
echo "$out" | sed 's/\r$//; s/^/deps_probe:   /'
echo "$out" | grep -q '^PASS' || fail "deps_probe.exe did not print PASS"
took

step "building qt_hello.exe with qt-cmake"
"$QT/bin/qt-cmake" -G Ninja -S "$HERE/qt_hello" -B "$WORK/qt_hello" -DCMAKE_BUILD_TYPE=Release \
  -DQT_HOST_PATH=/usr >"$WORK/qt_hello.log" 2>&1 \
  && cmake --build "$WORK/qt_hello" -j2 >>"$WORK/qt_hello.log" 2>&1 \
  || { tail -n 30 "$WORK/qt_hello.log" >&2; fail "building qt_hello"; }
exe=$WORK/qt_hello/qt_hello.exe
mkdir -p "$WORK/qt_hello/platforms" "$WORK/qt_hello/styles"
cp "$QT/plugins/platforms/qwindows.dll" "$QT/plugins/platforms/qoffscreen.dll" \
   "$QT/plugins/platforms/qminimal.dll" "$WORK/qt_hello/platforms/"
cp "$QT/plugins/styles/qwindowsvistastyle.dll" "$WORK/qt_hello/styles/"
copy_dlls "$exe"
echo "deps_probe:   DLLs: $(cd "$WORK/qt_hello" && ls *.dll | tr '\n' ' ')"
took

step "running qt_hello.exe -platform offscreen under Wine"
rc=0; out=$(timeout "$TIMEOUT" "$WINE" "$exe" -platform offscreen 2>&1) || rc=$?
[ $rc -eq 0 ] || { echo "$out" >&2; fail "qt_hello.exe (exit status $rc; 124 is the timeout)"; }
echo "$out" | sed 's/\r$//; s/^/deps_probe:   /'
echo "$out" | grep -q 'platform offscreen, label "Pit Kit on Windows" shown' \
  || fail "qt_hello.exe did not report its label shown on the offscreen platform"
took

echo PASS
