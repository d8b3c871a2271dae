#!/usr/bin/env bash
# Package test: makes the Debian package of this build, checks its control fields, unpacks it with
# dpkg -x into a temporary root, validates the installed menu entry and metainfo, tries the
# launcher's choice of folder, and starts the unpacked program through the menu entry's command
# on a private Xvfb display until its main window shows, with its icon and window class.
# Usage: package_test.sh BUILD-DIR VERSION APP-ID
set -euo pipefail
build=$1
version=$2
app_id=$3
source "$(dirname "$0")/../support/program_test.sh"
need_tools "package test" cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli Xvfb xwininfo xprop
fail() {
  echo "FAIL: $*"
  exit 1
}

# The package, made beside this test's files so that it never meets a `make package` of the build.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack did not make the package"; }
deb=$(ls "$work"/pkg/*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no .deb was made"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = torvane-pitkit ] || fail "package name is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "package version is '$(field Version)', not $version"
[ "$(field Section)" = games ] || fail "section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
[ -n "$(field Description)" ] || fail "no description"
# dpkg-shlibdeps found the Qt libraries the program links.
field Depends | grep 'libqt6widgets6' >/dev/null || fail "Depends lacks the Qt widgets library: $(field Depends)"
field Depends | grep 'libsqlite3-0' >/dev/null || fail "Depends lacks the SQLite library of the history: $(field Depends)"
echo "package $(basename "$deb"): $(field Depends)"
field Recommends | grep 'xdg-utils' >/dev/null || fail "Recommends lacks the desktop opener: $(field Recommends)"

root="$work/root"
dpkg -x "$deb" "$root"
desktop="$root/usr/share/applications/$app_id.desktop"
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
desktop-file-validate "$desktop" || fail "desktop-file-validate refused the menu entry"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log"; fail "appstreamcli refused the metainfo"; }
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for file in scalable/apps/$icon.svg 48x48/apps/$icon.png 256x256/apps/$icon.png; do
  [ -s "$root/usr/share/icons/hicolor/$file" ] || fail "icon $file is not installed"
done
# The command, then %F: files opened with the program (archives to install) follow it.
exec_name=$(sed -n 's/^Exec=\([^ ]*\) %F$/\1/p' "$desktop")
[ -n "$exec_name" ] || fail "the menu entry's command does not take files (%F)"
grep -Fx 'MimeType=application/zip;application/x-7z-compressed;application/vnd.rar;application/x-rar;' "$desktop" >/dev/null ||
  fail "the menu entry does not offer to open zip, 7z and rar archives"
launcher="$root/usr/bin/$exec_name"
[ -x "$launcher" ] || fail "the menu entry's command $exec_name is not installed in /usr/bin"
echo "menu entry, metainfo and icons are valid"

# The launcher's folder, with a stand-in program that reports where it was started.
fake="$work/fake-bin"
mkdir -p "$fake" "$work/cwd"
cp "$launcher" "$fake/"
printf '#!/bin/sh\npwd\n' >"$fake/pitkit"
chmod +x "$fake/pitkit"
: >"$work/blocked"  # a file where a folder must go
while IFS='|' read -r home xdg expected; do
  got=$(cd "$work/cwd" && env -u XDG_CONFIG_HOME HOME="$home" ${xdg:+XDG_CONFIG_HOME="$xdg"} \
        "$fake/$exec_name" 2>/dev/null)
  [ "$got" = "$expected" ] || fail "launcher with HOME=$home XDG_CONFIG_HOME=$xdg started in '$got', not '$expected'"
done <<CASES
$work/home||$work/home/.config/$app_id
$work/home|$work/xdg config|$work/xdg config/$app_id
$work/home|relative/config|$work/home/.config/$app_id
$work/blocked||$work/cwd
CASES
[ -d "$work/home/.config/$app_id" ] || fail "the launcher did not create the configuration folder"
echo "the launcher starts the program in the configuration folder"

# The unpacked program, started as the menu starts it.
xvfb_start
export QT_QPA_PLATFORM=xcb
(cd "$work/cwd" && exec env -u XDG_CONFIG_HOME HOME="$work/user" "$launcher") >"$work/pitkit.log" 2>&1 &
program_pid=$!
if ! window=$(wait_for_window "Torvane Pit Kit" 30); then
  cat "$work/pitkit.log"
  fail "the unpacked program's main window did not appear"
fi
echo "main window $window is shown"
preset="$work/user/.config/$app_id/Pitkit.ini"
for _ in $(seq 1 50); do [ -s "$preset" ] && break; sleep 0.1; done
[ -s "$preset" ] || fail "Pitkit.ini was not written in the configuration folder"
[ ! -e "$work/cwd/Pitkit.ini" ] || fail "Pitkit.ini was written in the folder the menu was started from"
# X11 docks match the window to its menu entry by its window class.
wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
xprop -id "$window" WM_CLASS | grep -F ", \"$wm_class\"" >/dev/null ||
  fail "the window's class is not the menu entry's '$wm_class': $(xprop -id "$window" WM_CLASS)"
# The icon may be set a moment after the window is mapped, more so on a busy machine. grep reads
# the whole listing (no -q): quitting early would end xprop with SIGPIPE, a failure under pipefail.
has_icon() { xprop -id "$window" _NET_WM_ICON 2>/dev/null | grep 'Icon (48 x 48)' >/dev/null; }
icon_found=false
for _ in $(seq 1 50); do
  if has_icon; then icon_found=true; break; fi
  sleep 0.1
done
$icon_found || fail "the window has no 48 x 48 icon"
echo "the window's class is the menu entry's, and it carries the icon"
echo "PASS"
