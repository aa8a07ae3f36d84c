#!/usr/bin/env bash
# Builds and runs every test: the Debug build, the sanitizer build, the window under a
# virtual screen, the release programs' needs, the Windows programs (cross-built, tested
# under Wine), and a short libFuzzer smoke run of each fuzz target.
# Usage: bash scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
bash scripts/check-layers.sh

JOBS=${JOBS:-$(nproc)}
for preset in dev asan; do
  echo "=== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$JOBS"
  echo "=== $preset: test"
  ctest --preset "$preset" -j "$JOBS"
done

echo "=== the installer's window under a virtual screen"
bash scripts/gui-smoke.sh build/dev

echo "=== the release programs: what they need of a player's system"
bash scripts/release-check.sh

bash scripts/windows-test.sh

if command -v clang++ >/dev/null 2>&1; then
  bash scripts/fuzz-smoke.sh "${FUZZ_SECONDS:-5}"
else
  echo "clang++ not found: fuzz smoke run skipped"
fi
