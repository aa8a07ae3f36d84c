#!/usr/bin/env bash
# Builds the release programs (dfmod, DFModInstaller) and checks what a player's machine must
# have to run them: glibc 2.31 or later and X11, nothing else (no FLTK, font, ZIP, JPEG or
# zlib library, no C++ runtime). Then runs the command-line tests against the release dfmod.
# Usage: bash scripts/release-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=build/release

# The folder the programs are built against is named after its packages' versions: when
# they change, a build folder made against another one starts afresh.
sysroot=$(bash scripts/linux-sysroot.sh | tail -n 1)
if [ -f "$BUILD/CMakeCache.txt" ] && ! grep -qxF "DFM_SYSROOT:PATH=$sysroot" "$BUILD/CMakeCache.txt"; then
  rm -rf "$BUILD/CMakeCache.txt" "$BUILD/CMakeFiles"
fi
DFM_SYSROOT=$sysroot cmake --preset release >/dev/null
cmake --build --preset release -j "${JOBS:-$(nproc)}" --target dfmod DFModInstaller | grep -v '^\[' || true

status=0
for program in dfmod DFModInstaller; do
  newest=$(objdump -T "$BUILD/$program" | grep -o 'GLIBC_[0-9.]*' | sort -uV | tail -n 1)
  if [ "$(printf '%s\n' GLIBC_2.31 "$newest" | sort -V | tail -n 1)" != GLIBC_2.31 ]; then
    echo "release-check: $program needs $newest (at most GLIBC_2.31)" >&2
    status=1
  fi
  # The C library's own parts and X11's; anything else is a library the player may lack.
  others=$(readelf -d "$BUILD/$program" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' |
    grep -v -E '^(libc|libm|libpthread|libdl|librt|ld-linux-x86-64)\.so|^libX[A-Za-z0-9]*\.so' || true)
  if [ -n "$others" ]; then
    echo "release-check: $program needs $(echo "$others" | tr '\n' ' ')" >&2
    status=1
  fi
  echo "release-check: $program: $newest, $(readelf -d "$BUILD/$program" | grep -c NEEDED) shared libraries"
done

for script in tests/cli/*.sh; do
  if ! DFMOD_RESTORE_DIR="$PWD/$BUILD/restore-points" bash "$script" "$PWD/$BUILD/dfmod" "$PWD" "$PWD/$BUILD" >"$BUILD/cli.log" 2>&1; then
    echo "release-check: $script fails with the release dfmod:" >&2
    tail -n 20 "$BUILD/cli.log" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "release-check: ok"
exit "$status"
