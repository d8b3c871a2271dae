#!/usr/bin/env bash
# pitkit --find-games in a home holding a Wine, a Steam (Proton) and a Lutris prefix prints exactly
# their three game folders, not a folder with levels but no cars nor one in windows/; with no prefix
# at all it fails and says where it looked. Usage: find_games_test.sh PITKIT
set -euo pipefail
home=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-home-XXXXXX")
trap 'rm -rf "$home"' EXIT
game() { mkdir -p "$home/$1/$2" "$home/$1/$3"; }
game ".wine/drive_c/Program Files (x86)/Torvane" levels cars
game ".local/share/Steam/steamapps/compatdata/4242/pfx/drive_c/Games/Torvane" Levels Cars
game "Games/torvane/drive_c/TORVANE" LEVELS CARS
game ".wine/drive_c/windows/Torvane" levels cars
mkdir -p "$home/.wine/drive_c/Tools/levels" "$home/.steam" "$home/empty"
ln -s ../.local/share/Steam "$home/.steam/steam"  # the same Steam a second time

found=$(env -u WINEPREFIX HOME="$home" "$1" --find-games)
diff <(printf '%s\n' "$found") - <<END
$home/.wine/drive_c/Program Files (x86)/Torvane
$home/.local/share/Steam/steamapps/compatdata/4242/pfx/drive_c/Games/Torvane
$home/Games/torvane/drive_c/TORVANE
END
if env -u WINEPREFIX HOME="$home/empty" "$1" --find-games >"$home/out" 2>"$home/err"; then exit 1; fi
[ ! -s "$home/out" ] && grep -qF "$home/empty/.wine/drive_c" "$home/err"
