#!/usr/bin/env bash
# The real tessaly on a virtual X display, started as a file manager starts
# it, `tessaly FILE`: the file's name is in the title and its picture on the
# screen; then the keys, pressed as a person presses them: Delete removes
# the point just added, Ctrl+Z brings it back, Ctrl+O asks for an image.
# Exits 77 (skipped) when Xvfb, xdotool or ImageMagick's import is missing.
set -u

bin=${1:?usage: xvfb_keys_test.sh path/to/tessaly}
. "$(dirname "$0")/xvfb_session.sh"
require_tools Xvfb xdotool import awk

# A 200 x 150 grey picture of value 77, a value nothing else on the screen has.
picture="$tmp/probe picture.pgm"
{ printf 'P5\n200 150\n255\n'; head -c 30000 /dev/zero | tr '\0' '\115'; } >"$picture"
start_tessaly "$bin" 1024x768x24 "$picture"
xdotool windowsize --sync "$wid" 500 500 2>/dev/null || xdotool windowsize "$wid" 500 500
titled() { [ "$(xdotool getwindowname "$wid")" = "probe picture.pgm — tessaly" ]; }
wait_for 100 titled || fail "the title is \"$(xdotool getwindowname "$wid")\""

count() {  # pixels of colour r g b
  pixels | awk -v r="$1" -v g="$2" -v b="$3" '$3 == r && $4 == g && $5 == b { n++ } END { print n + 0 }'
}
# Green pixels (the points' discs) once two looks 0.2 s apart agree, so that
# a repaint under way is not counted half done.
green_now() {
  local a b
  b=$(count 0 255 0)
  while :; do
    a=$b
    sleep 0.2
    b=$(count 0 255 0)
    [ "$a" -eq "$b" ] && break
  done
  echo "$b"
}
# Where the picture is drawn, once it is at the new size: three points a
# quarter, a half and three quarters along its diagonal.
find_clicks() {
  clicks=$(pixels | awk '$3 == 77 && $4 == 77 && $5 == 77 {
      if (n++ == 0) { x0 = x1 = $1; y0 = y1 = $2 }
      if ($1 < x0) x0 = $1; if ($1 > x1) x1 = $1; if ($2 < y0) y0 = $2; if ($2 > y1) y1 = $2
    } END { if (n > 20000) for (f = 1; f <= 3; ++f) printf "%d %d\n", x0 + f * (x1 - x0) / 4, y0 + f * (y1 - y0) / 4 }')
  [ -n "$clicks" ] && [ "$clicks" = "${last_clicks:-}" ] || { last_clicks=$clicks; false; }
}
# The same place twice in a row: the picture has settled at the new size.
wait_for 100 find_clicks
[ -n "$clicks" ] || fail "the picture is not on the screen"

xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
# Each key or click is waited for until the screen shows it, however busy
# the machine.
green=0
more_green() { now=$(green_now); [ "$now" -gt "$green" ]; }
while read -r x y; do
  xdotool mousemove --window "$wid" "$x" "$y" click 1
  wait_for 100 more_green || fail "a click at $x,$y added no point"
  green=$now
done <<<"$clicks"
three=$green
[ "$three" -gt 30 ] || fail "three clicks show $three green pixels"

xdotool key Delete
less_green() { now=$(green_now); [ "$now" -lt "$three" ]; }
wait_for 100 less_green || fail "Delete removed no point"
two=$now
[ "$two" -gt $((three / 2)) ] || fail "Delete: $three green pixels became $two, not two points of three"

xdotool key ctrl+z
as_before() { now=$(green_now); [ "$now" -eq "$three" ]; }
wait_for 100 as_before || fail "Ctrl+Z: $two green pixels became $now, not the $three of three points"

xdotool key ctrl+o
dialog_up() { xdotool search --onlyvisible --name '^Load Image$' >/dev/null 2>&1; }
wait_for 50 dialog_up || fail "Ctrl+O opened no \"Load Image\" dialog"
# Escape again until it is seen: the dialog may show before it takes the keys.
escape_closes() { xdotool key Escape; sleep 0.3; ! dialog_up; }
wait_for 30 escape_closes || fail "the dialog did not close on Escape"
kill -0 "$app_pid" 2>/dev/null || fail "tessaly ended"
# Once the window has repainted where the dialog was.
wait_for 30 as_before || fail "cancelling the dialog changed the points: $now green pixels"
echo "ok: tessaly FILE shows it and names it; Delete, Ctrl+Z and Ctrl+O did their work"
