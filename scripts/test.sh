#!/usr/bin/env bash
# Builds and runs every test: the Debug build, the sanitizer build, the window under a
# virtual screen, the release programs' needs, the Windows programs (cross-built, tested
# under Wine), a short libFuzzer smoke run of each fuzz target, the README's demo on a
# fresh Debian 12 root, and the packages (scripts/package.sh) installed and used there.
# One line per step. Each step's full output goes to its own log in build/test-logs/
# ($DFM_TEST_LOGS), whose path and last lines are printed when the step fails; the exit
# code is then the step's. Where a step ran ctest, its closing line follows, as ctest
# wrote it ("dev: 100% tests passed, 0 tests failed out of 95").
# Usage: bash scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."

logs=${DFM_TEST_LOGS:-$PWD/build/test-logs}
mkdir -p "$logs"
rm -f "$logs"/*.log
export JOBS=${JOBS:-$(nproc)}
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# step NAME COMMAND...: runs COMMAND with its output in $logs/NAME.log.
step() {
  local name=$1 log=$logs/${1// /-}.log t0=$SECONDS rc=0
  shift
  echo "test: $name"
  "$@" >"$log" 2>&1 || rc=$?
  sed -n -E "s/^([0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+)/$name: \1/p" "$log"
  if [ "$rc" -ne 0 ]; then
    echo "test: $name failed (exit $rc after $((SECONDS - t0)) s); the end of $log:" >&2
    tail -n 40 "$log" >&2
    exit "$rc"
  fi
}

build() { # build PRESET
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$JOBS"
}

bash scripts/install-deps.sh test
step "the layers" bash scripts/check-layers.sh
for preset in dev asan; do
  step "$preset build" build "$preset"
  step "$preset" ctest --preset "$preset" -j "$JOBS"
done
step "the window under a virtual screen" bash scripts/gui-smoke.sh build/dev
step "the installed-mods window under a virtual screen" bash scripts/mods-window-smoke.sh build/dev
step "the release programs" bash scripts/release-check.sh
step "windows" bash scripts/windows-test.sh
if command -v clang++ >/dev/null 2>&1; then
  step "fuzz smoke" bash scripts/fuzz-smoke.sh "${FUZZ_SECONDS:-5}"
else
  echo "test: clang++ not found: fuzz smoke run skipped"
fi
step "the demo on a fresh Debian 12 root" $SUDO bash scripts/fresh-root-demo.sh
step "the packages" bash scripts/package.sh
step "the packages on a fresh Debian 12 root" $SUDO bash scripts/package-check.sh
echo "test: all passed; logs in $logs"
