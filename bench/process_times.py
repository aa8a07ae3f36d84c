"""Times commands as whole processes, alternating them run by run.

Each run's CPU time is the user plus system time of the process (wait4), so other work
on the machine adds little; wall time is reported beside it. The processes run on one
core: BENCH_CPU (default 1, or 0 on a single-core machine) names it, `BENCH_CPU=` leaves
them unpinned.
"""
import os
import statistics
import subprocess
import sys
import time


def pin():
    cpu = os.environ.get("BENCH_CPU", "1" if os.cpu_count() > 1 else "0")
    if cpu:
        os.sched_setaffinity(0, {int(cpu)})  # inherited by every child
    return cpu or "any"


def timed(argv, env=None):
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{' '.join(argv)} failed")
    return wall, usage.ru_utime + usage.ru_stime


def alternate(commands, runs, warm_up=3, env=None):
    """commands: name -> argv. Returns name -> (median wall ms, median CPU ms)."""
    times = {name: [] for name in commands}
    for i in range(runs + warm_up):  # the first rounds warm the caches
        for name, argv in commands.items():
            t = timed(argv, env)
            if i >= warm_up:
                times[name].append(t)
    return {name: (statistics.median(t[0] for t in ts) * 1e3,
                   statistics.median(t[1] for t in ts) * 1e3) for name, ts in times.items()}


def report(medians, width=28):
    for name, (wall, cpu) in medians.items():
        print(f"{name:{width}}: wall {wall:7.2f} ms, cpu {cpu:7.2f} ms (medians)")


def machine():
    flags = set()
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("flags"):
                flags = set(line.split(":", 1)[1].split())
                break
    simd = [x for x in ("avx512f", "avx2", "avx", "sse4_2", "sse2") if x in flags]
    load = os.getloadavg()[0]
    return f"{os.cpu_count()} CPUs ({' '.join(simd)}), load average {load:.2f}"
