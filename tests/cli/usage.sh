#!/usr/bin/env bash
# What a new user meets first: every subcommand's --help (and the installer program's),
# whose usage lines docs/cli.md must show verbatim, and the common mistakes, each with its
# exact exit code and message. Usage: bash usage.sh DFMOD SOURCE_DIR BUILD_DIR
set -euo pipefail
dfmod=$1
src=$2
installer=$3/DFModInstaller
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "usage.sh: $*" >&2; exit 1; }

# help PROGRAM TITLE ARGS...: exit 0, the title first, every option of the usage lines
# under options (where it lists any), every usage line in docs/cli.md.
help() {
  local program=$1 title=$2 out opts o
  shift 2
  out=$("$program" "$@") || fail "$title $*: exit $?"
  [ "${out%%:*}" = "$title" ] || fail "$title $*: first line: ${out%%$'\n'*}"
  opts=$(sed -n '/^options:/,/^$/p' <<<"$out" | grep -E '^  -' | grep -vE '^  (-h, --help|--version) ' || true)
  for o in $(sed -n '/^usage: /,/^$/p' <<<"$out" | grep -oE -- '--[a-z-]+' | sort -u); do
    [ -z "$opts" ] || grep -qE -- "^  (-[a-z], )?$o( |$)" <<<"$opts" ||
      fail "$title: $o is in the usage line but not under options"
  done
  sed -n -e 's/^usage: //p' -e '/^usage: /,/^$/s/^       //p' <<<"$out" | while IFS= read -r line; do
    grep -qxF "    $line" "$src/docs/cli.md" || fail "docs/cli.md lacks the usage line: $line"
  done
}
names=$("$dfmod" --help | sed -n '/^subcommands:/,/^$/s/^  \([a-z0-9]*\( [a-z0-9]\+\)\?\)  .*/\1/p')
[ "$(wc -l <<<"$names")" -ge 11 ] || fail "overview lists: $names"
while IFS= read -r name; do
  help "$dfmod" "dfmod $name" $name --help
  help "$dfmod" "dfmod $name" $name -h
done <<<"$names"
help "$installer" DFModInstaller --help
version=$(sed -n 's/^project(DFModInstaller VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ "$("$dfmod" --version | head -n 2)" = "dfmod $version
stub: $installer" ] || fail "dfmod --version: $("$dfmod" --version)"
[ "$("$installer" --version)" = "DFModInstaller $version" ] || fail "DFModInstaller --version"

mkdir -p mod game nocontrol fifomod linkmod
printf 'df_version 3\r\n' >mod/Control.ini
cp mod/Control.ini fifomod/ && mkfifo fifo fifomod/pipe
cp mod/Control.ini linkmod/ && ln -s "$src/README.md" linkmod/readme.txt
printf 'x' >nocontrol/a.txt && printf 'stub' >stub
printf '\x14\0\0\0PFF3\0\0\0\0\x20\0\0\0\x14\0\0\0' >game/a.pff

# check CODE STDERR ARGS...: runs dfmod (a FIFO that is opened would hang: time-out).
check() {
  local code=$1 err=$2 rc=0
  shift 2
  timeout 20 "$dfmod" "$@" >out 2>err || rc=$?
  [ "$rc" = "$code" ] || fail "dfmod $*: exit $rc, expected $code ($(cat err))"
  [ "$(cat err)" = "$err" ] || fail "dfmod $*: stderr was: $(cat err)"
}
see() { echo "; see 'dfmod $1 --help'"; }
check 2 "dfmod: unknown subcommand 'frobnicate'; see 'dfmod --help'" frobnicate
check 2 "dfmod: build: unexpected argument 'mod' (a mod folder is given as --mod DIR)$(see build)" \
  build mod -o x
check 2 "dfmod: build: --stub needs a value$(see build)" build --mod mod -o x --stub
check 2 "dfmod: pff: unknown operation 'X': expected list, add or extract$(see pff)" pff X list
check 2 "dfmod: inspect: unknown option '--frob'$(see inspect)" inspect --frob x
check 2 "dfmod: lint: no control file given$(see lint)" lint
check 2 "dfmod: image jpg2tga: expected IN.jpg OUT.tga$(see 'image jpg2tga')" image jpg2tga a
check 2 "dfmod: run: --critical takes continue or abort, not 'yes'$(see run)" run x --critical yes
check 2 "dfmod: pff list: game/NoSuch.pff: not found" pff list game/NoSuch.pff
check 2 "dfmod: pff list: fifo: not a regular file" pff list fifo
check 2 "dfmod: pff add: missing.pcx: not found" pff add game/a.pff missing.pcx
check 2 "dfmod: pff add: fifo: not a regular file" pff add game/a.pff fifo
check 2 "dfmod: run: mod: is a folder" run mod
check 2 "dfmod: inspect: mod/Control.ini: not an installer: no payload trailer (the trailer \
announces 168637216 bytes of Main.zip, but the 14-byte file cannot hold them with the library \
slots)" inspect mod/Control.ini
check 2 "dfmod: pff list: mod/Control.ini: not a PFF archive (Input past end of file)" \
  pff list mod/Control.ini
check 2 "dfmod: plan: --game-folder 3=nope: no such folder$(see plan)" plan x --game-folder 3=nope
check 2 "dfmod: lint: game: is a folder" lint game
check 2 "dfmod: build: fifomod/pipe: not a regular file" build --mod fifomod --stub stub -o x
check 2 "dfmod: build: linkmod/readme.txt: a symbolic link out of the mod folder" \
  build --mod linkmod --stub stub -o x
check 2 "dfmod: build: nocontrol: no Control.ini in it: the installer could never start \
(--allow-no-control builds it anyway)" build --mod nocontrol --stub stub -o x
check 0 "" build --mod nocontrol --stub stub -o x --allow-no-control
# Test names stay readable and stable (parameterised tests name their rows).
(cd "$3" && ctest -N) | sed -n 's/^ *Test *#[0-9]*: //p' | awk 'length > 120 || /object </ { bad = 1; print }
  END { exit bad }' || fail "ctest -N lists unreadable test names"
echo "usage: ok"
