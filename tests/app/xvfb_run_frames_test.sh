#!/usr/bin/env bash
# A run at speed Normal seen on a real (virtual) X display: a counter
# outside the program reads the image's part of the window back at every
# damage the server reports, and must see at least 50 different pictures
# that each stayed at least 5 ms, spread over at least a second.  (The whole
# run at once also gives many pictures, but in a burst of a few ms each.)
#   xvfb_run_frames_test.sh path/to/tessaly path/to/xvfb_frame_counter
# Exits 77 (skipped) when Xvfb, xdotool or ImageMagick's import is missing.
set -u

bin=${1:?usage: xvfb_run_frames_test.sh path/to/tessaly path/to/xvfb_frame_counter}
counter=${2:?usage: xvfb_run_frames_test.sh path/to/tessaly path/to/xvfb_frame_counter}
. "$(dirname "$0")/xvfb_session.sh"
require_tools Xvfb xdotool import awk
start_tessaly "$bin" 1024x768x24
sleep 0.5
click_around_disc

# Focus is on the viewer after the clicks; two Tabs reach "Run Snake".
xdotool key --window "$wid" Tab Tab
"$counter" "$wid" "$x0" "$y0" $((x1 - x0 + 1)) $((y1 - y0 + 1)) 60 2000 >"$tmp/frames" 2>"$tmp/counter.log" &
counter_pid=$!
ready() { grep -q '^ready$' "$tmp/frames"; }
wait_for 100 ready || fail "the frame counter did not start: $(cat "$tmp/counter.log")"
xdotool key --window "$wid" space

# The counter ends two seconds after the last new picture.
counted() { ! kill -0 "$counter_pid" 2>/dev/null; }
wait_for 700 counted || fail "the frame counter did not end"
wait "$counter_pid" || fail "the frame counter failed: $(cat "$tmp/counter.log")"
read -r frames held ms <<<"$(tail -n 1 "$tmp/frames")"
echo "pictures seen during the run: $frames over $ms ms, $held of them for 5 ms or more"
[ "$held" -ge 50 ] || fail "only $held pictures stayed 5 ms during the run"
[ "$ms" -ge 1000 ] || fail "the run was over in $ms ms"
kill -0 "$app_pid" 2>/dev/null || fail "tessaly ended during the run"
echo "ok: a run at speed Normal showed $held pictures for 5 ms or more, over $ms ms"
