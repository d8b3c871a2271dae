#!/usr/bin/env bash
# pitkit --find-games in a home holding a Wine, a Steam (Proton) and a Lutris prefix and two Steam
# libraries prints exactly their five game folders, each once, not a folder with levels but no cars
# nor one in windows/, and reads no pipe nor a 64 GiB library list; with no prefix at all it fails
# and says where it looked.
# Usage: find_games_test.sh PITKIT
set -euo pipefail
home=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-home-XXXXXX")
library=$(mktemp -d "${TMPDIR:-/tmp}/pitkit-library-XXXXXX")
trap 'rm -rf "$home" "$library"' EXIT
game() { mkdir -p "$home/$1/$2" "$home/$1/$3"; }
game ".wine/drive_c/Program Files (x86)/Torvane" levels cars
game ".local/share/Steam/steamapps/compatdata/4242/pfx/drive_c/Games/Torvane" Levels Cars
game "Games/torvane/drive_c/TORVANE" LEVELS CARS
game ".wine/drive_c/windows/Torvane" levels cars
mkdir -p "$home/.wine/drive_c/Tools/levels" "$home/.steam" "$home/empty"
ln -s ../.local/share/Steam "$home/.steam/steam"  # the same Steam a second time
# Store-bought games in Steam's own library and in a second one that its list names.
game ".local/share/Steam/steamapps/common/Torvane" LEVELS cars
mkdir -p "$library/steamapps/common/Torvane GOTY/Levels" "$library/steamapps/common/Torvane GOTY/CARS"
printf '"libraryfolders"\n{\n\t"0"\n\t{ "path" "%s" "apps" { "4242" "1024" } }\n\t"1" { "path" "%s" }\n}\n' \
  "$home/.local/share/Steam" "$library" >"$home/.local/share/Steam/steamapps/libraryfolders.vdf"
# The Flatpak Steam's list names the second library again.
flatpak="$home/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps"
mkdir -p "$flatpak"
printf '"libraryfolders" { "0" { "path" "%s" } }\n' "$library" >"$flatpak/libraryfolders.vdf"
mkdir -p "$home/.steam/root/steamapps" && mkfifo "$home/.steam/root/steamapps/libraryfolders.vdf"  # not waited on
mkdir -p "$home/.steam/root/config" && truncate -s 64G "$home/.steam/root/config/libraryfolders.vdf"  # not read

found=$(env -u WINEPREFIX HOME="$home" "$1" --find-games)
diff <(printf '%s\n' "$found") - <<END
$home/.wine/drive_c/Program Files (x86)/Torvane
$home/.local/share/Steam/steamapps/compatdata/4242/pfx/drive_c/Games/Torvane
$home/Games/torvane/drive_c/TORVANE
$home/.local/share/Steam/steamapps/common/Torvane
$library/steamapps/common/Torvane GOTY
END
if env -u WINEPREFIX HOME="$home/empty" "$1" --find-games >"$home/out" 2>"$home/err"; then exit 1; fi
[ ! -s "$home/out" ] && grep -qF "$home/empty/.wine/drive_c" "$home/err"
