#!/usr/bin/env bash
# Checks that every include of the program's sources points down the layers of
# docs/architecture.md: a folder includes itself and folders of lower floors only, never a
# folder of its own floor, and only the windows and the programs include a host's services.
# Tests (*_test.cpp, tests/) may reach any floor and are not checked.
# Usage: bash scripts/check-layers.sh        (prints each upward include; exit 1 if any)
set -euo pipefail
cd "$(dirname "$0")/.."

# The floor of a folder, lowest first; a folder missing here is reported.
floor() {
  case "$1" in
    base) echo 0 ;;
    platform) echo 1 ;;
    platform/posix | platform/win32) echo 2 ;;
    zip | registry | pff | image) echo 3 ;;
    credits | script | detect | restore) echo 4 ;;
    shell) echo 5 ;;
    ui/fltk | ui/win32) echo 6 ;;
    apps/common) echo 7 ;;
    apps/dfmod | apps/installer) echo 8 ;;
    *) echo -1 ;;
  esac
}

# src/shell/x.h -> shell; apps/dfmod/x.cpp -> apps/dfmod; an include "dfmod/x.h" -> apps/dfmod.
folder_of_file() {
  local d=${1%/*}
  case "$d" in
    src/*) echo "${d#src/}" ;;
    *) echo "$d" ;;
  esac
}
folder_of_include() {
  local d=${1%/*}
  case "$d" in
    dfmod | installer | common) echo "apps/$d" ;;
    *) echo "$d" ;;
  esac
}

bad=0
while IFS= read -r file; do
  from=$(folder_of_file "$file")
  from_floor=$(floor "$from")
  if [ "$from_floor" -lt 0 ]; then
    echo "$file: folder $from has no floor in scripts/check-layers.sh"
    bad=1
    continue
  fi
  while IFS= read -r inc; do
    [[ "$inc" == */* ]] || continue
    to=$(folder_of_include "$inc")
    [ "$to" = "$from" ] && continue
    to_floor=$(floor "$to")
    allowed=1
    if [ "$to_floor" -lt 0 ] || [ "$to_floor" -ge "$from_floor" ]; then
      allowed=0
    elif [ "$to_floor" -eq 2 ] && [ "$from_floor" -lt 6 ]; then
      allowed=0  # a host's services: only its windows and the programs pick them
    fi
    if [ $allowed -eq 0 ]; then
      echo "$file: includes $inc ($from may not include $to)"
      bad=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src apps \( -name '*.cpp' -o -name '*.h' \) ! -name '*_test.cpp' | sort)

if [ $bad -ne 0 ]; then
  echo "check-layers: includes that point up or across (see docs/architecture.md)"
  exit 1
fi
echo "check-layers: every include points down"
