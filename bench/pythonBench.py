#!/usr/bin/env python3
"""The Python module's costs as ratios to the C++ read of the same file, measured in one run.

    python3 bench/pythonBench.py --build build [--bench build-bench/bench/mac2mod_bench]

For the 10,000-model benchmark set (text and binary), the median of several rounds of:
  cpp    the C++ readSet alone, timed inside the extension (_mac2mod._read_set_seconds);
  read   mac2mod.read from Python, the HmmSet object included;
  pool   HmmSet.gaussians() over that set.
The rounds alternate, so both reads meet the same page cache. Limits: read <= 1.10 cpp,
pool <= 0.25 cpp; the exit status is 1 when one is exceeded. The set is the one the C++
benchmarks generate (bench/setGenerator.cpp) in the temporary folder; when it is missing, the
benchmark program given with --bench generates it.
"""
import argparse
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

MODELS = 10000
LIMITS = {"read": 1.10, "pool": 0.25}


def benchmark_set(bench):
    folder = pathlib.Path(tempfile.gettempdir()) / f"mac2mod-bench-v1-{MODELS}"
    if not (folder / "ModelNames-shuffled.txt").exists():
        if not bench:
            sys.exit(f"{folder} is missing: give --bench with the mac2mod_bench program to generate it")
        subprocess.run([bench, f"--benchmark_filter=readText/models:{MODELS}/pieces:1$",
                        "--benchmark_min_time=0.01"], check=True, stdout=subprocess.DEVNULL)
    return folder


def seconds(work):
    start = time.perf_counter()
    result = work()
    return time.perf_counter() - start, result


def measure(mac2mod, path, rounds):
    cpp, read, pool = [], [], []
    for _ in range(rounds):
        cpp.append(mac2mod._mac2mod._read_set_seconds(path))
        took, s = seconds(lambda: mac2mod.read(path))
        read.append(took)
        pool.append(seconds(s.gaussians)[0])
        del s
    return statistics.median(cpp), statistics.median(read), statistics.median(pool)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build", help="the build folder (its python/ is imported)")
    parser.add_argument("--bench", help="the mac2mod_bench program, to generate a missing set")
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    sys.path.insert(0, os.path.join(args.build, "python"))
    import mac2mod

    folder = benchmark_set(args.bench)
    exceeded = False
    print(f"{'file':10} {'cpp s':>8} {'read s':>8} {'pool s':>8} {'read/cpp':>9} {'pool/cpp':>9}")
    for name in ("set.mac", "set.macb"):
        cpp, read, pool = measure(mac2mod, str(folder / name), args.rounds)
        ratios = {"read": read / cpp, "pool": pool / cpp}
        exceeded |= any(ratios[k] > LIMITS[k] for k in LIMITS)
        print(f"{name:10} {cpp:8.3f} {read:8.3f} {pool:8.3f} {ratios['read']:9.3f} {ratios['pool']:9.3f}")
    print("limits: read/cpp <= %.2f, pool/cpp <= %.2f: %s" %
          (LIMITS["read"], LIMITS["pool"], "exceeded" if exceeded else "kept"))
    return 1 if exceeded else 0


if __name__ == "__main__":
    sys.exit(main())
