#!/usr/bin/env bash
# The Windows installer's window under Wine on a virtual X screen: builds the demo mod's
# Windows installer with the Linux dfmod, names the demo game's folder in the prefix's App
# Paths key, starts the installer, clicks Install, answers the closing message, opens and
# closes the credits and presses Finished. The log (from its third line: the first two hold
# the date; paths into the game folder spelled alike) and the game folder, the archive's
# entries included, must equal what the Linux `dfmod run` makes of the same mod. Then a mod
# with 5,000 lines of credits scrolls them to their last line. Screenshots go to BUILD/wine-e2e/shots/. Every wait is bounded.
# Usage: bash scripts/wine-e2e.sh BUILD_DIR   (the windows preset's build folder)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/virtual-screen.sh
source scripts/long-credits.sh
BUILD=$PWD/${1:?the windows build folder}
OUT=$BUILD/wine-e2e
export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix}
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
DFMOD=$PWD/build/dev/dfmod
GAME=$WINEPREFIX/drive_c/Games/DFLW
pids=()
cleanup() {
  stop_pids
  timeout -k 5 30 wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT
fail() {
  echo "wine-e2e: $*" >&2
  import -window root "$OUT/shots/failure.png" 2>/dev/null || true
  echo "--- windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|')" >&2
  exit 1
}
wait_for() {  # SECONDS WHAT COMMAND...: polls every 0.2 s
  local secs=$1 what=$2
  shift 2
  for _ in $(seq $((secs * 5))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.2; done
  fail "timed out after ${secs}s waiting for $what"
}
window() {  # the id of the visible window titled exactly $1, within 120 s
  local id
  for _ in $(seq 12); do
    id=$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
  done
  fail "no window '$1'"
}
# Clicks About in $main until the credits window shows and prints its id. A click while
# the window still paints may be lost.
open_credits() {
  local id
  for _ in $(seq 10); do
    click "$main" 458 22
    id=$(timeout 15 xdotool search --sync --onlyvisible --name '^Credits:$' | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
  done
  return 1
}
shot() { sleep 1; import -window root "$OUT/shots/$1.png"; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
# Answers message box $1 with Return until it has gone (a key that comes before the box
# takes input is lost).
answer() {
  for _ in $(seq 20); do
    xdotool windowactivate --sync "$1" key --clearmodifiers Return 2>/dev/null || true
    sleep 0.5
    xdotool search --onlyvisible --name "^DF Mod Installer\$" | grep -qx "$1" || return 0
  done
  fail "message box $1 takes no answer"
}

# The installer and the Linux run of the same mod.
[ -x "$DFMOD" ] || { cmake --preset dev >/dev/null && cmake --build --preset dev --target dfmod; }
rm -rf "$OUT" "$GAME"
mkdir -p "$OUT/shots" "$OUT/ref" "$OUT/win"
cp -r demo/mod "$OUT/mod"
python3 demo/make_demo_files.py mod "$OUT/mod" >/dev/null
"$DFMOD" build --mod "$OUT/mod" -o "$OUT/ref/Setup" >/dev/null
"$DFMOD" build --mod "$OUT/mod" --stub "$BUILD/DFModInstaller.exe" -o "$OUT/win/Setup.exe" >/dev/null
python3 demo/make_demo_files.py game "$OUT/game-ref" >/dev/null
(cd "$OUT" && "$DFMOD" run ref/Setup --game-folder "3=$OUT/game-ref" >/dev/null 2>&1)

# The prefix: the game's App Paths key, and Wine's fonts for the title bars' buttons.
bash scripts/wine-run.sh reg add \
  'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\dflw.exe' /v Path /d 'C:\Games\DFLW' /f >/dev/null
python3 demo/make_demo_files.py game "$GAME" >/dev/null
cp /usr/share/wine/fonts/{marlett,tahoma,tahomabd}.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true

# Wine's processes started without a display (the tests, reg) would keep the windows from
# opening: they end first.
timeout -k 5 30 wineserver -k >/dev/null 2>&1 || true

# A virtual screen with a window manager (title bars, and windows xdotool can find).
start_virtual_screen "$OUT" 1024x768x24

(cd "$OUT/win" && DFM_WINE_TIMEOUT=300 bash "$OLDPWD/scripts/wine-run.sh" Setup.exe >"$OUT/win.out" 2>&1) &
installer=$!
pids+=($installer)
main=$(window "Operation Dry Creek - Mod Installer")
shot 1-ready
# Escape in the main window neither asks nor ends anything.
keys "$main" Escape
sleep 2
kill -0 "$installer" && ! xdotool search --onlyvisible --name '^DF Mod Installer$' >/dev/null ||
  fail "Escape in the main window did something"
# About (it keeps the focus): the credits scroll until their window is closed. A click while
# the window still paints may be lost.
credits=$(open_credits) || fail "About shows no credits"
shot 4-credits
# The close button of the title bar, which Wine draws itself for a tool window.
eval "$(xdotool getwindowgeometry --shell "$credits")"
for _ in $(seq 10); do
  click "$credits" $((WIDTH - 10)) 9 || true
  sleep 1
  xdotool search --onlyvisible --name '^Credits:$' >/dev/null || break
done
wait_for 10 "the credits to close" sh -c "! xdotool search --onlyvisible --name '^Credits:\$'"
# Tab walks Change, the status list, Install, About; Enter presses the focused button:
# Change opens the folder browser (Escape cancels it, the focus stays), Install installs.
keys "$main" Tab Return
chooser=$(window "Browse for Folder")
escape_from "$chooser" '^Browse for Folder$'
keys "$main" Tab Tab Return
box=$(window "DF Mod Installer")
shot 2-installed
answer "$box"
shot 3-finished
for _ in $(seq 10); do  # Finished
  click "$main" 444 66
  sleep 1
  kill -0 "$installer" 2>/dev/null || break
done
wait_for 60 "the installer to end" sh -c "! kill -0 $installer"
rc=0
wait "$installer" || rc=$?
[ "$rc" -eq 0 ] || fail "the installer ended with $rc"

# The same log and the same game folder as the Linux run.
# Paths into the game folder read GAME/ in both logs.
log() { tail -n +3 "$1" | sed "s|$2|GAME/|g"; }
cmp <(log "$OUT/win/InstallLog.txt" 'C:\\Games\\DFLW\\') <(log "$OUT/ref/InstallLog.txt" "$OUT/game-ref/") ||
  fail "the log differs from dfmod run's"
for g in DFLW game-ref; do
  dir=$GAME
  [ "$g" = DFLW ] || dir=$OUT/$g
  "$DFMOD" pff list "$dir/Dflw.pff" | awk '{$5=""; print}' >"$OUT/pff-$g.txt"
  "$DFMOD" pff extract "$dir/Dflw.pff" -o "$OUT/x-$g" >/dev/null
done
cmp -s "$OUT/pff-DFLW.txt" "$OUT/pff-game-ref.txt" || fail "Dflw.pff's directories differ"
diff -r "$OUT/x-DFLW" "$OUT/x-game-ref" >/dev/null || fail "Dflw.pff's entries differ"
diff -r -x Dflw.pff "$GAME" "$OUT/game-ref" >/dev/null || fail "the game folders differ"

# 5,000 lines of credits, scrolled fast through the test hook: the last line comes into view.
long_credits_mod "$OUT/long-mod"
mkdir -p "$OUT/long"
"$DFMOD" build --mod "$OUT/long-mod" --stub "$BUILD/DFModInstaller.exe" -o "$OUT/long/Setup.exe" >/dev/null
(cd "$OUT/long" && DFMOD_CREDITS_SPEED=50 DFM_WINE_TIMEOUT=300 bash "$OLDPWD/scripts/wine-run.sh" Setup.exe >"$OUT/long.out" 2>&1) &
pids+=($!)
main=$(window "Long Credits Setup")
credits=$(open_credits) || fail "About shows no long credits"
wait_for_last_credit_line "$credits" 5-long-credits
echo "wine-e2e: ok (screenshots in $OUT/shots)"
