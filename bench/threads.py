"""The thread test's workload (tests/python/test_threads.py: values built,
parsed, printed, hashed, compared and added, shared ones among them) timed on
one thread and on two, each thread doing the same number of rounds: on a
free-threaded interpreter two threads should do nearly twice the work of one
in the same time. Prints rounds per second for each and the ratio.

    python3.15 bench/threads.py [--rounds N] [--repeat N]
"""
import argparse
import pathlib
import sys
import sysconfig
import threading
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "python"))
from test_threads import make_cases, work  # noqa: E402


def throughput(threads, rounds, cases):
    """Rounds per second with `threads` threads, each doing `rounds`."""
    barrier = threading.Barrier(threads + 1)

    def run(offset):
        barrier.wait()
        for i in range(rounds):
            work(*cases[(offset + i) % len(cases)])

    workers = [threading.Thread(target=run, args=(n * 37,)) for n in range(threads)]
    for worker in workers:
        worker.start()
    barrier.wait()
    start = time.perf_counter()
    for worker in workers:
        worker.join()
    return threads * rounds / (time.perf_counter() - start)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=20000, help="rounds per thread (default 20000)")
    parser.add_argument("--repeat", type=int, default=5, help="runs of each, the best kept (default 5)")
    args = parser.parse_args()
    cases = make_cases()
    free = bool(sysconfig.get_config_var("Py_GIL_DISABLED"))
    gil = sys._is_gil_enabled() if hasattr(sys, "_is_gil_enabled") else True
    print(f"Python {sys.version.split()[0]}{' free-threaded' if free else ''}, GIL {'on' if gil else 'off'}; "
          f"{args.rounds} rounds per thread, best of {args.repeat}")
    best = {}
    for _ in range(args.repeat):
        for threads in (1, 2):
            best[threads] = max(best.get(threads, 0.0), throughput(threads, args.rounds, cases))
    for threads in (1, 2):
        print(f"{threads} thread{'s' if threads > 1 else ''}: {best[threads]:10.0f} rounds/s")
    print(f"speed-up of two threads over one: {best[2] / best[1]:.2f}x")


if __name__ == "__main__":
    main()
