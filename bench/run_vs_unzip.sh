#!/usr/bin/env bash
# Times `dfmod run` of an installer against `unzip -o -j -qq` of the same Main.zip, as
# whole processes, alternating run by run. Two mods: 3,000 entries of 8,400 bytes (25 MB)
# and 12,000 (100 MB), each an incompressible and a repetitive part. Each is extracted
# into a new folder and over the files of the previous run.
#
# What a run costs beyond the extraction (the stub, the library slots and Main.zip
# written and removed, Control.ini read, start-up's one-second wait) is taken out by
# subtracting the same run of an installer whose Main.zip holds Control.ini alone; that
# is the "net" figure. The wait sleeps, so it adds wall time only.
# Usage: bash bench/run_vs_unzip.sh [BUILD_DIR] [RUNS]   (default build/release, 7)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-7}
command -v unzip >/dev/null || { echo "unzip not found"; exit 1; }
dfmod=$(realpath "$build/dfmod")

tmp=$(mktemp -d "${TMPDIR:-/tmp}/run_vs_unzip.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

python3 - "$dfmod" "$tmp" "$runs" <<'PY'
import os, random, shutil, statistics, subprocess, sys, time
dfmod, tmp, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
game = f"{tmp}/game"
os.makedirs(game)
control = b'Mod_Name "Bench"\r\nDf_Version 3\r\n'

def make_installer(name, entries):
    mod, out = f"{tmp}/{name}-mod", f"{tmp}/{name}.setup"
    os.makedirs(mod)
    rnd = random.Random(6)
    for i in range(entries):
        with open(f"{mod}/t{i}.pcx", "wb") as f:
            f.write(rnd.randbytes(5000) + b"pack " * 680)
    with open(f"{mod}/Control.ini", "wb") as f:
        f.write(control)
    subprocess.run([dfmod, "build", "--mod", mod, "--stub", dfmod, "-o", out],
                   check=True, stdout=subprocess.DEVNULL)
    shutil.rmtree(mod)
    data = open(out, "rb").read()
    n = int.from_bytes(data[-4:], "little")
    with open(f"{tmp}/{name}.zip", "wb") as f:
        f.write(data[-4 - n:-4])
    return out, f"{tmp}/{name}.zip"

def timed(cmd, cwd):
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        sys.exit(f"{' '.join(cmd)} failed")
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime

def run_in(folder, setup):  # the installer unpacks beside itself
    shutil.copy(setup, f"{folder}/Setup")
    return timed([dfmod, "run", "Setup", "--game-folder", f"3={game}"], folder)

base_setup, _ = make_installer("one", 0)
sizes = {"25 MB / 3,000": make_installer("25", 3000), "100 MB / 12,000": make_installer("100", 12000)}

print(f"{runs} runs each; medians in ms (wall / CPU)")
for label, (setup, zip_path) in sizes.items():
    t = {k: [] for k in ("base new", "base over", "run new", "run over", "unzip new", "unzip over")}
    for i in range(runs + 1):  # the first round warms the caches
        r = {}
        for kind, folder_setup in (("base", base_setup), ("run", setup)):
            folder = f"{tmp}/x-{kind}"
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
            r[f"{kind} new"] = run_in(folder, folder_setup)
            r[f"{kind} over"] = run_in(folder, folder_setup)
        folder = f"{tmp}/x-unzip"
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for case in ("new", "over"):
            r[f"unzip {case}"] = timed(["unzip", "-o", "-j", "-qq", zip_path, "-d", folder], tmp)
        if i > 0:
            for k, v in r.items():
                t[k].append(v)
    med = {k: (statistics.median(x[0] for x in v) * 1e3, statistics.median(x[1] for x in v) * 1e3)
           for k, v in t.items()}
    for case in ("new", "over"):
        run, base, unz = med[f"run {case}"], med[f"base {case}"], med[f"unzip {case}"]
        net = (run[0] - base[0], run[1] - base[1])
        print(f"{label} {case:4}: dfmod run {run[0]:7.0f} / {run[1]:6.0f}, one-entry run "
              f"{base[0]:6.0f} / {base[1]:4.0f}, net {net[0]:6.0f} / {net[1]:6.0f}; unzip "
              f"{unz[0]:6.0f} / {unz[1]:6.0f}; net / unzip: wall {net[0] / unz[0]:.2f}, "
              f"cpu {net[1] / unz[1]:.2f}; whole run / unzip cpu {run[1] / unz[1]:.2f}")
PY
