#!/usr/bin/env bash
# The installer's window under a virtual X server: installs the demo mod by clicking
# Install, checks that the log and the game folder equal what `dfmod run` makes of the same
# installer, watches the credits scroll, tries the quit guard during an install (No, then
# Yes), and scrolls 5,000 lines of credits to their last line. Screenshots go to BUILD/gui-smoke/. Every wait is bounded.
# Usage: bash scripts/gui-smoke.sh [BUILD_DIR]   (default build/dev)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/virtual-screen.sh
source scripts/long-credits.sh
BUILD=${1:-build/dev}
OUT=$PWD/$BUILD/gui-smoke
DFMOD=$PWD/$BUILD/dfmod
begin_x_window_test gui-smoke

# The id of the first visible window whose title contains $1 (within 30 s).
titled() {
  local id
  id=$(timeout 30 xdotool search --sync --onlyvisible --name "$1" | head -n 1) || true
  [ -n "$id" ] || fail "no window titled like '$1'"
  echo "$id"
}
gone() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
grab() { import -window root "ppm:$1"; }
# A screenshot once the screen has stopped changing (at most 4 s).
shot() {
  grab "$OUT/a.ppm"
  for _ in $(seq 40); do
    sleep 0.1
    grab "$OUT/b.ppm"
    cmp -s "$OUT/a.ppm" "$OUT/b.ppm" && break
    mv "$OUT/b.ppm" "$OUT/a.ppm"
  done
  import -window root "$OUT/shots/$1.png"
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
# Clicks button $2 (0 = the first) of the $3 buttons of message box $1 until the box has
# gone: a click that comes before the box takes input is lost, so it is given again.
# shellcheck disable=SC2153 # WIDTH and HEIGHT come from getwindowgeometry
answer() {
  for _ in $(seq 10); do
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)" || return 0
    local x0=$(((WIDTH - ($3 * 85 - 10)) / 2))
    xdotool windowraise "$1" || true  # the window manager may have put it below the main window
    click "$1" $((x0 + $2 * 85 + 37)) $((HEIGHT - 21)) || true
    for _ in $(seq 20); do
      xdotool search --onlyvisible --name "^DF Mod Installer\$" | grep -qx "$1" || return 0
      sleep 0.1
    done
  done
  fail "message box $1 does not take the answer"
}
# Clicks the close button of window $1's title bar (the window manager's default theme puts
# it 11 pixels left of the right edge and 11 above the client area).
close_window() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove --window "$1" "$((WIDTH - 11))" -11 click 1
}
# Closes window $1 during an install and prints the id of the question this asks; a click
# that comes while the window is busy repainting may be lost, so it is given again.
close_and_ask() {
  local id
  for _ in 1 2 3; do
    close_window "$1"
    id=$(timeout 10 xdotool search --sync --onlyvisible --name "^DF Mod Installer\$" | head -n 1) || true
    if [ -n "$id" ]; then
      grep -qs "Installation Completed!" "$GAMES/slow/InstallLog.txt" &&
        fail "the install ended before the close request"
      echo "$id"
      return 0
    fi
  done
  fail "closing the window asks nothing"
}
running() { kill -0 "$1" 2>/dev/null; }

# The demo mod's installer, twice, and a slow mod for the quit guard: 50,000 lines, so that
# even an idle machine is still installing when the close request comes.
cp -r demo/mod "$OUT/mod"
python3 demo/make_demo_files.py mod "$OUT/mod" >/dev/null
mkdir -p "$OUT/ref" "$OUT/win" "$OUT/slow-mod" "$GAMES/slow"
"$DFMOD" build --mod "$OUT/mod" -o "$OUT/ref/Setup" >/dev/null
cp "$OUT/ref/Setup" "$OUT/win/Setup"
{
  printf 'Window_Caption "Slow Mod Setup"\r\nDf_Version 3\r\n'
  awk 'BEGIN { for (i = 0; i < 50000; i++) printf "Delete gone.txt\r\n" }'
} >"$OUT/slow-mod/Control.ini"
"$DFMOD" build --mod "$OUT/slow-mod" -o "$GAMES/slow/Setup" >/dev/null

# What `dfmod run` does, in the game folder the window will use afterwards.
python3 demo/make_demo_files.py game "$GAMES/game" >/dev/null
(cd "$OUT" && "$DFMOD" run ref/Setup --game-folder "3=$GAMES/game" >/dev/null 2>&1)
mv "$GAMES/game" "$GAMES/game-ref"
python3 demo/make_demo_files.py game "$GAMES/game" >/dev/null

# A virtual screen with a window manager (title bars with a close button).
start_virtual_screen "$OUT" 800x600x24

# Install the demo mod through the window.
"$OUT/win/Setup" --game-folder "3=$GAMES/game" >"$OUT/win.out" 2>&1 &
installer=$!
pids+=($installer)
main=$(window "Operation Dry Creek - Mod Installer")
shot 1-ready
# Escape in the main window neither asks nor ends anything.
keys "$main" Escape
sleep 1
running "$installer" && gone "DF Mod Installer" || fail "Escape in the main window did something"

# About: the credits scroll. The click leaves the focus on About, and it comes back there
# when the credits close.
click "$main" 458 22
credits=$(window "Credits:")
grab "$OUT/c1.ppm"
wait_for 30 "the credits to move" sh -c "sleep 0.5; import -window root ppm:'$OUT/c2.ppm'; ! cmp -s '$OUT/c1.ppm' '$OUT/c2.ppm'"
import -window root "$OUT/shots/3-credits.png"
# The window manager's hints: both windows of fixed size, the main window without the
# maximise function (Motif: all but resize and maximise), the credits a dialog that is
# only moved and closed, with border, title and window menu.
while IFS='|' read -r which want; do
  xprop -id "${!which}" _NET_WM_WINDOW_TYPE _MOTIF_WM_HINTS WM_NORMAL_HINTS | grep -qF "$want" ||
    fail "the $which window's hints lack '$want'"
done <<'EOF'
main|_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x1, 0x13, 0x1,
main|program specified minimum size: 481 by 116
main|program specified maximum size: 481 by 116
credits|_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DIALOG
credits|_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x24, 0x1a,
credits|program specified minimum size: 481 by 292
credits|program specified maximum size: 481 by 292
EOF
close_window "$credits"
wait_for 30 "the credits to close" gone "Credits:"

# Tab walks Change, the status list, Install, About; Enter presses the focused button:
# Change opens the folder browser (Escape cancels it, the focus stays), Install installs.
keys "$main" Tab Return
chooser=$(titled "Delta Force 3 Folder")
escape_from "$chooser" 'Delta Force 3 Folder'
keys "$main" Tab Tab Return
box=$(window "DF Mod Installer")
shot 2-installed
answer "$box" 0 1
cmp <(tail -n +3 "$OUT/win/InstallLog.txt") <(tail -n +3 "$OUT/ref/InstallLog.txt") ||
  fail "the window's log differs from dfmod run's"
"$DFMOD" pff list "$GAMES/game/Dflw.pff" | awk '{$5=""; print}' >"$OUT/pff-win.txt"
"$DFMOD" pff list "$GAMES/game-ref/Dflw.pff" | awk '{$5=""; print}' >"$OUT/pff-ref.txt"
cmp -s "$OUT/pff-win.txt" "$OUT/pff-ref.txt" || fail "Dflw.pff's directories differ"
"$DFMOD" pff extract "$GAMES/game/Dflw.pff" -o "$OUT/x-win" >/dev/null
"$DFMOD" pff extract "$GAMES/game-ref/Dflw.pff" -o "$OUT/x-ref" >/dev/null
diff -r "$OUT/x-win" "$OUT/x-ref" >/dev/null || fail "Dflw.pff's entries differ"
diff -r -x Dflw.pff "$GAMES/game" "$GAMES/game-ref" >/dev/null || fail "the game folders differ"
click "$main" 444 66  # Finished
wait_for 30 "the installer to end after Finished" sh -c "! kill -0 $installer"
wait "$installer" || fail "the installer ended with $? after Finished"

# The quit guard: closing during an install asks; No goes on, Yes ends before the next line.
mkdir -p "$GAMES/game2"
"$GAMES/slow/Setup" --game-folder "3=$GAMES/game2" >"$OUT/slow.out" 2>&1 &
installer=$!
pids+=($installer)
main=$(window "Slow Mod Setup")
click "$main" 436 100
wait_for 60 "the window to expand" sh -c "xdotool getwindowgeometry --shell $main | grep -qx HEIGHT=289"
box=$(close_and_ask "$main")
shot 4-quit-question
answer "$box" 1 2  # No
running "$installer" || fail "No ended the installer"
box=$(close_and_ask "$main")
answer "$box" 0 2  # Yes
wait_for 60 "the installer to end after Yes" sh -c "! kill -0 $installer"
rc=0
wait "$installer" || rc=$?
[ "$rc" -eq 2 ] || fail "the quit installer ended with $rc"
grep -q "Installation Completed!" "$GAMES/slow/InstallLog.txt" && fail "the install ran to its end"

# 5,000 lines of credits, scrolled fast through the test hook: the last line comes into view.
long_credits_mod "$OUT/long-mod"
mkdir -p "$OUT/long"
"$DFMOD" build --mod "$OUT/long-mod" -o "$OUT/long/Setup" >/dev/null
DFMOD_CREDITS_SPEED=50 "$OUT/long/Setup" --game-folder "3=$GAMES/game" >"$OUT/long.out" 2>&1 &
installer=$!
pids+=($installer)
main=$(window "Long Credits Setup")
click "$main" 458 22
credits=$(window "Credits:")
wait_for_last_credit_line "$credits" 5-long-credits
close_window "$credits"
wait_for 30 "the long credits to close" gone "Credits:"
close_window "$main"
wait_for 30 "the long credits' installer to end" sh -c "! kill -0 $installer"
echo "gui-smoke: ok (screenshots in $OUT/shots)"
