#!/usr/bin/env bash
# Starts the real tessaly binary on a virtual X display, checks that its
# window appears at (100, 100) with 300 x 300 pixels, quits it through
# File -> Quit and expects the program to return 0.
# Exits 77 (skipped) when Xvfb or xdotool is not installed.
set -u

bin=${1:?usage: xvfb_smoke_test.sh path/to/tessaly}
. "$(dirname "$0")/xvfb_session.sh"
require_tools Xvfb xdotool
start_tessaly "$bin" 800x600x24

geometry=$(xdotool getwindowgeometry --shell "$wid")
eval "$geometry"
[ "$X,$Y,$WIDTH,$HEIGHT" = "100,100,300,300" ] ||
  fail "window at $X,$Y with ${WIDTH}x$HEIGHT, expected 100,100 with 300x300"

# Alt+F opens "&File" with its first item active; one step up wraps round
# to the last, "Quit".
xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
sleep 0.3
xdotool key alt+f
sleep 0.3
xdotool key Up Return

exited() { ! kill -0 "$app_pid" 2>/dev/null; }
wait_for 100 exited || fail "File -> Quit did not end tessaly"
wait "$app_pid"
rc=$?
app_pid=
[ "$rc" -eq 0 ] || fail "tessaly returned $rc"
echo "ok: window at 100,100 with 300x300 on $DISPLAY; File -> Quit returned 0"
