#!/usr/bin/env python3
"""Runs each benchmark program with tarnwick-vbs and with CPython and prints the time ratio.

usage: compare.py [PATH/TO/tarnwick-vbs]   (default: ../../build/tarnwick-vbs)
A ratio below 1.0 means the script engine was faster than CPython.
"""
import os
import subprocess
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
runner = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "build", "tarnwick-vbs")


def best_of(cmd, runs=3):
    best, out = None, None
    for _ in range(runs):
        start = time.perf_counter()
        res = subprocess.run(cmd, capture_output=True, text=True)
        elapsed = time.perf_counter() - start
        if res.returncode != 0:
            sys.exit(f"{' '.join(cmd)} failed: {res.stderr.strip()}")
        out = res.stdout.strip()
        best = elapsed if best is None else min(best, elapsed)
    return best, out


print(f"{'program':<16} {'vbs s':>8} {'python s':>9} {'ratio':>7}  output")
for name in sorted(f[:-4] for f in os.listdir(here) if f.endswith(".vbs")):
    vbs_t, vbs_out = best_of([runner, os.path.join(here, name + ".vbs")])
    py_t, py_out = best_of([sys.executable, os.path.join(here, name + ".py")])
    same = "same" if vbs_out == py_out else f"DIFFERENT ({vbs_out} vs {py_out})"
    print(f"{name:<16} {vbs_t:8.3f} {py_t:9.3f} {vbs_t / py_t:7.2f}  {same}")
