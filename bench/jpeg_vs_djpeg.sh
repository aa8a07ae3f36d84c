#!/usr/bin/env bash
# Times JPEG to TGA of the benchmark's 1024 x 1024 colour JPEG, `dfmod image jpg2tga`
# against the reference decoder `djpeg -targa`, in one run, alternating whole processes,
# and checks that both produce the same pixels. Reports the median wall time and the
# median CPU time (user + system) of each.
# Usage: bash bench/jpeg_vs_djpeg.sh [BUILD_DIR] [RUNS]   (default build/release, 41)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-41}
command -v djpeg >/dev/null || { echo "djpeg not found (libjpeg-turbo-progs)"; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bench/image_bench" --write-jpeg "$tmp/in.jpg"

python3 - "$build/dfmod" "$tmp" "$runs" <<'PY'
import os, statistics, subprocess, sys, time
dfmod, tmp, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
src = f"{tmp}/in.jpg"
commands = {
    "dfmod image jpg2tga": [dfmod, "image", "jpg2tga", src, f"{tmp}/ours.tga"],
    "djpeg -targa": ["djpeg", "-targa", "-outfile", f"{tmp}/ref.tga", src],
}

def timed(cmd):
    start = time.perf_counter()
    proc = subprocess.Popen(cmd)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{cmd[0]} failed")
    return wall, usage.ru_utime + usage.ru_stime

times = {name: [] for name in commands}
for i in range(runs + 3):  # the first three rounds warm the caches
    for name, cmd in commands.items():
        t = timed(cmd)
        if i >= 3:
            times[name].append(t)

ours_tga, ref_tga = open(f"{tmp}/ours.tga", "rb").read(), open(f"{tmp}/ref.tga", "rb").read()
w, h = int.from_bytes(ours_tga[12:14], "little"), int.from_bytes(ours_tga[14:16], "little")
row = 3 * w
ours_rows = [ours_tga[18 + y * row:18 + (y + 1) * row] for y in range(h)]
start = 18 + ref_tga[0]
ref_rows = [ref_tga[start + y * row:start + (y + 1) * row] for y in range(h)]
if ref_tga[17] & 0x20:  # stored top row first: turn it like ours
    ref_rows.reverse()
same = ours_rows == ref_rows

print(f"picture {w} x {h}, {runs} runs each, pixels identical: {same}")
med = {}
for name, ts in times.items():
    med[name] = (statistics.median(t[0] for t in ts) * 1e3, statistics.median(t[1] for t in ts) * 1e3)
    print(f"{name:20}: wall {med[name][0]:7.2f} ms, cpu {med[name][1]:7.2f} ms (medians)")
ours, ref = med["dfmod image jpg2tga"], med["djpeg -targa"]
print(f"ratio dfmod / djpeg : wall {ours[0] / ref[0]:.3f}, cpu {ours[1] / ref[1]:.3f}")
sys.exit(0 if same else 1)
PY
