#!/usr/bin/env bash
# Times `dfmod image detailmap` as whole processes on one core (bench/process_times.py):
# the detail map of the benchmark's sample picture (its JPEG converted by
# `dfmod image jpg2tga`) and of 1024 x 1024 random pixels, alternating with
# `dfmod --version` (start-up alone). Reports median wall and CPU (user + system) times,
# the pixel rates with and without start-up, and the SHA-256 of each PCX file, so that
# two builds can be checked for the same output. `/bin/true` runs in the same rounds: what
# any process costs on this machine.
# Builds what it needs (dfmod, image_bench) in BUILD_DIR first.
# Usage: bash bench/detailmap_run.sh [BUILD_DIR] [RUNS]   (default build/release, 41)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-41}
cmake --build "$build" --target dfmod image_bench >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bench/image_bench" --write-jpeg "$tmp/sample.jpg"
"$build/dfmod" image jpg2tga "$tmp/sample.jpg" "$tmp/sample.tga"
"$build/bench/image_bench" --write-random-tga "$tmp/random.tga"

python3 - "$build/dfmod" "$tmp" "$runs" <<'PY'
import hashlib, sys
sys.path.insert(0, "bench")
import process_times as pt
dfmod, tmp, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
commands = {
    "detailmap sample picture": [dfmod, "image", "detailmap", f"{tmp}/sample.tga", f"{tmp}/sample.pcx"],
    "detailmap random pixels": [dfmod, "image", "detailmap", f"{tmp}/random.tga", f"{tmp}/random.pcx"],
    "dfmod --version": [dfmod, "--version"],
    "/bin/true": ["/bin/true"],
}
cpu = pt.pin()
med = pt.alternate(commands, runs)
print(f"{pt.machine()}; on CPU {cpu}; 1024 x 1024 pixels, {runs} runs each")
pt.report(med)
start = med["dfmod --version"][1]
for name in ("sample", "random"):
    cpu_ms = med[f"detailmap {name} {'picture' if name == 'sample' else 'pixels'}"][1]
    pcx = open(f"{tmp}/{name}.pcx", "rb").read()
    print(f"{name}: {1024 * 1024 / cpu_ms / 1e3:6.1f} M pixels/s of CPU, "
          f"{1024 * 1024 / max(cpu_ms - start, 1e-3) / 1e3:6.1f} beyond start-up; "
          f"PCX {len(pcx)} bytes, SHA-256 {hashlib.sha256(pcx).hexdigest()[:16]}")
PY
