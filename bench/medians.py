#!/usr/bin/env python3
"""Medians of several runs of a benchmark, each run a process of its own, so that the
memory figures of one benchmark are not those of the allocator's leftovers from the
one before. With more than one benchmark program (a build before and one after a
change), the programs take turns run by run, so both meet the same load.

    bench/medians.py --runs 5 --filter 'BM_StatisticsReady/1000000/' before/historyBench build/bench/historyBench

Prints, per program and figure, the median and the range, and the machine's load
average before and after."""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile


def run_once(program, pattern):
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run(
            [program, f"--benchmark_filter={pattern}", f"--benchmark_out={out.name}", "--benchmark_out_format=json"],
            check=True, capture_output=True,
            env=dict(os.environ, QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen")),
        )
        report = json.load(open(out.name))
    figures = {}
    if not report.get("benchmarks"):
        sys.exit(f"{program}: no benchmark matches {pattern}")
    for bench in report["benchmarks"]:
        if bench.get("error_occurred"):
            sys.exit(f"{program}: {bench['name']}: {bench.get('error_message')}")
        name = bench["run_name"]
        values = {k: v for k, v in bench.items() if isinstance(v, (int, float)) and k not in (
            "family_index", "per_family_instance_index", "repetitions", "repetition_index", "threads",
            "iterations", "cpu_time", "items_per_second")}
        figures[name] = values
    return figures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--filter", required=True)
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()
    print(f"load average before: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    args.programs = [os.path.abspath(p) for p in args.programs]
    results = {p: {} for p in args.programs}
    for _ in range(args.runs):
        for program in args.programs:
            for name, values in run_once(program, args.filter).items():
                for key, value in values.items():
                    results[program].setdefault(name, {}).setdefault(key, []).append(value)
    print(f"load average after:  {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    for program in args.programs:
        print(program)
        for name, values in results[program].items():
            print(f"  {name}")
            for key, series in sorted(values.items()):
                print(f"    {key:28} median {statistics.median(series):12.3f}   "
                      f"range {min(series):.3f} .. {max(series):.3f}")


if __name__ == "__main__":
    main()
