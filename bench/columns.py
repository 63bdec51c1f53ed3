"""kairodex_columns side by side with what it stands in for, in one process.

    scripts/dev run --env py314 python3.15 bench/columns.py [--rows N] [--rounds N] [--json FILE]

(The py314 environment has pyarrow; elsewhere its rows are left out.)

The workload is bench/workload.py's: RFC 3339 stamps with mixed offsets and
fractions of 0, 3 or 6 digits, from a fixed seed, 1,000,000 by default, as a
list of str, a numpy str array, an Arrow string array and newline-separated
bytes. Before anything is timed, every reader's answer is checked against
the scalar loop's (OffsetDateTime.parse per row, the objects kept): the same
instants and offsets, and the same texts written back. Each row of the table
is the best of ROUNDS runs (default 5; the slow references 2), in nanoseconds
of processor time a row (so that other work on a shared machine inflates it
less), with the reference it is measured against beside it:

- reading: the scalar loop; pandas.to_datetime(format="ISO8601", utc=True) on
  the mixed stamps and on stamps that all end in "Z"; numpy's own
  datetime64[ns] conversion of the same stamps without their zones; pyarrow's
  cast of the same Arrow array to timestamp[ns, tz=UTC]; then the columns from
  each input, on one thread and on two (the time that passed, against one
  thread's);
- writing: format_datetimes beside numpy.datetime_as_string and pandas'
  .dt.strftime of the same instants;
- memory: the peak that tracemalloc sees while a buffer is read, above the
  input, as a multiple of the output arrays' size.
"""
import argparse
import gc
import json
import os
import pathlib
import platform
import sys
import time
import tracemalloc

import numpy as np

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import kairodex_columns as kc  # noqa: E402
from kairodex import DateTime, OffsetDateTime  # noqa: E402
from workload import make_stamps  # noqa: E402

try:
    import pandas as pd
except ImportError:
    pd = None
try:
    import pyarrow as pa
    import pyarrow.compute as pc
except ImportError:
    pa = None


def best(call, rounds):
    """The fastest of `rounds` runs, in seconds: the time that passed, and the
    processor time the process took (the figure of a reader that runs on one
    thread, which other work on the machine does not inflate). The garbage
    collector runs as it does in a program: a million objects kept cost its
    passes over them."""
    walls, cpus = [], []
    for _ in range(rounds):
        gc.collect()
        wall, cpu = time.perf_counter(), time.process_time()
        call()
        cpus.append(time.process_time() - cpu)
        walls.append(time.perf_counter() - wall)
    return min(walls), min(cpus)


def peak_above(call):
    """Bytes tracemalloc saw allocated at the peak of the call, above what there was before."""
    gc.collect()
    tracemalloc.start()
    try:
        before = tracemalloc.get_traced_memory()[0]
        tracemalloc.reset_peak()
        result = call()
        peak = tracemalloc.get_traced_memory()[1]
    finally:
        tracemalloc.stop()
    return peak - before, result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    rows, rounds, slow = args.rows, args.rounds, max(1, min(2, args.rounds))

    texts = make_stamps(rows)
    utc_texts = [str(OffsetDateTime.parse(t).utc) for t in texts]
    zoneless = [t[:-1] if t.endswith("Z") else t[:-6] for t in texts]  # numpy reads no offsets
    as_numpy = np.array(texts)
    as_bytes = "\n".join(texts).encode()
    as_arrow = pa.array(texts, pa.string()) if pa else None
    inputs = {"list": texts, "numpy": as_numpy, "bytes": as_bytes, **({"arrow": as_arrow} if pa else {})}

    # The answers first: every reader gives the scalar loop's.
    objects = [OffsetDateTime.parse(t) for t in texts]
    expected = np.array([o.unix_timestamp_nanos() for o in objects], dtype="int64")
    expected_offsets = np.array([o.offset.as_seconds() for o in objects], dtype="int32")
    for name, data in inputs.items():
        for threads in (1, 2):
            instants, offsets = kc.parse_offset_datetimes(data, threads=threads)
            assert np.array_equal(instants.view("int64"), expected), name
            assert np.array_equal(offsets, expected_offsets), name
    assert kc.format_offset_datetimes(instants, offsets) == [str(o) for o in objects]
    assert kc.format_datetimes(instants) == utc_texts
    if pa:
        cast = pc.cast(as_arrow, pa.timestamp("ns", tz="UTC"))
        assert np.array_equal(cast.cast(pa.int64()).to_numpy(), expected), "pyarrow reads other instants"
        column = pa.array(kc.parse_offset_datetimes(as_arrow, to_arrow=True)[0])
        assert column.equals(cast)
    if pd is not None:
        assert np.array_equal(pd.to_datetime(texts[:1000], format="ISO8601", utc=True).asi8, expected[:1000])
    assert np.array_equal(np.array(zoneless[:1000], dtype="datetime64[ns]").view("int64")[:1],
                          np.array([DateTime.parse(zoneless[0] + "Z").unix_timestamp_nanos()]))

    figures = {}

    def row(label, call, reference=None, slow_call=False, wall=False):
        """A row of the table: processor time a row (the time that passed,
        where `wall`: for two threads), and the reference's beside it."""
        passed, processor = best(call, slow if slow_call else rounds)
        figures[label] = (passed if wall else processor) * 1e9 / rows
        figures[label + " (time passed)"] = passed * 1e9 / rows
        figures[label + " (processor time)"] = processor * 1e9 / rows
        text = f"{label:<52} {figures[label]:9.1f} ns/row{' (time passed)' if wall else ''}"
        if reference is not None:
            text += f"   {figures[reference] / figures[label]:7.1f}x {reference}"
        print(text, flush=True)

    print(f"{rows:,} stamps; Python {platform.python_version()}, numpy {np.__version__}"
          f"{', pandas ' + pd.__version__ if pd is not None else ''}{', pyarrow ' + pa.__version__ if pa else ''}; "
          f"{os.cpu_count()} cores, load average {os.getloadavg()[0]:.2f} at the start\n")
    print("reading")
    row("scalar loop: OffsetDateTime.parse, objects kept", lambda: [OffsetDateTime.parse(t) for t in texts],
        slow_call=True)
    if pd is not None:
        row("pandas.to_datetime(ISO8601, utc), mixed offsets",
            lambda: pd.to_datetime(texts, format="ISO8601", utc=True), slow_call=True)
        row("pandas.to_datetime(ISO8601, utc), all 'Z'",
            lambda: pd.to_datetime(utc_texts, format="ISO8601", utc=True), slow_call=True)
    row("numpy datetime64[ns] of the stamps without zones", lambda: np.array(zoneless, dtype="datetime64[ns]"),
        slow_call=True)
    if pa:
        row("pyarrow cast to timestamp[ns, tz=UTC]", lambda: pc.cast(as_arrow, pa.timestamp("ns", tz="UTC")))
    references = ["scalar loop: OffsetDateTime.parse, objects kept"]
    if pd is not None:
        references.append("pandas.to_datetime(ISO8601, utc), mixed offsets")
    for name, data in inputs.items():
        reference = "pyarrow cast to timestamp[ns, tz=UTC]" if pa and name != "list" else references[0]
        for threads in (1, 2):
            label = f"parse_offset_datetimes({name}, threads={threads})"
            row(label, lambda data=data, threads=threads: kc.parse_offset_datetimes(data, threads=threads),
                reference if threads == 1 else None, wall=threads > 1)
            if name == "list" and threads == 1 and len(references) > 1:
                print(f"{'':<52} {'':>9}          {figures[references[1]] / figures[label]:7.1f}x {references[1]}")
        one = figures[f"parse_offset_datetimes({name}, threads=1)"]
        one_passed = figures[f"parse_offset_datetimes({name}, threads=1) (time passed)"]
        two = figures[f"parse_offset_datetimes({name}, threads=2)"]
        work = figures[f"parse_offset_datetimes({name}, threads=2) (processor time)"] / one
        print(f"{'':<52} two threads: {one_passed / two:.2f}x one in time passed, {work:.2f}x its processor time; "
              f"{1e3 / one:.0f} million rows a second on one")
    if pa:
        row("parse_offset_datetimes(arrow, to_arrow=True)", lambda: kc.parse_offset_datetimes(as_arrow, to_arrow=True),
            "pyarrow cast to timestamp[ns, tz=UTC]")

    print("\nwriting")
    instants = kc.parse_datetimes(utc_texts)
    row("numpy.datetime_as_string(timezone='UTC')", lambda: np.datetime_as_string(instants, timezone="UTC"),
        slow_call=True)
    if pd is not None:
        series = pd.Series(instants)
        row("pandas .dt.strftime", lambda: series.dt.strftime("%Y-%m-%dT%H:%M:%S.%fZ"), slow_call=True)
    row("format_datetimes", lambda: kc.format_datetimes(instants), "numpy.datetime_as_string(timezone='UTC')")
    if pd is not None:
        print(f"{'':<52} {'':>9}          {figures['pandas .dt.strftime'] / figures['format_datetimes']:7.1f}x "
              "pandas .dt.strftime")
    row("format_offset_datetimes", lambda: kc.format_offset_datetimes(*kc.parse_offset_datetimes(as_bytes)),
        "numpy.datetime_as_string(timezone='UTC')")

    print("\nmemory: the peak above the input while a buffer is read, against the output arrays (12 bytes a row)")
    for name, data in inputs.items():
        if name == "list":
            continue
        for threads in (1, 2):
            peak, (instants, offsets) = peak_above(lambda: kc.parse_offset_datetimes(data, threads=threads))
            output = instants.nbytes + offsets.nbytes
            figures[f"peak/output {name} threads={threads}"] = peak / output
            print(f"{name + ', threads=' + str(threads):<52} {peak / output:9.3f} x the output "
                  f"({peak / 2**20:.1f} MiB for {output / 2**20:.1f} MiB)")
    print(f"\nload average {os.getloadavg()[0]:.2f} at the end")
    if args.json:
        pathlib.Path(args.json).write_text(json.dumps(figures, indent=1) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
