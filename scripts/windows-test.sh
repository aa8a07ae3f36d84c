#!/usr/bin/env bash
# The Windows programs: builds their libraries (once; scripts/build-windows-deps.sh keeps
# them), cross-builds with the windows preset, checks that the installer needs no DLL
# beyond Windows' own, and runs the unit tests and dfmod.exe's command-line tests under
# Wine in a fresh prefix inside the build folder; then installs the demo mod through the
# installer's window under Wine on a virtual screen (bash scripts/wine-e2e.sh), after
# Windows' uninstall list (bash scripts/wine-uninstall.sh), and removes the older of two
# mods through the installed-mods window (bash scripts/wine-mods-window.sh). Every Wine
# call and every wait has a time limit.
# Usage: bash scripts/windows-test.sh
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS=${JOBS:-$(nproc)}
BUILD=build/windows
export WINEPREFIX=$PWD/$BUILD/wineprefix
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all

bash scripts/install-deps.sh windows
echo "=== windows: libraries"
bash scripts/build-windows-deps.sh
echo "=== windows: build"
# CMake keeps the libraries it found: a build folder configured against other builds of
# them (another version, or libzip without mbed TLS) starts afresh.
deps_file() { sed -n 's/^DFM_WINDOWS_DEPS_FILE:FILEPATH=//p' "$BUILD/CMakeCache.txt"; }
if [ -f "$BUILD/CMakeCache.txt" ] && ! cmp -s "$(deps_file)" "$BUILD/libraries-configured"; then
  rm -rf "$BUILD/CMakeCache.txt" "$BUILD/CMakeFiles"
fi
cmake --preset windows >/dev/null
if [ -n "$(deps_file)" ] && [ -f "$(deps_file)" ]; then cp "$(deps_file)" "$BUILD/libraries-configured"; fi
cmake --build --preset windows -j "$JOBS"

echo "=== windows: DLLs the programs import"
# Windows' own DLLs only: nothing to ship beside the program.
SYSTEM_DLLS="^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|msvcrt|ws2_32|bcrypt|shlwapi|uxtheme)\.dll$"
for exe in DFModInstaller.exe dfmod.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$BUILD/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
  echo "$exe:" $dlls
  foreign=$(echo "$dlls" | tr 'A-Z' 'a-z' | grep -Ev "$SYSTEM_DLLS" || true)
  if [ -n "$foreign" ]; then
    echo "windows-test.sh: $exe needs DLLs outside Windows: $foreign" >&2
    exit 1
  fi
done

echo "=== windows: tests under Wine"
stop_wine() { timeout -k 5 30 wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
stop_wine
rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
ctest --preset windows -j "$JOBS"

echo "=== windows: the uninstall list under Wine"
bash scripts/wine-uninstall.sh "$BUILD"

echo "=== windows: the demo installer's window under Wine"
bash scripts/wine-e2e.sh "$BUILD"

echo "=== windows: the installed-mods window under Wine"
bash scripts/wine-mods-window.sh "$BUILD"
