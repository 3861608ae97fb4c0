#!/usr/bin/env bash
# Starts the real tessaly binary on a virtual X display, checks that its
# window appears at (100, 100) with 300 x 300 pixels, quits it through
# File -> Quit and expects the program to return 0.
# Exits 77 (skipped) when Xvfb or xdotool is not installed.
set -u

bin=${1:?usage: xvfb_smoke_test.sh path/to/tessaly}
for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done

tmp=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -s "$tmp/app.log" ] && sed 's/^/  tessaly: /' "$tmp/app.log"
  exit 1
}

# Wait for a condition, polling every 0.1 s, for at most $1 tenths of a second.
wait_for() {
  local tenths=$1
  shift
  for ((k = 0; k < tenths; ++k)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# -displayfd lets the server pick a free display number, so parallel runs
# do not collide.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
wait_for 100 test -s "$tmp/display" || fail "Xvfb did not start: $(cat "$tmp/xvfb.log")"
export DISPLAY=":$(head -n 1 "$tmp/display")"
export QT_QPA_PLATFORM=xcb

"$bin" >"$tmp/app.log" 2>&1 &
app_pid=$!

find_window() {
  wid=$(xdotool search --onlyvisible --class tessaly 2>/dev/null | head -n 1)
  [ -n "$wid" ]
}
wait_for 150 find_window || fail "no tessaly window appeared on $DISPLAY"

geometry=$(xdotool getwindowgeometry --shell "$wid")
eval "$geometry"
[ "$X,$Y,$WIDTH,$HEIGHT" = "100,100,300,300" ] ||
  fail "window at $X,$Y with ${WIDTH}x$HEIGHT, expected 100,100 with 300x300"

# Alt+F opens "&File" with its first item active; two steps down is "Quit".
xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
sleep 0.3
xdotool key alt+f
sleep 0.3
xdotool key Down Down Return

exited() { ! kill -0 "$app_pid" 2>/dev/null; }
wait_for 100 exited || fail "File -> Quit did not end tessaly"
wait "$app_pid"
rc=$?
app_pid=
[ "$rc" -eq 0 ] || fail "tessaly returned $rc"
echo "ok: window at 100,100 with 300x300 on $DISPLAY; File -> Quit returned 0"
