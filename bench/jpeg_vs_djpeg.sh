#!/usr/bin/env bash
# Times JPEG to TGA of the benchmark's 1024 x 1024 colour JPEG, `dfmod image jpg2tga`
# against the reference decoder `djpeg -targa`, in one run, alternating whole processes on
# one core (bench/process_times.py), and checks that both produce the same pixels. Reports
# the median wall time and the median CPU time (user + system) of each, and of
# `dfmod --version` (start-up alone).
# SIMD=sse2 makes both decoders use their SSE2 code instead of the best the processor has.
# Builds what it needs (dfmod, image_bench) in BUILD_DIR first.
# Usage: bash bench/jpeg_vs_djpeg.sh [BUILD_DIR] [RUNS]   (default build/release, 41)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-41}
command -v djpeg >/dev/null || { echo "djpeg not found (libjpeg-turbo-progs)"; exit 1; }
cmake --build "$build" --target dfmod image_bench >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bench/image_bench" --write-jpeg "$tmp/in.jpg"

python3 - "$build/dfmod" "$tmp" "$runs" "${SIMD:-}" <<'PY'
import os, sys
sys.path.insert(0, "bench")
import process_times as pt
dfmod, tmp, runs, simd = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
src = f"{tmp}/in.jpg"
env = dict(os.environ)
if simd == "sse2":
    env["JSIMD_FORCESSE2"] = "1"  # read by both decoders' SIMD set-up
commands = {
    "dfmod image jpg2tga": [dfmod, "image", "jpg2tga", src, f"{tmp}/ours.tga"],
    "djpeg -targa": ["djpeg", "-targa", "-outfile", f"{tmp}/ref.tga", src],
    "dfmod --version": [dfmod, "--version"],
}
cpu = pt.pin()
med = pt.alternate(commands, runs, env=env)

ours_tga, ref_tga = open(f"{tmp}/ours.tga", "rb").read(), open(f"{tmp}/ref.tga", "rb").read()
w, h = int.from_bytes(ours_tga[12:14], "little"), int.from_bytes(ours_tga[14:16], "little")
row = 3 * w
ours_rows = [ours_tga[18 + y * row:18 + (y + 1) * row] for y in range(h)]
start = 18 + ref_tga[0]
ref_rows = [ref_tga[start + y * row:start + (y + 1) * row] for y in range(h)]
if ref_tga[17] & 0x20:  # stored top row first: turn it like ours
    ref_rows.reverse()
same = ours_rows == ref_rows

print(f"{pt.machine()}; on CPU {cpu}; code paths: {simd or 'best available'}")
print(f"picture {w} x {h}, {runs} runs each, pixels identical: {same}")
pt.report(med, 20)
ours, ref = med["dfmod image jpg2tga"], med["djpeg -targa"]
print(f"ratio dfmod / djpeg : wall {ours[0] / ref[0]:.3f}, cpu {ours[1] / ref[1]:.3f}")
sys.exit(0 if same else 1)
PY
