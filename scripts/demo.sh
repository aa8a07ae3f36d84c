#!/usr/bin/env bash
# The demo: builds dfmod and lints the demo mod's Control.ini.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)" --target dfmod
build/dev/dfmod --help
