#!/usr/bin/env bash
# The installer program end to end: dfmod build puts the installer program built beside
# dfmod in front of the payload; the built installer runs its own payload headless, and
# dfmod run does the same (tests/cli/plan.sh). Checks exit codes, stdout, stderr, the log
# and the game folder; inspect's report is checked in process (RunTest).
set -euo pipefail
dfmod=$1
build_dir=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$work/no-prefix"  # no registry: the folder comes from the options
export HOME="$work/home"             # no Steam, Lutris or Bottles games either
unset DISPLAY                         # the installer runs without its window

fail() { echo "run.sh: $*" >&2; exit 1; }

mkdir -p "$work/mod" "$work/game" "$work/dl"
printf 'Mod_Name "Demo Mod"\r\nDf_Version 3\r\nCopy Notes.txt Kyv_DF3_Location\r\nMove Extra.txt Kyv_DF3_Location\r\n' \
  >"$work/mod/Control.ini"
printf 'notes' >"$work/mod/Notes.txt"
printf 'extra' >"$work/mod/Extra.txt"

"$dfmod" build --mod "$work/mod" -o "$work/dl/Setup" >/dev/null
cmp -n "$(stat -c %s "$build_dir/DFModInstaller")" "$build_dir/DFModInstaller" "$work/dl/Setup" \
  || fail "the default stub is not the installer program"
[ -x "$work/dl/Setup" ] || fail "the installer is not executable"

expected_out="Copying Notes.txt To $work/game/Notes.txt
Moving Extra.txt To $work/game/Extra.txt
2 Operations Performed!
0 Errors Occurred!
Installation Completed!"

# The installer on its own payload.
rc=0
"$work/dl/Setup" --game-folder "3=$work/game" >"$work/out" 2>"$work/err" || rc=$?
[ "$rc" -eq 0 ] || fail "installer exit $rc: $(cat "$work/err")"
[ "$(cat "$work/out")" = "$expected_out" ] || fail "installer stdout: $(cat "$work/out")"
no_window="DFModInstaller: no display, installing without a window"
[ "$(cat "$work/err")" = "$no_window
[DF Mod Installer] Installation Complete!" ] || fail "stderr: $(cat "$work/err")"
[ "$(cat "$work/game/Notes.txt")" = notes ] || fail "Notes.txt not copied"
[ -e "$work/dl/Extra.txt" ] && fail "Extra.txt not moved"
[ -e "$work/dl/Main.zip" ] && fail "Main.zip left behind"
sed -n 2p "$work/dl/InstallLog.txt" | grep -Eq $'^Log Created On [A-Za-z]+ The [0-9]{2} Of [A-Za-z]+ At [0-9]{2}:[0-9]{2}:[0-9]{2}\r$' \
  || fail "log creation line: $(sed -n 2p "$work/dl/InstallLog.txt")"
[ "$(tail -n +3 "$work/dl/InstallLog.txt" | tr -d '\r')" = "$expected_out" ] || fail "log entries"

# Without a folder the installer cannot start the install.
rc=0
"$work/dl/Setup" >"$work/out" 2>"$work/err" || rc=$?
[ "$rc" -eq 2 ] || fail "no folder: exit $rc"
[ "$(cat "$work/err")" = "$no_window
[DF Mod Installer] Please Set Valid Delta Force 3 Path First!
DFModInstaller: no folder for game 3 is known: give it as --game-folder 3=DIR" ] || fail "no folder: $(cat "$work/err")"

rc=0
"$work/dl/Setup" "$work/dl/Setup" extra-word 2>"$work/err" || rc=$?
[ "$rc" -eq 2 ] || fail "bad usage: exit $rc"
grep -q "^DFModInstaller: unexpected argument 'extra-word'" "$work/err" || fail "usage: $(cat "$work/err")"

# The installer program installs from another installer's payload, into that one's folder;
# a relative game folder means the folder it was given in.
rm "$work/game/Notes.txt"
rc=0
(cd "$work" && "$build_dir/DFModInstaller" dl/Setup --game-folder 3=game >"$work/out" 2>&1) || rc=$?
[ "$rc" -eq 0 ] || fail "other installer: exit $rc: $(cat "$work/out")"
[ "$(cat "$work/game/Notes.txt")" = notes ] || fail "other installer: Notes.txt not copied"
# The log's day and month names follow LC_TIME: a German locale made for this run.
mkdir -p "$work/locale"
localedef -i de_DE -f UTF-8 "$work/locale/de_DE.UTF-8" 2>/dev/null \
  || fail "localedef could not make de_DE.UTF-8 (scripts/install-deps.sh test installs locales)"
german() { env -u LC_ALL LOCPATH="$work/locale" LC_TIME=de_DE.UTF-8 "$@"; }
german "$work/dl/Setup" --game-folder "3=$work/game" >/dev/null 2>&1 || fail "German run"
line=$(sed -n 2p "$work/dl/InstallLog.txt" | tr -d '\r')
expected="Log Created On $(german date '+%A The %d Of %B') At "
[ "${line:0:${#expected}}" = "$expected" ] || fail "German log line: '$line', not '$expected...'"
echo "run: ok"
