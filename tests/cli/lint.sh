#!/usr/bin/env bash
# dfmod lint through the real program: exit codes, and findings on stdout versus usage
# errors on stderr (--tokens and the findings' texts: LintCommand in process). Usage: bash lint.sh DFMOD SOURCE_DIR BUILD_DIR
set -euo pipefail
dfmod=$1
src=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# expect CODE STDOUT STDERR -- ARGS...: runs dfmod and compares all three exactly.
expect() {
  local code=$1 out=$2 err=$3
  shift 4
  local rc=0
  "$dfmod" "$@" >"$tmp/out" 2>"$tmp/err" || rc=$?
  [ "$rc" = "$code" ] || fail "dfmod $*: exit $rc, expected $code"
  [ "$(cat "$tmp/out")" = "$out" ] || fail "dfmod $*: stdout was: $(cat "$tmp/out")"
  [ "$(cat "$tmp/err")" = "$err" ] || fail "dfmod $*: stderr was: $(cat "$tmp/err")"
}

expect 0 "" "" -- lint "$src/demo/mod/Control.ini"

printf 'Df_Version 4\r\nCopy a.pcx\r\n// remark\r\n' >"$tmp/Control.ini"
expect 1 "$tmp/Control.ini:1: 'Df_Version' value '4' gives game version 4, not 1, 2 or 3: the installer stops at start-up
$tmp/Control.ini:2: 'Copy' needs 3 words, the line has 2: the script run refuses it" "" \
  -- lint "$tmp/Control.ini"

expect 2 "" "dfmod: lint: $tmp/none.ini: not found" -- lint "$tmp/none.ini"
echo "lint: ok"
