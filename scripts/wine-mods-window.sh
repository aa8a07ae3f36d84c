#!/usr/bin/env bash
# The Windows installed-mods window under Wine on a virtual X screen: installs two demo mods
# into one game folder with dfmod.exe run (the demo mod, then a small one that packs into
# the same archive), opens DFModInstaller.exe --installed-mods, removes the older mod by
# clicks and keys (its row, Remove, Yes, OK), closes the window and checks that the game
# folder then equals a fresh install of the newer mod alone by the Linux dfmod: the
# archive's live entries and the loose files. Screenshots go to BUILD/wine-mods-window/shots/.
# Every wait is bounded.
# Usage: bash scripts/wine-mods-window.sh BUILD_DIR   (the windows preset's build folder)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/virtual-screen.sh
BUILD=$PWD/${1:?the windows build folder}
OUT=$BUILD/wine-mods-window
export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix}
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
DFMOD=$PWD/build/dev/dfmod
TITLE="Installed Mods - DF Mod Installer"
# The game folder and the restore points of this test, inside the prefix.
GAME=$WINEPREFIX/drive_c/Games/Mods
POINTS=$WINEPREFIX/drive_c/ModsRestore
begin_x_window_test wine-mods-window
trap 'stop_pids; rm -rf "$GAMES"
  timeout -k 5 30 wineserver -k >/dev/null 2>&1 || true' EXIT
shot() { sleep 1; import -window root "$OUT/shots/$1.png"; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
# Runs a Windows program of the build with the restore points of this test.
WINE_RUN=$PWD/scripts/wine-run.sh
win() { DFMOD_RESTORE_DIR='C:\ModsRestore' bash "$WINE_RUN" "$@"; }
# Presses Enter in message box $1 (its default button, Yes or OK) until it has gone.
enter() {
  for _ in $(seq 20); do
    xdotool windowactivate --sync "$1" key --clearmodifiers Return 2>/dev/null || return 0
    sleep 0.5
    xdotool search --onlyvisible --name "^Remove Mod\$" | grep -qx "$1" || return 0
  done
  fail "message box $1 does not take Enter"
}

# The demo mod and Night Ops (a mission file and an entry of the same archive) as Windows
# installers, and as Linux ones for the reference.
[ -x "$DFMOD" ] || { cmake --preset dev >/dev/null && cmake --build --preset dev --target dfmod; }
cp -r demo/mod "$OUT/mod"
python3 demo/make_demo_files.py mod "$OUT/mod" >/dev/null
mkdir -p "$OUT/night"
printf 'Mod_Name "Night Ops"\r\nDf_Version 3\r\nCopy night.bms Kyv_DF3_Location\r\nPack night.pcx Kyv_DF3_Location\\Dflw.pff\r\n' \
  >"$OUT/night/Control.ini"
echo "night mission" >"$OUT/night/night.bms"
head -c 3000 /dev/zero | tr '\0' 'n' >"$OUT/night/night.pcx"
"$DFMOD" build --mod "$OUT/mod" --stub "$BUILD/DFModInstaller.exe" -o "$OUT/DryCreekSetup.exe" >/dev/null
"$DFMOD" build --mod "$OUT/night" --stub "$BUILD/DFModInstaller.exe" -o "$OUT/NightSetup.exe" >/dev/null
"$DFMOD" build --mod "$OUT/night" -o "$OUT/NightSetup" >/dev/null

# Both into the prefix's game folder, headless; the newer alone into the reference folder.
rm -rf "$GAME" "$POINTS"
python3 demo/make_demo_files.py game "$GAME" >/dev/null
python3 demo/make_demo_files.py game "$GAMES/game-ref" >/dev/null
timeout -k 5 30 wineserver -k >/dev/null 2>&1 || true
for setup in DryCreekSetup NightSetup; do
  (cd "$OUT" && win "$BUILD/dfmod.exe" run "$setup.exe" --game-folder '3=C:\Games\Mods' \
    >"$OUT/$setup.out" 2>&1) || fail "$setup did not install under Wine"
done
(cd "$OUT" && "$DFMOD" run NightSetup --game-folder "3=$GAMES/game-ref" --no-restore-point \
  --restore-dir "$OUT/ref-points" >/dev/null 2>&1) || fail "the reference install failed"
# Wine's processes started without a display would keep the window from opening.
timeout -k 5 30 wineserver -k >/dev/null 2>&1 || true
cp /usr/share/wine/fonts/{marlett,tahoma,tahomabd}.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true

start_virtual_screen "$OUT" 1024x768x24
(DFM_WINE_TIMEOUT=300 win "$BUILD/DFModInstaller.exe" --installed-mods >"$OUT/window.out" 2>&1) &
pids+=($!)
main=$(window "$TITLE")
shot 1-list
# The third line: the older install, below its folder's heading and the newer one (a
# click while the window still paints may be lost; a second one on the row changes nothing).
for _ in 1 2; do click "$main" 150 64; sleep 1; done
shot 2-selected
click "$main" 605 396  # Remove
box=$(window "Remove Mod")
shot 3-question
enter "$box"
box=$(window "Remove Mod")
shot 4-removed
enter "$box"
shot 5-refreshed
# Escape: Close.
escape_from "$main" "^$TITLE\$"

"$DFMOD" pff extract "$GAME/Dflw.pff" -o "$OUT/x-win" >/dev/null
"$DFMOD" pff extract "$GAMES/game-ref/Dflw.pff" -o "$OUT/x-ref" >/dev/null
diff -r "$OUT/x-win" "$OUT/x-ref" >/dev/null || fail "Dflw.pff's live entries differ"
diff -r -x Dflw.pff "$GAME" "$GAMES/game-ref" >/dev/null || fail "the game folders differ"
DFMOD_RESTORE_DIR=$POINTS "$DFMOD" restore --list 2>/dev/null | grep -q "  undone  Operation Dry Creek" ||
  fail "the demo mod's restore point is not undone"
echo "wine-mods-window: ok (screenshots in $OUT/shots)"
