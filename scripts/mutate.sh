#!/usr/bin/env bash
# Seeds faults into the code one at a time and tells which ones the tests catch.
# Each line of the list is: id @@ file @@ text @@ replacement [@@ ctest -R regex]
# ("\n" in text and replacement stands for a line break; lines starting with # are
# skipped). For each fault the first occurrence of the text is replaced, the dev build is
# rebuilt, ctest runs (the regex, or every test), and the file is put back.
# Usage: bash scripts/mutate.sh [list] [id-regex]   (default list: scripts/mutations.txt)
# QUICK=1 builds only the unit tests and runs them in one process, stopping at the first
# failure (no command-line scripts): much faster, for a before/after comparison.
# Prints "caught", "MISSED", "no-build" or "no-match" per fault and a count at the end.
set -uo pipefail
cd "$(dirname "$0")/.."
list=${1:-scripts/mutations.txt}
only=${2:-.}
cmake --preset dev >/dev/null || exit 1
cmake --build --preset dev -j2 >/dev/null || { echo "the unmutated build fails"; exit 1; }

saved=""
restore() { [ -n "$saved" ] && cp "$saved" "$file" && rm -f "$saved"; saved=""; }
trap restore EXIT
trap 'restore; exit 1' INT TERM

caught=0 missed=0 other=0
while IFS= read -r line; do
  [[ -z "$line" || "$line" == \#* ]] && continue
  mapfile -t f < <(awk -v RS='\n' '{n=split($0,a,/ @@ /); for(i=1;i<=n;i++) print a[i]}' <<<"$line")
  id=${f[0]} file=${f[1]} filter=${f[4]:-}
  [[ "$id" =~ $only ]] || continue
  saved=$(mktemp) && cp "$file" "$saved"
  if ! OLD=${f[2]} NEW=${f[3]} perl -0pi -e '
      my ($o, $n) = ($ENV{OLD}, $ENV{NEW}); s/\\n/\n/g for $o, $n;
      my $i = index($_, $o); if ($i < 0) { exit 3 } substr($_, $i, length $o) = $n;' "$file"; then
    result=no-match; other=$((other + 1))
  elif ! cmake --build --preset dev -j2 ${QUICK:+--target dfm_tests} >/dev/null 2>&1; then
    result=no-build; other=$((other + 1))
  elif if [ -n "${QUICK:-}" ]; then
         build/dev/tests/dfm_tests --gtest_fail_fast ${filter:+--gtest_filter="$filter"} >/dev/null 2>&1
       else
         ctest --preset dev -j2 --timeout 300 ${filter:+-R "$filter"} >/dev/null 2>&1
       fi; then
    result=MISSED; missed=$((missed + 1))
  else
    result=caught; caught=$((caught + 1))
  fi
  restore
  printf '%-8s %s\n' "$result" "$id"
done <"$list"
cmake --build --preset dev -j2 >/dev/null
echo "caught $caught, missed $missed, other $other"
