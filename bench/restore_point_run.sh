#!/usr/bin/env bash
# Times `dfmod run` of three mods with and without a restore point, as whole processes,
# alternating run by run:
#   pack       5,000 pairs of `Pack NAME Kyv_DF3_Location\Dflw.pff` and `Delete NAME`
#              (sources of 1 to 64 KB, half of them replacing entries) into an archive of
#              20,000 records of 36 bytes (one in ten dead space, 512 to 4,096 bytes of data
#              each);
#   copy-new   3,000 `Copy NAME Kyv_DF3_Location` of new 2 KB files;
#   copy-over  the same 3,000 copies over files of the same names already in the game
#              folder (each removed first, as the Copy command does).
# Each run starts from a fresh copy of the game folder and of the installer, in a fresh
# folder; the restore points go to a folder of their own, emptied before each run. Before
# each run (not timed) the disk catches up (sync): what one run leaves to write back (the
# deleted sources a restore point keeps) would otherwise slow down the next run, whichever
# it is.
#
# Also checks the pack case's restore point size: its bytes on disk (journal, manifest and
# what it stashed) against the archive's directory plus the bytes the install deleted.
#
# With GAME_FS=tmpfs (as root) the game folder lies on a tmpfs mounted for the run, the
# restore points on the disk: files deleted or copied over are then copied into the
# restore point and synced there, where one file system moves them.
# Usage: bash bench/restore_point_run.sh [BUILD_DIR] [RUNS] [CASES]
#        (default build/release, 5, pack,copy-new,copy-over)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-5}
cases=${3:-pack,copy-new,copy-over}
dfmod=$(realpath "$build/dfmod")

tmp=$(mktemp -d "${TMPDIR:-/tmp}/restore_point_run.XXXXXX")
games="$tmp"
if [ "${GAME_FS:-}" = tmpfs ]; then
  games="$tmp/gamefs"
  mkdir "$games"
  mount -t tmpfs -o size=2g tmpfs "$games"
fi
trap 'if [ "$games" != "$tmp" ]; then umount "$games"; fi; rm -rf "$tmp"' EXIT

python3 - "$dfmod" "$tmp" "$runs" "$cases" "$games" <<'PY'
import os, random, shutil, statistics, subprocess, sys, time
sys.path.insert(0, "bench")
from bench_archive import write_archive
dfmod, tmp, runs, cases, games = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]
RECORDS, PAIRS, STRIDE, COPIES = 20000, 5000, 36, 3000
rnd = random.Random(20261206)

pristine = f"{tmp}/Dflw.pff"
directory = write_archive(pristine, rnd, RECORDS, STRIDE)

def build(name, files, control):
    mod = f"{tmp}/mod"
    os.makedirs(mod)
    for file, data in files.items():
        with open(f"{mod}/{file}", "wb") as f:
            f.write(data)
    with open(f"{mod}/Control.ini", "wb") as f:
        f.write(b"\r\n".join([b'Mod_Name "Bench"', b"Df_Version 3"] + control) + b"\r\n")
    subprocess.run([dfmod, "build", "--mod", mod, "--stub", dfmod, "-o", f"{tmp}/{name}"],
                   check=True, stdout=subprocess.DEVNULL)
    shutil.rmtree(mod)

# The pack mod, and the game folder it installs into: the archive.
files, control, deleted = {}, [], 0
for j in range(PAIRS):
    name = "new%d.pcx" % j if j % 2 else "f%d.pcx" % (j * 7 % RECORDS)
    size = rnd.randint(1024, 65536)
    deleted += size
    files[name] = bytes([65 + j % 26]) * size
    control += [b"Pack %s Kyv_DF3_Location\\Dflw.pff" % name.encode(), b"Delete " + name.encode()]
build("pack", files, control)
# The copy mod; the game folder of copy-over already holds files of the same names.
names = ["c%d.pcx" % j for j in range(COPIES)]
build("copy", {n: bytes([65 + j % 26]) * 2048 for j, n in enumerate(names)},
      [b"Copy %s Kyv_DF3_Location" % n.encode() for n in names])
os.makedirs(f"{tmp}/over")
for n in names:
    with open(f"{tmp}/over/{n}", "wb") as f:
        f.write(b"o" * 2048)

def folder_bytes(folder):
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(folder) for f in fs)

def run(case, with_point):
    game = f"{games}/game"
    for d in ("x", "points"):
        shutil.rmtree(f"{tmp}/{d}", ignore_errors=True)
        os.makedirs(f"{tmp}/{d}")
    shutil.rmtree(game, ignore_errors=True)
    if case == "copy-over":
        shutil.copytree(f"{tmp}/over", game)
    else:
        os.makedirs(game)
    if case == "pack":
        shutil.copy(pristine, f"{game}/Dflw.pff")
    shutil.copy(f"{tmp}/{'pack' if case == 'pack' else 'copy'}", f"{tmp}/x/Setup")
    os.sync()
    cmd = [dfmod, "run", "Setup", "--game-folder", f"3={game}", "--restore-dir",
           f"{tmp}/points"] + ([] if with_point else ["--no-restore-point"])
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=f"{tmp}/x", stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        sys.exit(f"{' '.join(cmd)} failed")
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime

for case in cases.split(","):
    t = {True: [], False: []}
    for i in range(runs + 1):  # the first round warms the caches
        for with_point in (False, True):
            r = run(case, with_point)
            if i > 0:
                t[with_point].append(r)
    point = folder_bytes(f"{tmp}/points")
    med = {k: [statistics.median(x[n] for x in v) * 1e3 for n in (0, 1)] for k, v in t.items()}
    print(f"{case}: {runs} runs each, medians in ms (wall / CPU)")
    print(f"  without restore point {med[False][0]:7.0f} / {med[False][1]:6.0f}")
    print(f"  with restore point    {med[True][0]:7.0f} / {med[True][1]:6.0f}")
    print(f"  with / without: wall {med[True][0] / med[False][0]:.3f}, CPU "
          f"{med[True][1] / med[False][1]:.3f}")
    # Each pair ran back to back: the median of their ratios follows the machine's load less.
    pairs = [[w[n] / o[n] for w, o in zip(t[True], t[False])] for n in (0, 1)]
    print(f"  median of the pairs' ratios: wall {statistics.median(pairs[0]):.3f}, CPU "
          f"{statistics.median(pairs[1]):.3f}")
    if case == "pack":
        print(f"  restore point {point / 1e6:.2f} MB; directory + deleted bytes "
              f"{(directory + deleted) / 1e6:.2f} MB; ratio {point / (directory + deleted):.3f}")
    else:
        print(f"  restore point {point / 1e6:.2f} MB")
PY
