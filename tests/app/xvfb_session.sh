# Shared by the real-display tests: sourced, not run.
#   require_tools TOOL...        exit 77 (skipped) when one is missing
#   start_tessaly BIN WxHxD [ARG...]
#                                a private Xvfb, then BIN ARG... on it; sets $wid
#   pixels                       the window's pixels as "x y r g b" lines
#   image_box                    where the start image is drawn, "x0 y0 x1 y1"
#   to_window WX WY              an image pixel's window pixel, "x y", in the
#                                box x0 y0 x1 y1 (set from image_box)
#   click_around_disc            sets x0 y0 x1 y1, then three clicks around the
#                                start image's disc
# Sets up $tmp, fail, wait_for and the clean-up on exit.

require_tools() {
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "skipped: $tool is not installed"
      exit 77
    fi
  done
}

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

# Polls every 0.1 s for at most $1 tenths of a second.
wait_for() {
  local tenths=$1
  shift
  for ((k = 0; k < tenths; ++k)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

find_window() {
  wid=$(xdotool search --onlyvisible --class tessaly 2>/dev/null | head -n 1)
  [ -n "$wid" ]
}

start_tessaly() {
  local bin=$1 screen=$2
  shift 2
  # -displayfd lets the server pick a free display number, so parallel runs
  # do not collide.
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
  xvfb_pid=$!
  wait_for 100 test -s "$tmp/display" || fail "Xvfb did not start: $(cat "$tmp/xvfb.log")"
  export DISPLAY=":$(head -n 1 "$tmp/display")"
  export QT_QPA_PLATFORM=xcb

  "$bin" "$@" >"$tmp/app.log" 2>&1 &
  app_pid=$!
  wait_for 150 find_window || fail "no tessaly window appeared on $DISPLAY"
}

pixels() {
  import -window "$wid" -depth 8 "txt:$tmp/shot.txt" 2>>"$tmp/import.log" || return 1
  awk -F'[,:() ]+' 'NR > 1 { print $1, $2, $3, $4, $5 }' "$tmp/shot.txt"
}

# Where the start image is drawn, as "x0 y0 x1 y1" in window pixels: the
# box of its dark ground (grey 30) inside the viewer, whose own ground is
# dark green (text anti-aliasing above and below can give grey 30 too).
image_box() {
  pixels >"$tmp/pixels" || return 1
  awk 'NR == FNR {
      if ($3 == 10 && $4 == 100 && $5 == 10) {
        if (g++ == 0) top = bottom = $2
        if ($2 < top) top = $2
        if ($2 > bottom) bottom = $2
      }
      next
    }
    g && $2 >= top && $2 <= bottom && $3 == 30 && $4 == 30 && $5 == 30 {
      if (n++ == 0) { x0 = x1 = $1; y0 = y1 = $2 }
      if ($1 < x0) x0 = $1; if ($1 > x1) x1 = $1
      if ($2 < y0) y0 = $2; if ($2 > y1) y1 = $2
    } END { if (n) print x0, y0, x1, y1 }' "$tmp/pixels" "$tmp/pixels"
}

# World point (image pixel) to window pixel: the 250 x 250 image fills the box.
to_window() {
  awk -v wx="$1" -v wy="$2" -v x0="$x0" -v y0="$y0" -v x1="$x1" -v y1="$y1" 'BEGIN {
    sx = (x1 - x0 + 1) / 250.0; sy = (y1 - y0 + 1) / 250.0
    printf "%d %d\n", x0 + (wx + 0.5) * sx, y0 + (wy + 0.5) * sy }'
}

click_around_disc() {
  local box p x y
  box=$(image_box)
  [ -n "$box" ] || fail "the start image is not on the screen"
  read -r x0 y0 x1 y1 <<<"$box"
  echo "start image drawn at ($x0,$y0)-($x1,$y1)"
  for p in "170 70" "230 160" "120 170"; do
    read -r x y <<<"$(to_window $p)"
    xdotool mousemove --window "$wid" "$x" "$y" click 1 || fail "cannot click at $x,$y"
    sleep 0.2
  done
}
