#!/usr/bin/env bash
# Times undoing one mod of ten installed into one archive, against installing that mod:
# an archive of 20,000 records of 36 bytes (one in ten dead space); ten mods of 200
# `Pack` lines each (sources of 1 to 16 KB), every mod replacing 50 entries of the one
# before it and 50 of the archive's own. The mod undone is the first, under the nine
# others: its entries that a later mod covers only re-base that mod's restore point;
# the rest are put back into the archive entry by entry. Each round starts from a fresh
# copy of the game folder and installs the ten mods with `dfmod run` (the first one
# timed), then times `dfmod restore ID` of the first. Also prints the bytes the undo
# wrote into the archive's folder (the archive's growth and the undo's journal).
# Usage: bash bench/mod_stack_run.sh [BUILD_DIR] [RUNS]   (default build/release, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-5}
dfmod=$(realpath "$build/dfmod")
tmp=$(mktemp -d "${TMPDIR:-/tmp}/mod_stack_run.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

python3 - "$dfmod" "$tmp" "$runs" <<'PY'
import os, random, shutil, statistics, subprocess, sys, time
sys.path.insert(0, "bench")
from bench_archive import write_archive
dfmod, tmp, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
RECORDS, STRIDE, MODS, LINES = 20000, 36, 10, 200
rnd = random.Random(20261207)
pristine = f"{tmp}/Dflw.pff"
write_archive(pristine, rnd, RECORDS, STRIDE)

def build(m):
    mod = f"{tmp}/mod"
    os.makedirs(mod)
    names = ["m%d_%d.pcx" % (m, j) for j in range(LINES - 100)]
    names += ["m%d_%d.pcx" % (m - 1, j) for j in range(50) if m > 0]
    names += ["f%d.pcx" % (m * 50 + j) for j in range(LINES - len(names))]
    for n in names:
        with open(f"{mod}/{n}", "wb") as f:
            f.write(bytes([65 + m]) * rnd.randint(1024, 16384))
    with open(f"{mod}/Control.ini", "wb") as f:
        f.write(b"\r\n".join([b'Mod_Name "Mod %d"' % m, b"Df_Version 3"] +
                             [b"Pack %s Kyv_DF3_Location\\Dflw.pff" % n.encode()
                              for n in names]) + b"\r\n")
    subprocess.run([dfmod, "build", "--mod", mod, "--stub", dfmod, "-o", f"{tmp}/mod{m}"],
                   check=True, stdout=subprocess.DEVNULL)
    shutil.rmtree(mod)

for m in range(MODS):
    build(m)

def timed(cmd, cwd):
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        sys.exit(f"{' '.join(cmd)} failed")
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime

install, undo, written = [], [], []
for r in range(runs + 1):  # the first round warms the caches
    game, points = f"{tmp}/game", f"{tmp}/points"
    for d in (game, points):
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
    shutil.copy(pristine, f"{game}/Dflw.pff")
    ids = []
    for m in range(MODS):
        x = f"{tmp}/x{m}"
        shutil.rmtree(x, ignore_errors=True)
        os.makedirs(x)
        shutil.copy(f"{tmp}/mod{m}", f"{x}/Setup")
        before = set(os.listdir(points))
        os.sync()
        t = timed([dfmod, "run", "Setup", "--game-folder", f"3={game}", "--restore-dir", points], x)
        if m == 0 and r > 0:
            install.append(t)
        ids.append((set(os.listdir(points)) - before - {"install.lock"}).pop())
    size = os.path.getsize(f"{game}/Dflw.pff")
    os.sync()
    t = timed([dfmod, "restore", "--restore-dir", points, ids[0]], tmp)
    if r > 0:
        undo.append(t)
        written.append(os.path.getsize(f"{game}/Dflw.pff") - size)
med = lambda v, n: statistics.median(x[n] for x in v) * 1e3
print(f"{runs} runs, medians in ms (wall / CPU)")
print(f"  install mod 0 (200 entries)      {med(install, 0):7.0f} / {med(install, 1):6.0f}")
print(f"  undo mod 0 under nine later ones {med(undo, 0):7.0f} / {med(undo, 1):6.0f}")
print(f"  undo / install: wall {med(undo, 0) / med(install, 0):.3f}, CPU "
      f"{med(undo, 1) / med(install, 1):.3f}; archive grew {statistics.median(written)} bytes")
PY
