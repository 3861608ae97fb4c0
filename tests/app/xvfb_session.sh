# Shared by the real-display tests: sourced, not run.
#   require_tools TOOL...        exit 77 (skipped) when one is missing
#   start_tessaly BIN WxHxD [ARG...]
#                                a private Xvfb, then BIN ARG... on it; sets $wid
#   pixels                       the window's pixels as "x y r g b" lines
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
