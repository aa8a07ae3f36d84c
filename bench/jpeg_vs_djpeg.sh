#!/usr/bin/env bash
# Times JPEG to TGA of the benchmark's 1024 x 1024 colour JPEG, `dfmod image jpg2tga`
# against the reference decoder `djpeg -targa`, in one run, whole processes each, and
# checks that both produce the same pixels.
# Usage: bash bench/jpeg_vs_djpeg.sh [BUILD_DIR] [RUNS]   (default build/release, 41)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-41}
dfmod=$build/dfmod
bench=$build/bench/image_bench
command -v djpeg >/dev/null || { echo "djpeg not found (libjpeg-turbo-progs)"; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$bench" --write-jpeg "$tmp/in.jpg"

now() { date +%s%N; }
ours=() ; ref=()
for ((i = 0; i < runs + 3; i++)); do  # the first three runs warm the caches
  t0=$(now); "$dfmod" image jpg2tga "$tmp/in.jpg" "$tmp/ours.tga"; t1=$(now)
  djpeg -targa -outfile "$tmp/ref.tga" "$tmp/in.jpg"; t2=$(now)
  if ((i >= 3)); then ours+=($((t1 - t0))); ref+=($((t2 - t1))); fi
done

python3 - "$tmp/ours.tga" "$tmp/ref.tga" "${ours[*]}" "${ref[*]}" <<'PY'
import statistics, sys
ours_tga, ref_tga = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read()
w, h = int.from_bytes(ours_tga[12:14], 'little'), int.from_bytes(ours_tga[14:16], 'little')
row = 3 * w
ours_rows = [ours_tga[18 + y * row:18 + (y + 1) * row] for y in range(h)]
start = 18 + ref_tga[0]
ref_rows = [ref_tga[start + y * row:start + (y + 1) * row] for y in range(h)]
if ref_tga[17] & 0x20 == 0:  # stored bottom-up like ours
    ref_rows.reverse()
same = ours_rows[::-1] == ref_rows
ours = statistics.median(int(t) for t in sys.argv[3].split()) / 1e6
ref = statistics.median(int(t) for t in sys.argv[4].split()) / 1e6
print(f"picture {w} x {h}, {len(sys.argv[3].split())} runs each, pixels identical: {same}")
print(f"dfmod image jpg2tga : {ours:7.2f} ms (median)")
print(f"djpeg -targa        : {ref:7.2f} ms (median)")
print(f"ratio dfmod / djpeg : {ours / ref:7.3f}")
sys.exit(0 if same else 1)
PY
