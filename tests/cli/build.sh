#!/usr/bin/env bash
# dfmod build: the installer it writes is a stub followed by a ZIP archive that an
# independent reader (Info-ZIP unzip, which skips leading bytes) lists with flat names,
# behind library slots of zeros.
set -euo pipefail
dfmod=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/mod/Textures"
printf 'mod_name Demo\r\ndf_version 3\r\n' >"$work/mod/Control.ini"
head -c 20000 /dev/zero >"$work/mod/Textures/adob1000.pcx"
printf 'stub' >"$work/stub"

"$dfmod" build --mod "$work/mod" --stub "$work/stub" -o "$work/Setup.exe" >"$work/out.txt"
grep -q 'Main.zip with 2 entries, library slots zero-filled' "$work/out.txt"

listing=$(unzip -Z1 "$work/Setup.exe" 2>/dev/null || true)  # warns about the leading bytes
[ "$listing" = "$(printf 'adob1000.pcx\nControl.ini')" ] || { echo "unexpected entries: $listing"; exit 1; }

size=$(stat -c %s "$work/Setup.exe")
n=$(tail -c 4 "$work/Setup.exe" | od -An -tu4 | tr -d ' ')
[ $((size - 4 - n - 0x7E000)) -eq 4 ] || { echo "layout: size $size, trailer $n"; exit 1; }
cmp -n 4 "$work/stub" "$work/Setup.exe" && cmp -n $((0x7E000)) -i 4:0 "$work/Setup.exe" /dev/zero \
  || { echo "not the stub and zero-filled library slots"; exit 1; }

echo "build: ok"
