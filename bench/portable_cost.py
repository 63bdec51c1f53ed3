"""The cost of the portable 128-bit arithmetic: runs the core benchmark of a
native build and of a build with KAIRODEX_PORTABLE_ARITHMETIC, alternating,
and prints the medians of both side by side.

    python3 bench/portable_cost.py NATIVE_CORE_BENCH PORTABLE_CORE_BENCH
"""
import json
import subprocess
import sys
import tempfile


def medians(binary):
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run(
            [binary, "--benchmark_filter=/(fast|core)$", "--benchmark_repetitions=5", "--benchmark_min_time=0.05s",
             "--benchmark_display_aggregates_only=true", f"--benchmark_out={out.name}",
             "--benchmark_out_format=json"],
            check=True, capture_output=True, text=True)
        runs = json.load(open(out.name))["benchmarks"]
    return {run["run_name"]: run["cpu_time"]
            for run in runs if run.get("aggregate_name") == "median"}


def main():
    native, portable = medians(sys.argv[1]), medians(sys.argv[2])
    print(f"{'operation':40} {'native ns':>10} {'portable ns':>12} {'cost':>7}")
    for name, ns in native.items():
        print(f"{name:40} {ns:10.2f} {portable[name]:12.2f} {portable[name] / ns:6.2f}x")


if __name__ == "__main__":
    main()
