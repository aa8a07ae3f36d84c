# Sourced by the window tests (gui-smoke.sh, mods-window-smoke.sh, wine-e2e.sh).

# wait_for SECONDS WHAT COMMAND...: polls COMMAND every 0.1 s until it succeeds; after
# SECONDS, the caller's fail says what it waited for. A caller may define its own.
wait_for() {
  local secs=$1 what=$2
  shift 2
  for _ in $(seq $((secs * 10))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  fail "timed out after ${secs}s waiting for $what"
}

# start_virtual_screen OUT SIZE: a virtual X screen of SIZE (WxHxDEPTH) with a window manager
# (title bars with a close button), its logs in OUT; exports DISPLAY. Uses wait_for
# (the caller's, where it has one) and adds the processes to its pids array.
start_virtual_screen() {
  local out=$1 size=$2
  exec 5>"$out/display"
  Xvfb -displayfd 5 -screen 0 "$size" -nolisten tcp >"$out/xvfb.log" 2>&1 &
  pids+=($!)
  wait_for 60 "the X server" test -s "$out/display"
  export DISPLAY=":$(cat "$out/display")"
  openbox --sm-disable >"$out/openbox.log" 2>&1 &
  pids+=($!)
  wait_for 60 "the window manager" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
}

# Types the keys $2... into window $1 once it has the input focus.
keys() {
  local id=$1
  shift
  xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
  sleep 0.3
  xdotool key --clearmodifiers --delay 200 "$@"
}

# Presses Escape in window $1 until no visible window's title matches $2 (a key that comes
# before the window takes input is lost); after 10 tries the caller's fail ends the test.
escape_from() {
  local id=$1 title=$2
  for _ in $(seq 10); do
    keys "$id" Escape || true
    sleep 1
    xdotool search --onlyvisible --name "$title" >/dev/null || return 0
  done
  fail "Escape leaves the window '$title' open"
}

# begin_x_window_test NAME: for a window test under a virtual X screen: a fresh $OUT with
# its shots/ folder, the restore points in $OUT, a temp folder $GAMES for the game folders
# (their paths show in the window), the pids array killed on exit, and fail, which
# keeps a screenshot, the end of each $OUT/*.out and the visible windows' titles.
begin_x_window_test() {
  TEST_NAME=$1
  rm -rf "$OUT"
  mkdir -p "$OUT/shots"
  export DFMOD_RESTORE_DIR=$OUT/restore-points
  GAMES=$(mktemp -d "${TMPDIR:-/tmp}/$TEST_NAME.XXXXXX")
  pids=()
  trap 'stop_pids; rm -rf "$GAMES"' EXIT
}

# Ends the processes in pids and waits (10 s at most each) until they are gone: an X
# server still shutting down would otherwise remove the socket of the next test's server
# on the same display number.
stop_pids() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do timeout 10 tail --pid="$p" -f /dev/null 2>/dev/null || true; done
}
fail() {
  echo "$TEST_NAME: $*" >&2
  import -window root "$OUT/shots/failure.png" 2>/dev/null || true
  for f in "$OUT"/*.out; do [ -s "$f" ] && { echo "--- $f"; tail -n 5 "$f"; } >&2; done
  echo "--- visible windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|')" >&2
  exit 1
}

# The id of the visible window whose title is exactly $1 (waits up to 60 s: CI machines
# may be busy). A window mapped while the window manager was still starting can be left
# unmapped by it: after 10 s without it, such windows are mapped again.
window() {
  local id w
  for _ in 1 2 3 4 5 6; do
    id=$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    for w in $(xdotool search --name "^$1\$"); do xdotool windowmap "$w" || true; done
  done
  fail "timed out waiting for the window '$1'"
}
