#!/usr/bin/python3
"""Two builds of mmftool on the benchmark set's HTK forms: the same outputs, and the time.

    bench/compareBuilds.py OLD/mmftool NEW/mmftool [--rounds N] [--dir DIR]

DIR holds the files mac2mod_bench --benchmark_filter=importHtk writes (htk-text.mmf,
htk-binary.mmf, ModelNames.txt; by default in the temporary folder). Each round runs both
builds on each input, in alternating order, as whole processes; the figure is NEW's median
over OLD's, measured in the same run. The model files and summaries written must be equal
byte for byte.
"""
import argparse, filecmp, os, statistics, subprocess, sys, tempfile, time

def run(tool, inputs, out, table):
    start = time.perf_counter()
    done = subprocess.run([tool, "import", *inputs, out, "--table", table], capture_output=True)
    seconds = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"{tool} failed on {inputs}: {done.stderr.decode()}")
    return seconds, done.stdout.decode().replace(out, "OUT")

def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--dir", default=os.path.join(tempfile.gettempdir(), "mac2mod-bench-v1-10000"))
    args = parser.parse_args()
    table = os.path.join(args.dir, "ModelNames.txt")
    with tempfile.TemporaryDirectory() as scratch:
        for form in ("text", "binary"):
            inputs = [os.path.join(args.dir, f"htk-{form}.mmf")]
            times = {"old": [], "new": []}
            outputs = {}
            for r in range(args.rounds):
                for which in (("old", "new") if r % 2 == 0 else ("new", "old")):
                    out = os.path.join(scratch, f"{which}.mod")
                    seconds, summary = run(getattr(args, which), inputs, out, table)
                    times[which].append(seconds)
                    outputs[which] = summary
            same = filecmp.cmp(os.path.join(scratch, "old.mod"), os.path.join(scratch, "new.mod"), shallow=False)
            same = same and outputs["old"] == outputs["new"]
            old, new = statistics.median(times["old"]), statistics.median(times["new"])
            print(f"htk {form}: old {old:.3f} s, new {new:.3f} s, new/old {new / old:.3f}, "
                  f"outputs {'equal' if same else 'DIFFER'}")
            if not same:
                sys.exit(1)

main()
