#!/usr/bin/env bash
# dfmod pff through the real program: add a file to a tiny archive, compare the archive
# byte for byte, list it as JSON and extract the file again.
# Usage: bash pff.sh DFMOD SOURCE_DIR BUILD_DIR
set -euo pipefail
dfmod=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# An archive with no records: HeaderSize 20, "PFF3", FileCount 0, RecordSize 32, directory at 20.
printf '\x14\0\0\0PFF3\0\0\0\0\x20\0\0\0\x14\0\0\0' >"$tmp/a.pff"
printf 'hello' >"$tmp/a.pcx"
# 2001-09-09 01:46:40 local time is 1,000,018,000 s after 1969-12-31 19:00:00 local time.
touch -d '2001-09-09 01:46:40' "$tmp/a.pcx"

"$dfmod" pff add "$tmp/a.pff" "$tmp/a.pcx" || fail "pff add exited $?"

{
  printf '\x14\0\0\0PFF3\x01\0\0\0\x20\0\0\0\x19\0\0\0'     # header: 1 record, directory at 25
  printf 'hello'                                           # the data at 20
  printf '\0\0\0\0\x14\0\0\0\x05\0\0\0\x50\x10\x9b\x3b'  # live, offset 20, size 5, timestamp
  printf 'a.pcx\0\0\0\0\0\0\0\0\0\0\0'                     # name, 16 bytes
  printf '\0\0\0\0\0\0\0\0DADE, Modified By Kyv Obrik'"'"'s Pff Utility v0.7'
} >"$tmp/expected.pff"
cmp "$tmp/a.pff" "$tmp/expected.pff" || fail "archive bytes differ"

json=$("$dfmod" pff list "$tmp/a.pff" --json)
[ "$json" = '{"header_size":20,"signature":"PFF3","file_count":1,"record_size":32,"directory_offset":25,"entries":[{"index":0,"dead":0,"offset":20,"size":5,"timestamp":1000018000,"name":"a.pcx"}]}' ] ||
  fail "list --json printed: $json"

"$dfmod" pff extract "$tmp/a.pff" -o "$tmp/out" A.PCX || fail "pff extract exited $?"
[ "$(cat "$tmp/out/a.pcx")" = hello ] || fail "extracted bytes differ"

echo "pff: ok"
