#!/usr/bin/env bash
# The demo mod end to end with restore points: dfmod plan changes nothing and lists
# exactly the files and archive entries that dfmod run then changes (its manifest);
# dfmod restore puts the game folder back byte for byte.
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
(cd "$work/game" && md5sum ./*) >"$work/before.md5"
points="$work/points"

"$dfmod" plan "$work/download/Setup" --game-folder "3=$work/game" --restore-dir "$points" \
  >"$work/plan.txt" || fail "plan exit $?"
(cd "$work/game" && md5sum --quiet -c "$work/before.md5") || fail "plan changed the game folder"
[ "$(ls "$work/download")" = Setup ] || fail "plan wrote beside the installer: $(ls "$work/download")"
grep -q '^Errors: 0$' "$work/plan.txt" || fail "plan: $(cat "$work/plan.txt")"
grep -q "^Entry: $work/game.Dflw.pff: dc_tent1.pcx replaced, 222 -> 1921 bytes, appended$" \
  "$work/plan.txt" || fail "plan: $(cat "$work/plan.txt")"

"$dfmod" run "$work/download/Setup" --game-folder "3=$work/game" --restore-dir "$points" \
  >/dev/null 2>&1 || fail "run exit $?"
diff <(grep -E '^(File|Entry): ' "$points"/*/manifest.txt) <(grep -E '^(File|Entry): ' "$work/plan.txt") \
  || fail "the plan differs from what the run did"
"$dfmod" plan "$work/download/Setup" --game-folder "3=$work/game" --restore-dir "$points" --json \
  | grep -q '"conflicts":\[".*was changed by install ' || fail "no conflicts with the install"

"$dfmod" restore --restore-dir "$points" >"$work/restore.txt" || fail "restore exit $?"
grep -q '^Undid .* (Operation Dry Creek): [0-9]* files put back$' "$work/restore.txt" \
  || fail "restore: $(cat "$work/restore.txt")"
(cd "$work/game" && md5sum --quiet -c "$work/before.md5") || fail "restore left changes"
[ "$(ls "$work/game" | wc -l)" -eq "$(wc -l <"$work/before.md5")" ] || fail "files left behind"
echo "plan.sh: ok"
