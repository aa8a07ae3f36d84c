#!/usr/bin/env bash
# Runs a Windows program under Wine, within a time limit, in the prefix $WINEPREFIX: the
# windows preset's test runner (CMake's emulator) and the Windows test scripts use it. A
# missing prefix is created first, once, without Mono and Gecko.
# Usage: WINEPREFIX=DIR bash scripts/wine-run.sh PROGRAM.exe [ARG]...
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix to run in}"
export WINEPREFIX
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES-mscoree,mshtml=}
export WINEDEBUG=${WINEDEBUG--all}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      timeout -k 5 180 wineboot -i >/dev/null 2>&1
      timeout -k 5 60 wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec timeout -k 5 "${DFM_WINE_TIMEOUT:-600}" wine "$@"
