#!/usr/bin/env bash
# Windows' uninstall list under Wine: the demo mod installed by the Windows installer
# program without a window registers its key with every value, Wine's own uninstaller
# lists it, its QuietUninstallString removes the mod (the game folder as before) and the
# key; a second install's key goes when `dfmod.exe restore` undoes it. Every Wine call has
# a time limit (scripts/wine-run.sh).
# Usage: bash scripts/wine-uninstall.sh BUILD_DIR   (the windows preset's build folder)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=$PWD/${1:?the windows build folder}
OUT=$BUILD/wine-uninstall
export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix}
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
# No display: the installer installs without its window. The restore points go to the
# user's own folder, where the uninstall list expects them.
unset DISPLAY DFMOD_RESTORE_DIR
DFMOD=$PWD/build/dev/dfmod
GAME=$WINEPREFIX/drive_c/Games/DFUninstall
LIST='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'
NAME="Operation Dry Creek (Delta Force mod)"
fail() {
  echo "wine-uninstall: $*" >&2
  exit 1
}
wine_run() { DFM_WINE_TIMEOUT=180 bash "$ROOT/scripts/wine-run.sh" "$@" 2>&1 | tr -d '\r'; }
key_of() {  # the id of the one DFMod- key
  wine_run reg query "$LIST" | sed -n 's/.*\\DFMod-\(.*\)$/\1/p'
}
install() {
  (cd "$OUT" && wine_run Setup.exe --game-folder '3=C:\Games\DFUninstall') >"$OUT/install.out" ||
    fail "the install failed: $(cat "$OUT/install.out")"
}

[ -x "$DFMOD" ] || { cmake --preset dev >/dev/null && cmake --build --preset dev --target dfmod; }
rm -rf "$OUT" "$GAME"
mkdir -p "$OUT"
cp -r demo/mod "$OUT/mod"
python3 demo/make_demo_files.py mod "$OUT/mod" >/dev/null
"$DFMOD" build --mod "$OUT/mod" --stub "$BUILD/DFModInstaller.exe" -o "$OUT/Setup.exe" >/dev/null
python3 demo/make_demo_files.py game "$GAME" >/dev/null
cp -r "$GAME" "$OUT/game-before"
for id in $(key_of); do wine_run reg delete "$LIST\\DFMod-$id" /f >/dev/null; done

install
id=$(key_of)
[ -n "$id" ] || fail "no DFMod- key after the install"
wine_run reg query "$LIST\\DFMod-$id" >"$OUT/key.txt"
value() { sed -n "s/^ *$1 *REG_[A-Z]* *//p" "$OUT/key.txt"; }
[ "$(value DisplayName)" = "$NAME" ] || fail "DisplayName: $(value DisplayName)"
[ "$(value Publisher)" = "DF Mod Installer" ] || fail "Publisher: $(value Publisher)"
[ "$(value InstallLocation)" = 'C:\Games\DFUninstall' ] || fail "InstallLocation: $(value InstallLocation)"
[ "$(value InstallDate)" = "$(date +%Y%m%d)" ] || fail "InstallDate: $(value InstallDate)"
for v in NoModify NoRepair; do [ "$(value $v)" = 0x1 ] || fail "$v: $(value $v)"; done
for v in DisplayVersion EstimatedSize DisplayIcon UninstallString; do
  [ -n "$(value $v)" ] || fail "no $v in $(cat "$OUT/key.txt")"
done
quiet=$(value QuietUninstallString)
[ "$quiet" = "$(value UninstallString) /quiet" ] || fail "QuietUninstallString: $quiet"
wine_run uninstaller --list | grep -qF "$NAME" || fail "wine uninstaller --list does not show the mod"

# The quiet uninstall string, split as Windows splits a command line without escapes.
mapfile -t words < <(python3 -c 'import shlex,sys; print("\n".join(shlex.split(sys.argv[1], posix=False)))' "$quiet" | tr -d '"')
[ -f "$(wine_run winepath -u "${words[0]}")" ] || fail "no program copy at ${words[0]}"
wine_run "${words[@]}" >"$OUT/remove.out" || fail "the quiet removal failed: $(cat "$OUT/remove.out")"
diff -r "$GAME" "$OUT/game-before" >/dev/null || fail "the game folder differs from before the install"
[ -z "$(key_of)" ] || fail "the key stayed after the quiet removal"

install
id=$(key_of)
[ -n "$id" ] || fail "no DFMod- key after the second install"
wine_run "$BUILD/dfmod.exe" restore "$id" >"$OUT/restore.out" || fail "dfmod restore failed: $(cat "$OUT/restore.out")"
wine_run reg query "$LIST\\DFMod-$id" >/dev/null 2>&1 && fail "the key stayed after dfmod restore"
[ -z "$(key_of)" ] || fail "a DFMod- key stayed after dfmod restore"
echo "wine-uninstall: ok"
