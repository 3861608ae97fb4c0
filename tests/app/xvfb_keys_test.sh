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
sleep 1

title=$(xdotool getwindowname "$wid")
[ "$title" = "probe picture.pgm — tessaly" ] || fail "the title is \"$title\""

count() {  # pixels of colour r g b
  pixels | awk -v r="$1" -v g="$2" -v b="$3" '$3 == r && $4 == g && $5 == b { n++ } END { print n + 0 }'
}
# Where the picture is drawn: three points a quarter, a half and three
# quarters along its diagonal.
clicks=$(pixels | awk '$3 == 77 && $4 == 77 && $5 == 77 {
    if (n++ == 0) { x0 = x1 = $1; y0 = y1 = $2 }
    if ($1 < x0) x0 = $1; if ($1 > x1) x1 = $1; if ($2 < y0) y0 = $2; if ($2 > y1) y1 = $2
  } END { if (n > 20000) for (f = 1; f <= 3; ++f) printf "%d %d\n", x0 + f * (x1 - x0) / 4, y0 + f * (y1 - y0) / 4 }')
[ -n "$clicks" ] || fail "the picture is not on the screen"

xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
while read -r x y; do
  xdotool mousemove --window "$wid" "$x" "$y" click 1
  sleep 0.2
done <<<"$clicks"
three=$(count 0 255 0)
[ "$three" -gt 30 ] || fail "three clicks show $three green pixels"

xdotool key Delete
sleep 0.5
two=$(count 0 255 0)
[ "$two" -lt "$three" ] && [ "$two" -gt $((three / 2)) ] ||
  fail "Delete: $three green pixels became $two, not two points of three"

xdotool key ctrl+z
sleep 0.5
again=$(count 0 255 0)
[ "$again" -eq "$three" ] || fail "Ctrl+Z: $two green pixels became $again, not the $three of three points"

xdotool key ctrl+o
dialog_up() { xdotool search --onlyvisible --name '^Load Image$' >/dev/null 2>&1; }
wait_for 50 dialog_up || fail "Ctrl+O opened no \"Load Image\" dialog"
xdotool key Escape
dialog_gone() { ! dialog_up; }
wait_for 50 dialog_gone || fail "the dialog did not close on Escape"
kill -0 "$app_pid" 2>/dev/null || fail "tessaly ended"
# Once the window has repainted where the dialog was.
unchanged() { [ "$(count 0 255 0)" -eq "$three" ]; }
wait_for 30 unchanged || fail "cancelling the dialog changed the points: $(count 0 255 0) green pixels"
echo "ok: tessaly FILE shows it and names it; Delete, Ctrl+Z and Ctrl+O did their work"
