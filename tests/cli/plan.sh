#!/usr/bin/env bash
# The demo mod end to end with restore points: dfmod plan changes nothing and lists
# exactly the files and archive entries that dfmod run then changes (its manifest); a run
# or dfmod pff add while another process holds the restore points stops; dfmod restore
# lists the installs, the second over the first, and --cascade puts the game folder back:
# names (letter case), bytes and times.
set -euo pipefail
dfmod=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$work/no-prefix"
fail() { echo "plan.sh: $*" >&2; exit 1; }

mkdir -p "$work/download"
python3 "$src/demo/make_demo_files.py" game "$work/game" >/dev/null
cp -r "$src/demo/mod" "$work/mod"
python3 "$src/demo/make_demo_files.py" mod "$work/mod" >/dev/null
"$dfmod" build --mod "$work/mod" -o "$work/download/Setup" >/dev/null
echo old >"$work/game/DRYCREEK.BMS"  # the copy replaces it under its own spelling
touch -d @1000000000 "$work/game"/*
snapshot() { (cd "$work/game" && stat -c '%n %s %Y' ./* && md5sum ./*); }
snapshot >"$work/before.txt"
(cd "$work/game" && md5sum ./*) >"$work/before.md5"
points="$work/points"

"$dfmod" plan "$work/download/Setup" --game-folder "3=$work/game" --restore-dir "$points" \
  >"$work/plan.txt" || fail "plan exit $?"
(cd "$work/game" && md5sum --quiet -c "$work/before.md5") || fail "plan changed the game folder"
[ "$(ls "$work/download")" = Setup ] || fail "plan wrote beside the installer: $(ls "$work/download")"
grep -q '^Errors: 0$' "$work/plan.txt" || fail "plan: $(cat "$work/plan.txt")"
grep -q "^Entry: $work/game.Dflw.pff: dc_tent1.pcx replaced, 222 -> 1921 bytes, appended$" \
  "$work/plan.txt" || fail "plan: $(cat "$work/plan.txt")"

mkdir -p "$points"
rc=0
flock "$points/install.lock" "$dfmod" run "$work/download/Setup" --game-folder "3=$work/game" \
  --restore-dir "$points" >/dev/null 2>"$work/held.txt" || rc=$?
[ "$rc" = 3 ] && grep -q "Another install or undo is under way with the restore points in $points" \
  "$work/held.txt" || fail "run beside a held lock: exit $rc, $(cat "$work/held.txt")"
rc=0
DFMOD_RESTORE_DIR=$points flock "$points/install.lock" "$dfmod" pff add "$work/game/Dflw.pff" \
  "$work/before.md5" 2>"$work/held.txt" || rc=$?
[ "$rc" = 2 ] && grep -q "another install or undo is under way" "$work/held.txt" \
  || fail "pff add beside a held lock: exit $rc, $(cat "$work/held.txt")"
(cd "$work/game" && md5sum --quiet -c "$work/before.md5") || fail "the refused run changed files"
"$dfmod" run "$work/download/Setup" --game-folder "3=$work/game" --restore-dir "$points" \
  >/dev/null 2>&1 || fail "run exit $?"
diff <(grep -E '^(File|Entry): ' "$points"/*/manifest.txt) <(grep -E '^(File|Entry): ' "$work/plan.txt") \
  || fail "the plan differs from what the run did"
grep -qx "Installer SHA-256: $(sha256sum <"$work/download/Setup" | cut -c1-64)" "$points"/*/manifest.txt \
  || fail "installer SHA-256: $(grep SHA "$points"/*/manifest.txt)"
"$dfmod" plan "$work/download/Setup" --game-folder "3=$work/game" --restore-dir "$points" --json \
  | grep -q '"covers":\[{"id":"[0-9-]*","mod":"Operation Dry Creek","files":2,"entries":7}\],"conflicts":\[".*was changed by install ' \
  || fail "no conflicts with the install"

"$dfmod" restore --list "$work/game" --restore-dir "$points" | grep -q \
  '^[0-9-]*  complete  Operation Dry Creek  .*  3 files, 7 archive entries$' || fail "list"
[ -z "$("$dfmod" restore --list "$work/download/elsewhere" --restore-dir "$points")" ] \
  || fail "list of another folder"
# The same mod again covers the first install; --cascade undoes it first, stopping where a
# file changed since (left alone without --force).
first=$("$dfmod" restore --list --restore-dir "$points" | cut -d' ' -f1)
"$dfmod" run "$work/download/Setup" --game-folder "3=$work/game" --restore-dir "$points" \
  >/dev/null 2>&1 || fail "second run exit $?"
"$dfmod" restore --list --restore-dir "$points" | grep -qx '    covered by [0-9-]* (2 files, 7 entries)' \
  || fail "covered by: $("$dfmod" restore --list --restore-dir "$points")"
"$dfmod" restore --list --json --restore-dir "$points" | grep -q "{\"id\":\"$first\",\"sequence\":1,.*\
\"covered_by\":\[{\"id\":\"[0-9-]*\",\"mod\":\"Operation Dry Creek\",\"files\":2,\"entries\":7}\]}\]}$" \
  || fail "list --json: $("$dfmod" restore --list --json --restore-dir "$points")"
echo edited >>"$work/game/DryCreek ReadMe.txt"
rc=0
"$dfmod" restore --cascade "$first" --restore-dir "$points" >/dev/null 2>"$work/stopped.txt" || rc=$?
[ "$rc" = 1 ] && grep -qx "dfmod: restore: --cascade stopped at [0-9-]*; nothing undone" "$work/stopped.txt" \
  || fail "cascade over a changed file: exit $rc, $(cat "$work/stopped.txt")"
ls "$work/download" >"$work/own.txt"  # what the installer extracted stays out of the undo
"$dfmod" restore --cascade "$first" --force --restore-dir "$points" >"$work/restore.txt" \
  || fail "restore exit $?"
diff "$work/own.txt" <(ls "$work/download") || fail "restore changed the installer's folder"
[ "$(grep -c '^Undid .* (Operation Dry Creek): 6 files put back$' "$work/restore.txt")" = 2 ] \
  || fail "restore: $(cat "$work/restore.txt")"
diff "$work/before.txt" <(snapshot) || fail "restore left changes"
"$dfmod" restore --list --restore-dir "$points" | grep -q '  undone  ' || fail "not undone"
rc=0
"$dfmod" restore --restore-dir "$points" 2>"$work/again.txt" || rc=$?
[ "$rc" = 1 ] && [ "$(cat "$work/again.txt")" = "dfmod: restore: There is no install to undo" ] \
  || fail "undo again: exit $rc, $(cat "$work/again.txt")"
echo "plan.sh: ok"
