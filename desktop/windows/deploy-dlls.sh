#!/usr/bin/env bash
# Makes a Windows program folder complete: copies beside each given .exe the DLLs it imports,
# recursively, from the mingw Qt, the libraries of build-windows-deps and the mingw runtime, with
# the Qt plugins it loads (platforms/, styles/), and the libraries the program loads by name at run
# time (libarchive and its compression libraries). Windows' own DLLs are found nowhere and stay out.
# Usage: deploy-dlls.sh DEPS_DIR EXE...
set -euo pipefail
DEPS=$1; shift
QT=$DEPS/qt6-mingw
PREFIX=$DEPS/prefix
HOST=x86_64-w64-mingw32
SEARCH=("$QT/bin" "$PREFIX/bin" /usr/lib/gcc/$HOST/12-posix /usr/$HOST/lib)

dir=$(dirname "$1")
mkdir -p "$dir/platforms" "$dir/styles"
cp -u "$QT/plugins/platforms/qwindows.dll" "$QT/plugins/platforms/qoffscreen.dll" \
  "$QT/plugins/platforms/qminimal.dll" "$dir/platforms/"
cp -u "$QT/plugins/styles/qwindowsvistastyle.dll" "$dir/styles/"
cp -u "$PREFIX/bin/libarchive.dll" "$dir/"

todo=("$@" "$dir"/platforms/*.dll "$dir"/styles/*.dll "$dir/libarchive.dll")
while [ ${#todo[@]} -gt 0 ]; do
  f=${todo[0]}; todo=("${todo[@]:1}")
  for dll in $($HOST-objdump -p "$f" | sed -n 's/.*DLL Name: //p'); do
    [ -e "$dir/$dll" ] && continue
    for cand in "${SEARCH[@]}"; do
      if [ -e "$cand/$dll" ]; then cp "$cand/$dll" "$dir/"; todo+=("$dir/$dll"); break; fi
    done
  done
done
