#!/usr/bin/env python3
"""EvalArray1 beside numpy, in one run: the same three waveforms of 65,536
points (computed, rounded, clipped to the data-word scale), medians of
repeated runs, and our time as a share of numpy's.

Usage: compare_numpy.py BUILD/bench/bench_eval
"""
import json
import statistics
import subprocess
import sys
import timeit

try:
    import numpy as np
except ImportError:
    print("compare_numpy: numpy is not installed; skipped")
    sys.exit(0)

N = 65536
x = np.arange(N, dtype=np.float64)
rng = np.random.default_rng(1)


def words(v):
    return np.clip(np.rint(v), -32767, 32767).astype(np.int16)


# Keep in step with kCompared in bench_eval.cpp.
CASES = [
    lambda: words(np.sin(2 * np.pi * x / 65536) * 20000 + rng.uniform(-1000, 1000, N)),
    lambda: words(8000 * np.sin(2 * np.pi * 3 * x / 65536) * np.sqrt(x / 65536)
                  + 8000 / 4 * np.sign(x - 32768)),
    lambda: words(30000 * (x - 32768) / (np.abs(x - 32768) + 1000)),
    lambda: words(8000 * np.sin(2 * np.pi * 3 * x / 65536) * np.exp(-x / 30000)
                  + 8000 / 2 * np.cos(2 * np.pi * x / 4096)),
]


def numpy_ms(case):
    timer = timeit.Timer(case)
    loops, _ = timer.autorange()
    runs = [t / loops * 1e3 for t in timer.repeat(repeat=7, number=loops)]
    return statistics.median(runs)


def ours_ms(bench):
    out = subprocess.run(
        [bench, "--benchmark_filter=BM_Compare/", "--benchmark_repetitions=7",
         "--benchmark_report_aggregates_only=true", "--benchmark_format=json"],
        check=True, capture_output=True, text=True).stdout
    medians = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            case = int(b["run_name"].split("/")[1])
            medians[case] = b["real_time"]  # milliseconds, as the benchmark's unit
    return medians


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    ours = ours_ms(sys.argv[1])
    print("%-6s %12s %12s %8s" % ("case", "EvalArray1", "numpy", "ratio"))
    for i, case in enumerate(CASES):
        theirs = numpy_ms(case)
        print("%-6d %9.3f ms %9.3f ms %8.2f" % (i, ours[i], theirs, ours[i] / theirs))
    return 0


if __name__ == "__main__":
    sys.exit(main())
