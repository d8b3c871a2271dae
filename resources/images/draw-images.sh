#!/usr/bin/env bash
# Draws the program's pictures with ImageMagick. They are checked in; run this only to remake them.
set -euo pipefail
cd "$(dirname "$0")"
FONT=DejaVu-Sans-Bold
FONT_PLAIN=DejaVu-Sans

# Drawing arguments for a picture S times as large: sizes, -draw coordinates (through an MVG
# scale), -annotate offsets and point sizes are multiplied. The result goes into the array SCALED.
scale_args() {
  local s=$1 prev= arg
  shift
  SCALED=()
  for arg in "$@"; do
    case "$prev" in
      -size) arg="$(( ${arg%x*} * s ))x$(( ${arg#*x} * s ))" ;;
      -draw) arg="scale $s,$s $arg" ;;
      -pointsize) arg=$(( arg * s )) ;;
      -annotate) arg=$(echo "$arg" | awk -F+ -v s="$s" '{printf "+%d+%d", $2 * s, $3 * s}') ;;
    esac
    SCALED+=("$arg")
    prev=$arg
  done
}

# Logo banner, 300 x 68: a dark track-side board with a chequered strip and the program's name;
# also at twice the size for scaled screens (logo-banner@2x.png).
banner=(
  -fill '#e8c400' -draw 'polygon 0,0 46,0 26,58 0,58'
  -fill '#05080f' -draw 'polygon 8,8 36,8 22,50 8,50'
  -font "$FONT" -pointsize 22 -fill '#e8c400' -annotate +52+32 'TORVANE'
  -font "$FONT" -pointsize 22 -fill white -annotate +184+32 'PIT KIT'
  -font "$FONT_PLAIN" -pointsize 12 -fill '#9fb4d8' -annotate +54+50 'level renamer  ·  organizer'
)
for s in 1 2; do
  scale_args "$s" "${banner[@]}"
  out=logo-banner.png
  [ "$s" = 1 ] || out="logo-banner@${s}x.png"
  convert -size $((300 * s))x$((68 * s)) gradient:'#1c2a4a'-'#05080f' \
    \( -size 300x10 pattern:checkerboard -scale $((300 * s))x$((10 * s))! \) -geometry +0+$((58 * s)) -composite \
    "${SCALED[@]}" -depth 8 -strip "$out"
done

# Tool chest, drawn at 500 x 500: a red chest, lid open, three drawers with handles. Kept at the
# size the cover shows it, 169 x 169 (and twice that), so that the start-up decodes no more.
convert -size 500x500 xc:'#d9d4c7' \
  -fill '#5a5a5a' -draw 'rectangle 60,440 440,460' \
  -fill '#a3121b' -draw 'polygon 80,60 420,60 440,150 60,150' \
  -fill '#7a0d14' -draw 'rectangle 70,150 430,170' \
  -fill '#c41a24' -draw 'rectangle 70,170 430,440' \
  -fill '#8e1119' -draw 'rectangle 90,190 410,260' -draw 'rectangle 90,275 410,345' -draw 'rectangle 90,360 410,425' \
  -fill '#c8c8c8' -draw 'roundrectangle 200,215 300,230 6,6' -draw 'roundrectangle 200,300 300,315 6,6' -draw 'roundrectangle 200,385 300,400 6,6' \
  -fill '#e0e0e0' -draw 'rectangle 100,110 400,140' \
  -fill '#303030' -draw 'rectangle 120,118 180,132' -draw 'rectangle 200,116 230,134' -draw 'rectangle 250,120 380,130' \
  -fill '#f0d000' -draw 'roundrectangle 300,106 360,118 4,4' \
  \( +clone -resize 338x338 -alpha off -depth 8 -strip -write toolchest@2x.png +delete \) -resize 169x169 -alpha off -depth 8 -strip toolchest.png

# Open-end spanners, drawn at 500 x 500: five spanners fanned out on a workbench; kept at 145 x 145
# (and twice that) as the cover shows them.
args=()
for i in 0 1 2 3 4; do
  angle=$(( -40 + i * 20 ))
  size=$(( 26 + i * 4 ))
  args+=( \( -size 500x500 xc:none -fill '#b8bcc2' -stroke '#60646a' -strokewidth 3
             -draw "roundrectangle $((250 - size / 3)),120 $((250 + size / 3)),390 8,8"
             -draw "circle 250,105 250,$((105 - size))" -draw "circle 250,405 250,$((405 + size))"
             -fill '#8a6a3a' -stroke none
             -draw "rectangle $((250 - size / 3)),$((105 - size - 4)) $((250 + size / 3)),105"
             -draw "rectangle $((250 - size / 4)),405 $((250 + size / 4)),$((405 + size + 4))"
             -distort SRT "$angle" \) -composite )
done
convert -size 500x500 xc:'#8a6a3a' -fill '#7a5c30' -draw 'rectangle 0,0 500,40' -draw 'rectangle 0,460 500,500' \
  "${args[@]}" \( +clone -resize 290x290 -alpha off -depth 8 -strip -write spanners@2x.png +delete \) -resize 145x145 -alpha off -depth 8 -strip spanners.png

# Car placeholder, 160 x 120: a car outline crossed out and a line saying no picture is there;
# also at twice the size (noavail@2x.png).
placeholder=(
  -fill none -stroke '#404040' -strokewidth 3
  -draw 'polyline 20,70 30,50 60,40 100,40 125,55 145,60 145,75 20,75 20,70'
  -draw 'circle 48,78 48,90' -draw 'circle 118,78 118,90'
  -stroke '#d01010' -strokewidth 5 -draw 'line 25,25 140,95' -draw 'line 140,25 25,95'
  -stroke none -fill '#202020' -font "$FONT_PLAIN" -pointsize 11 -annotate +18+112 'No picture available'
)
for s in 1 2; do
  scale_args "$s" "${placeholder[@]}"
  out=noavail.png
  [ "$s" = 1 ] || out="noavail@${s}x.png"
  convert -size $((160 * s))x$((120 * s)) xc:white "${SCALED[@]}" -depth 8 -strip "$out"
done

# The renamer help picture, 459 x 288: the renamer's controls sketched, numbered 1 to 15 in red;
# also at twice the size (help-renamer@2x.png).
draw=(
  -fill '#d4d0c8' -draw 'rectangle 0,0 458,287'
  -fill '#008000' -draw 'rectangle 8,8 110,150'                  # 1 game-directory list
  -fill white -draw 'rectangle 122,22 230,38'                    # 2 old name
  -fill white -draw 'rectangle 122,62 230,78'                    # 3 new name
  -fill '#c0c0c0' -draw 'rectangle 122,88 180,108'               # 4 GO
  -fill '#e8e4dc' -draw 'rectangle 122,128 250,160'              # 5 status text
  -fill '#008000' -draw 'rectangle 270,8 358,150'                # 6 levels list
  -fill '#008000' -draw 'rectangle 368,8 452,150'                # 7 file list
  -fill '#c0c0c0' -draw 'rectangle 270,160 282,172' -draw 'rectangle 270,180 282,192' -draw 'rectangle 270,200 282,212'
  -fill '#c0c0c0' -draw 'rectangle 290,222 302,234'              # 11 confirm delete
  -fill white -draw 'rectangle 290,246 400,262'                  # 12 file name
  -fill '#c0c0c0' -draw 'rectangle 190,240 250,262'              # 13 EXIT
  -fill '#e8e4dc' -draw 'rectangle 8,170 110,186'                # 14 selected directory
  -fill '#1c2a4a' -draw 'rectangle 8,236 170,280'                # banner
  -fill black -font "$FONT_PLAIN" -pointsize 10
  -annotate +122+18 'Old name' -annotate +122+58 'New name' -annotate +132+102 'GO'
  -annotate +122+124 'Status:' -annotate +286+170 'Enable text editor!'
  -annotate +286+190 'Enable DELETE file!' -annotate +286+210 'View only INF files'
  -annotate +306+232 'Confirm del.' -annotate +204+255 'EXIT' -annotate +8+166 'Selected Directory:'
  -fill '#e8c400' -font "$FONT" -pointsize 14 -annotate +20+263 'TORVANE PIT KIT'
  -fill '#ff0000' -font "$FONT" -pointsize 13
  -annotate +56+84 '1' -annotate +236+36 '2' -annotate +236+76 '3' -annotate +184+104 '4'
  -annotate +254+150 '5' -annotate +308+84 '6' -annotate +404+84 '7' -annotate +256+172 '8'
  -annotate +256+192 '9' -annotate +250+212 '10' -annotate +390+234 '11' -annotate +406+260 '12'
  -annotate +254+258 '13' -annotate +114+184 '14' -annotate +165+124 '15'
)
for s in 1 2; do
  scale_args "$s" "${draw[@]}"
  out=help-renamer.png
  [ "$s" = 1 ] || out="help-renamer@${s}x.png"
  convert -size $((459 * s))x$((288 * s)) xc:none "${SCALED[@]}" -depth 8 -strip "$out"
done
