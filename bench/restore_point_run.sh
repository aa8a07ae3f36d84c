#!/usr/bin/env bash
# Times `dfmod run` of the install benchmark's mod with and without a restore point, as
# whole processes, alternating run by run: 5,000 pairs of `Pack NAME
# Kyv_DF3_Location\Dflw.pff` and `Delete NAME` (sources of 1 to 64 KB, half of them
# replacing entries) into an archive of 20,000 records of 36 bytes (one in ten dead
# space, 512 to 4,096 bytes of data each). Each run starts from a fresh copy of the
# archive and of the installer, in a fresh folder; the restore points go to a folder of
# their own, emptied before each run. Before each run (not timed) the disk catches up
# (sync): what one run leaves to write back (the deleted sources a restore point keeps)
# would otherwise slow down the next run, whichever it is.
#
# Also checks the restore point's size: its bytes on disk (journal, manifest and the
# deleted sources moved into it) against the archive's directory plus the bytes the
# install deleted.
# Usage: bash bench/restore_point_run.sh [BUILD_DIR] [RUNS]   (default build/release, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-5}
dfmod=$(realpath "$build/dfmod")

tmp=$(mktemp -d "${TMPDIR:-/tmp}/restore_point_run.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

python3 - "$dfmod" "$tmp" "$runs" <<'PY'
import os, random, shutil, statistics, struct, subprocess, sys, time
dfmod, tmp, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
RECORDS, PAIRS, STRIDE = 20000, 5000, 36
rnd = random.Random(20261206)

# The archive: header, data, directory (records of 36 bytes: dead flag, offset, size,
# time, 16-byte name, 4 spare bytes).
data, records = bytearray(), []
for i in range(RECORDS):
    n, dead = rnd.randint(512, 4096), i % 10 == 5
    name = b"<DEAD SPACE>" if dead else b"f%d.pcx" % i
    records.append(struct.pack("<iiii", int(dead), 20 + len(data), n, 1000) +
                   name.ljust(16, b"\0") + b"SUM!")
    data += bytes([97 + i % 26]) * n
pristine = f"{tmp}/Dflw.pff"
with open(pristine, "wb") as f:
    f.write(struct.pack("<i4siii", 20, b"PFF3", RECORDS, STRIDE, 20 + len(data)) + data +
            b"".join(records))
directory = RECORDS * STRIDE + 20

mod = f"{tmp}/mod"
os.makedirs(mod)
control = [b'Mod_Name "Bench"', b"Df_Version 3"]
deleted = 0
for j in range(PAIRS):
    name = "new%d.pcx" % j if j % 2 else "f%d.pcx" % (j * 7 % RECORDS)
    size = rnd.randint(1024, 65536)
    deleted += size
    with open(f"{mod}/{name}", "wb") as f:
        f.write(bytes([65 + j % 26]) * size)
    control += [b"Pack %s Kyv_DF3_Location\\Dflw.pff" % name.encode(), b"Delete " + name.encode()]
with open(f"{mod}/Control.ini", "wb") as f:
    f.write(b"\r\n".join(control) + b"\r\n")
setup = f"{tmp}/Setup"
subprocess.run([dfmod, "build", "--mod", mod, "--stub", dfmod, "-o", setup], check=True,
               stdout=subprocess.DEVNULL)
shutil.rmtree(mod)

def folder_bytes(folder):
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(folder) for f in fs)

def run(with_point):
    for d in ("x", "game", "points"):
        shutil.rmtree(f"{tmp}/{d}", ignore_errors=True)
        os.makedirs(f"{tmp}/{d}")
    shutil.copy(pristine, f"{tmp}/game/Dflw.pff")
    shutil.copy(setup, f"{tmp}/x/Setup")
    os.sync()
    cmd = [dfmod, "run", "Setup", "--game-folder", f"3={tmp}/game", "--restore-dir",
           f"{tmp}/points"] + ([] if with_point else ["--no-restore-point"])
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=f"{tmp}/x", stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        sys.exit(f"{' '.join(cmd)} failed")
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime

t = {True: [], False: []}
for i in range(runs + 1):  # the first round warms the caches
    for with_point in (False, True):
        r = run(with_point)
        if i > 0:
            t[with_point].append(r)
point = folder_bytes(f"{tmp}/points")
med = {k: [statistics.median(x[n] for x in v) * 1e3 for n in (0, 1)] for k, v in t.items()}
print(f"{runs} runs each, medians in ms (wall / CPU)")
print(f"without restore point {med[False][0]:7.0f} / {med[False][1]:6.0f}")
print(f"with restore point    {med[True][0]:7.0f} / {med[True][1]:6.0f}")
print(f"with / without: wall {med[True][0] / med[False][0]:.3f}, CPU "
      f"{med[True][1] / med[False][1]:.3f}")
# Each pair ran back to back: the median of their ratios follows the machine's load less.
pairs = [[w[n] / o[n] for w, o in zip(t[True], t[False])] for n in (0, 1)]
print(f"median of the pairs' ratios: wall {statistics.median(pairs[0]):.3f}, CPU "
      f"{statistics.median(pairs[1]):.3f}")
print(f"restore point {point / 1e6:.2f} MB; directory + deleted bytes "
      f"{(directory + deleted) / 1e6:.2f} MB; ratio {point / (directory + deleted):.3f}")
PY
