#!/usr/bin/env bash
# The installed-mods window under a virtual X screen: installs two demo mods into one game
# folder (the demo mod, then a small one that packs into the same archive), opens the
# window with DFModInstaller --installed-mods, removes the older mod by clicks (its row,
# Remove, Yes, OK) and checks that the game folder then equals a fresh install of the newer
# mod alone: the archive's live entries and the loose files. Screenshots go to
# BUILD/mods-window/shots/. Every wait is bounded.
# Usage: bash scripts/mods-window-smoke.sh [BUILD_DIR]   (default build/dev)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/virtual-screen.sh
BUILD=${1:-build/dev}
OUT=$PWD/$BUILD/mods-window
DFMOD=$PWD/$BUILD/dfmod
INSTALLER=$PWD/$BUILD/DFModInstaller
TITLE="Installed Mods - DF Mod Installer"
begin_x_window_test mods-window-smoke
shot() { sleep 0.5; import -window root "$OUT/shots/$1.png"; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
# Presses Enter in message box $1 (its first button, Yes or OK) until it has gone.
enter() {
  for _ in $(seq 10); do
    xdotool windowactivate --sync "$1" key Return 2>/dev/null || return 0
    for _ in $(seq 20); do
      xdotool search --onlyvisible --name "^Remove Mod\$" | grep -qx "$1" || return 0
      sleep 0.1
    done
  done
  fail "message box $1 does not take Enter"
}

# The demo mod, and Night Ops: a mission file and an entry of the same archive.
cp -r demo/mod "$OUT/mod"
python3 demo/make_demo_files.py mod "$OUT/mod" >/dev/null
"$DFMOD" build --mod "$OUT/mod" -o "$OUT/DryCreekSetup" >/dev/null
mkdir -p "$OUT/night"
printf 'Mod_Name "Night Ops"\r\nDf_Version 3\r\nCopy night.bms Kyv_DF3_Location\r\nPack night.pcx Kyv_DF3_Location\\Dflw.pff\r\n' \
  >"$OUT/night/Control.ini"
echo "night mission" >"$OUT/night/night.bms"
head -c 3000 /dev/zero | tr '\0' 'n' >"$OUT/night/night.pcx"
"$DFMOD" build --mod "$OUT/night" -o "$OUT/NightSetup" >/dev/null

# Both into the game folder; the newer alone into the reference folder.
for g in game game-ref; do python3 demo/make_demo_files.py game "$GAMES/$g" >/dev/null; done
(cd "$OUT" && "$DFMOD" run DryCreekSetup --game-folder "3=$GAMES/game" >/dev/null 2>&1) ||
  fail "the demo mod did not install"
(cd "$OUT" && "$DFMOD" run NightSetup --game-folder "3=$GAMES/game" >/dev/null 2>&1) ||
  fail "Night Ops did not install"
(cd "$OUT" && "$DFMOD" run NightSetup --game-folder "3=$GAMES/game-ref" --no-restore-point \
  --restore-dir "$OUT/ref-points" >/dev/null 2>&1) || fail "the reference install failed"

start_virtual_screen "$OUT" 1024x600x24
"$INSTALLER" --installed-mods >"$OUT/window.out" 2>&1 &
pids+=($!)
main=$(window "$TITLE")
shot 1-list
click "$main" 200 70  # the third line: the older install, below its folder and the newer one
click "$main" 645 396  # Remove
box=$(window "Remove Mod")
shot 2-question
enter "$box"
box=$(window "Remove Mod")
shot 3-removed
enter "$box"
shot 4-refreshed
click "$main" 845 396  # Close
wait_for 30 "the window to close" sh -c "! xdotool search --onlyvisible --name '^$TITLE\$'"

"$DFMOD" restore --list 2>/dev/null | grep -q "  undone  Operation Dry Creek" ||
  fail "the demo mod's restore point is not undone"
"$DFMOD" pff extract "$GAMES/game/Dflw.pff" -o "$OUT/x-win" >/dev/null
"$DFMOD" pff extract "$GAMES/game-ref/Dflw.pff" -o "$OUT/x-ref" >/dev/null
diff -r "$OUT/x-win" "$OUT/x-ref" >/dev/null || fail "Dflw.pff's live entries differ"
diff -r -x Dflw.pff "$GAMES/game" "$GAMES/game-ref" >/dev/null || fail "the game folders differ"
echo "mods-window-smoke: ok (screenshots in $OUT/shots)"
