#!/usr/bin/env bash
# The running package shows the publisher's icon in its title bar, as a screenshot shows it. Plain
# Xvfb has no window manager to draw title bars, so the package runs in a Wine prefix of its own
# with a virtual desktop (the one the demo uses), and the screen is searched for the icon's 16 px
# image, pixel for pixel (its flat quadrants are opaque, so no background shows through). The last
# screenshot is kept beside PACKAGE as caption_icon_screen.png.
# usage: caption_icon_test.sh PACKAGE ICON PREFIX (needs DISPLAY)
set -u
package=$1
icon=$2
prefix=$3
work=$(mktemp -d)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/check.sh"
source "$here/../../cmake/wine-env.sh"
export WINEPREFIX=$prefix
trap 'wineserver -k 2> /dev/null; rm -rf "$work"' EXIT
wine_prefix_ready "$WINEPREFIX" wine_virtual_desktop

icotool -x -w 16 -o "$work/16.png" "$icon"
convert "$work/16.png" -alpha off rgb:"$work/16.rgb"
cp "$package" "$work/setup.exe"
(cd "$work" && wine setup.exe > /dev/null 2>&1; echo $? > "$work/exit") &

# shown SCREEN WIDTH: whether the 16x16 RGB picture appears anywhere on the screen's RGB picture.
shown() {
  /usr/bin/python3 - "$1" "$2" "$work/16.rgb" << 'PY'
import sys
screen, icon = (open(p, "rb").read() for p in (sys.argv[1], sys.argv[3]))
width, row = int(sys.argv[2]) * 3, 16 * 3
rows = [icon[i * row:(i + 1) * row] for i in range(16)]
at = screen.find(rows[0])
while at >= 0:
    if all(screen[at + i * width:at + i * width + row] == rows[i] for i in range(16)):
        sys.exit(0)
    at = screen.find(rows[0], at + 1)
sys.exit(1)
PY
}
seen=no
for _ in $(seq 40); do
  sleep 0.25
  xwd -root -silent > "$work/screen.xwd"
  convert "$work/screen.xwd" -depth 8 rgb:"$work/screen.rgb"
  if shown "$work/screen.rgb" "$(identify -format %w "$work/screen.xwd")"; then
    seen=yes
    break
  fi
done
convert "$work/screen.xwd" "$work/screen.png"
check "the title bar shows the publisher's 16 px icon" test "$seen" = yes
wait
check "the package ran to its end" test "$(cat "$work/exit")" = 0
cp "$work/screen.png" "$(dirname "$package")/caption_icon_screen.png"
finish
