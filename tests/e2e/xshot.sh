#!/usr/bin/env bash
# A picture taken from outside Wine, of a window that must not show the
# driver (the memory page lists the programs running): clicks a control with
# the X server's mouse, rests the mouse on another control, waits until the
# window has been painted and saves it as a BMP. For an "#! after:" line: the
# positions come from the driver's "screen-rect" output of the same test.
#   xshot.sh <driver output> <control to click> <control to rest on> <window> <picture.bmp>
set -u
out=$1 click=$2 rest=$3 window=$4 picture=$5

# The numbers printed under "> screen-rect <control>": left top width height.
rect() {
  local r
  r=$(awk -v cmd="> screen-rect $1" '{ line = $0; gsub(/"/, "", line) }
    line == cmd { getline; if ($1 == "screen") print $2, $3, $4, $5; exit }' "$out")
  [ -n "$r" ] || { echo "xshot: no 'screen-rect $1' in $out" >&2; return 1; }
  echo "$r"
}

area=$(rect "$window") && at=$(rect "$click") && rest_at=$(rect "$rest") || exit 1
read -r x y w h <<<"$area"
read -r ax ay aw ah <<<"$at"
read -r rx ry rw rh <<<"$rest_at"
pixels() { import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage rgb:- | md5sum; }

before=$(pixels)
xdotool mousemove --sync $((ax + aw / 2)) $((ay + ah / 2)) click 1 mousemove --sync $((rx + rw / 2)) $((ry + rh / 2))
# Painted: changed by the click, and the same in two looks in a row.
last="" n=0
while :; do
  now=$(pixels)
  [ "$now" != "$before" ] && [ "$now" = "$last" ] && break
  [ $n -lt 50 ] || { echo "xshot: the window did not settle after the click" >&2; exit 1; }
  last=$now n=$((n + 1))
  sleep 0.2
done
import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage -type TrueColor "BMP3:$picture" &&
  echo "${w}x${h} -> $picture"
