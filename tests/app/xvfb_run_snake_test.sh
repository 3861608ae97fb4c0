#!/usr/bin/env bash
# The real tessaly on a virtual X display, used as a person would: three
# clicks around the disc of the start image, then "Run Snake".  A screenshot
# must then show the red snake on the disc's outline and nowhere else.
#   xvfb_run_snake_test.sh path/to/tessaly [screenshot.png]
# The optional second argument keeps the screenshot (the README's picture).
# Exits 77 (skipped) when Xvfb, xdotool or ImageMagick's import is missing.
set -u

bin=${1:?usage: xvfb_run_snake_test.sh path/to/tessaly [screenshot.png]}
keep=${2:-}
. "$(dirname "$0")/xvfb_session.sh"
require_tools Xvfb xdotool import awk
start_tessaly "$bin" 1024x768x24
sleep 0.5
click_around_disc

# Focus is on the viewer after the clicks; the focus chain runs Clear,
# Run Snake, ... viewer, so two Tabs reach "Run Snake".
xdotool key --window "$wid" Tab Tab space

# A larger window, so the red curve shows between the green points.  The
# run plays for about 1.5 s, and the window stays live meanwhile.
xdotool windowsize --sync "$wid" 560 560 2>/dev/null || xdotool windowsize "$wid" 560 560

# Every red pixel, taken back to image pixels, within 3.5 of the disc's
# outline (centre (170, 125), radius 40); and enough of them.  Polled until
# the run has brought the curve there.
on_outline() {
  box=$(image_box)
  [ -n "$box" ] || return 1
  read -r x0 y0 x1 y1 <<<"$box"
  verdict=$(awk -v x0="$x0" -v y0="$y0" -v x1="$x1" -v y1="$y1" '
    $3 == 255 && $4 == 0 && $5 == 0 {
      sx = (x1 - x0 + 1) / 250.0; sy = (y1 - y0 + 1) / 250.0
      wx = ($1 - x0) / sx - 0.5; wy = ($2 - y0) / sy - 0.5
      d = sqrt((wx - 170) ^ 2 + (wy - 125) ^ 2) - 40; if (d < 0) d = -d
      n++; if (d > worst) worst = d; if (d > 3.5) off++
    } END { printf "%d %d %.2f\n", n, off, worst }' "$tmp/pixels")
  read -r red off worst <<<"$verdict"
  [ "$red" -ge 50 ] && [ "$off" -eq 0 ]
}
red=0 off=0 worst=0
wait_for 300 on_outline
[ -n "$box" ] || fail "the image is gone after the run"
echo "red pixels: $red, off the outline: $off, farthest: $worst image pixels"
[ "$red" -ge 50 ] || fail "only $red red pixels: no snake drawn"
[ "$off" -eq 0 ] || fail "$off red pixels lie off the disc's outline"

if [ -n "$keep" ]; then
  import -window "$wid" "png:$keep" || fail "cannot save the screenshot to $keep"
  echo "screenshot kept in $keep"
fi

kill -0 "$app_pid" 2>/dev/null || fail "tessaly ended during the run"
echo "ok: three clicks and Run Snake put the red snake on the disc's outline"
