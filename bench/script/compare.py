#!/usr/bin/env python3
"""Runs each benchmark program with tarnwick-vbs and with CPython and prints the time ratio.

usage: compare.py [PATH/TO/tarnwick-vbs]   (default: ../../build/tarnwick-vbs)
A ratio below 1.0 means the script engine was faster than CPython. Both the wall-clock time
and the CPU time (user + system of the child) are shown, each the best of three runs; the CPU
ratio is the steadier figure on a machine that is busy with other work.
"""
import os
import resource
import subprocess
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
runner = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "build", "tarnwick-vbs")


def child_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def run_once(cmd):
    cpu0 = child_cpu()
    start = time.perf_counter()
    res = subprocess.run(cmd, capture_output=True, text=True)
    elapsed = time.perf_counter() - start
    cpu = child_cpu() - cpu0
    if res.returncode != 0:
        sys.exit(f"{' '.join(cmd)} failed: {res.stderr.strip()}")
    return elapsed, cpu, res.stdout.strip()


def best_pair(vbs_cmd, py_cmd, runs=3):
    # The two programs take turns, so a burst of other work on the machine hits both alike.
    best = {"vbs": [None, None, ""], "py": [None, None, ""]}
    for _ in range(runs):
        for key, cmd in (("vbs", vbs_cmd), ("py", py_cmd)):
            elapsed, cpu, out = run_once(cmd)
            b = best[key]
            b[0] = elapsed if b[0] is None else min(b[0], elapsed)
            b[1] = cpu if b[1] is None else min(b[1], cpu)
            b[2] = out
    return best["vbs"], best["py"]


print(f"{'program':<16} {'vbs s':>8} {'python s':>9} {'ratio':>7} {'vbs cpu':>8} {'py cpu':>8} {'cpu ratio':>9}  output")
for name in sorted(f[:-4] for f in os.listdir(here) if f.endswith(".vbs")):
    (vbs_t, vbs_c, vbs_out), (py_t, py_c, py_out) = best_pair(
        [runner, os.path.join(here, name + ".vbs")], [sys.executable, os.path.join(here, name + ".py")])
    same = "same" if vbs_out == py_out else f"DIFFERENT ({vbs_out} vs {py_out})"
    print(f"{name:<16} {vbs_t:8.3f} {py_t:9.3f} {vbs_t / py_t:7.2f} {vbs_c:8.3f} {py_c:8.3f} {vbs_c / max(py_c, 1e-6):9.2f}  {same}")
