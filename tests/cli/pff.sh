#!/usr/bin/env bash
# dfmod pff through the real program: add two files to a tiny archive, compare the archive
# byte for byte and extract the file again (listing: PffCommand in process).
# Usage: bash pff.sh DFMOD SOURCE_DIR BUILD_DIR
set -euo pipefail
dfmod=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# An archive with no records: HeaderSize 20, "PFF3", FileCount 0, RecordSize 32, directory at 20.
printf '\x14\0\0\0PFF3\0\0\0\0\x20\0\0\0\x14\0\0\0' >"$tmp/a.pff"
mkdir "$tmp/sub"
printf 'hello' >"$tmp/a.pcx"
printf 'hi' >"$tmp/sub/A.PCX"
# 2001-09-09 01:46:40 local time is 1,000,018,000 s after 1969-12-31 19:00:00 local time.
touch -d '2001-09-09 01:46:40' "$tmp/a.pcx" "$tmp/sub/A.PCX"

# Both through one open archive: A.PCX replaces a.pcx in the tail of its space.
"$dfmod" pff add "$tmp/a.pff" "$tmp/a.pcx" "$tmp/sub/A.PCX" || fail "pff add exited $?"

{
  printf '\x14\0\0\0PFF3\x02\0\0\0\x20\0\0\0\x19\0\0\0'     # header: 2 records, directory at 25
  printf 'helhi'                                           # the data at 20
  printf '\x01\0\0\0\x14\0\0\0\x03\0\0\0\x50\x10\x9b\x3b'  # dead, offset 20, size 3, timestamp
  printf '<DEAD SPACE>\0\0\0\0'                              # name, 16 bytes
  printf '\0\0\0\0\x17\0\0\0\x02\0\0\0\x50\x10\x9b\x3bA.PCX\0\0\0\0\0\0\0\0\0\0\0'
  printf '\0\0\0\0\0\0\0\0DADE, Modified By Kyv Obrik'"'"'s Pff Utility v0.7'
} >"$tmp/expected.pff"
cmp "$tmp/a.pff" "$tmp/expected.pff" || fail "archive bytes differ"

"$dfmod" pff extract "$tmp/a.pff" -o "$tmp/out" a.pcx || fail "pff extract exited $?"
[ "$(cat "$tmp/out/A.PCX")" = hi ] || fail "extracted bytes differ"

echo "pff: ok"
