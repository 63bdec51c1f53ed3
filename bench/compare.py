"""kairodex against what a Python programmer would use instead, in one process.

For each operation: the kairodex call, its standard-library `datetime`
equivalent and, where installed, `ciso8601` and `pendulum`, each timed with
`timeit` over several repeats (the minimum and the median of the repeats, in
ns per call). Two floor rows give the cheapest CPython calls of the same
shapes: an argument-less method returning an int, and an allocation.

    python3.15 bench/compare.py [--repeat N] [--target-ms MS] [--json FILE]
"""

import argparse
import datetime as dt
import json
import math
import platform
import statistics
import sys
import timeit

import kairodex as kx

try:
    import ciso8601
except ImportError:
    ciso8601 = None
try:
    import pendulum
except ImportError:
    pendulum = None

UTC = dt.timezone.utc
PLUS_TWO = dt.timezone(dt.timedelta(hours=2))

DATE_TEXT = "2024-06-01"
TIME_TEXT = "12:30:45.123456"
UTC_TEXT = "2024-06-01T12:30:45.123456Z"
OFFSET_TEXT = "2024-06-01T12:30:45.123456+02:00"

# Names the statements use. Each side gets values of the same moment.
NAMESPACE = {
    "kx": kx,
    "Date": kx.Date,
    "Time": kx.Time,
    "DateTime": kx.DateTime,
    "OffsetDateTime": kx.OffsetDateTime,
    "date": dt.date,
    "time": dt.time,
    "datetime": dt.datetime,
    "timedelta": dt.timedelta,
    "UTC": UTC,
    "ciso8601": ciso8601,
    "pendulum": pendulum,
    "DATE_TEXT": DATE_TEXT,
    "TIME_TEXT": TIME_TEXT,
    "UTC_TEXT": UTC_TEXT,
    "OFFSET_TEXT": OFFSET_TEXT,
    "five": 5,
    "monday": kx.Weekday.MONDAY,
    # kairodex values
    "d": kx.Date(2024, 6, 1),
    "d2": kx.Date(2024, 6, 2),
    "t": kx.Time(12, 30, 45, 123456000),
    "t2": kx.Time(12, 30, 46),
    "x": kx.DateTime.parse(UTC_TEXT),
    "x2": kx.DateTime.parse("2024-06-01T12:30:46Z"),
    "o": kx.OffsetDateTime.parse(OFFSET_TEXT),
    "dur": kx.Duration.seconds(90061),
    "off": kx.UtcOffset.from_seconds(7200),
    "day_count": 19875,
    "seconds": 1717245045,
    # standard-library values
    "pd": dt.date(2024, 6, 1),
    "pd2": dt.date(2024, 6, 2),
    "pt": dt.time(12, 30, 45, 123456),
    "pt2": dt.time(12, 30, 46),
    "px": dt.datetime(2024, 6, 1, 12, 30, 45, 123456, UTC),
    "px2": dt.datetime(2024, 6, 1, 12, 30, 46, tzinfo=UTC),
    "po": dt.datetime(2024, 6, 1, 12, 30, 45, 123456, PLUS_TWO),
    "pdur": dt.timedelta(seconds=90061),
    "poff": PLUS_TWO,
    "one_day": dt.timedelta(days=1),
    "ordinal": dt.date(2024, 6, 1).toordinal(),
}
if pendulum is not None:
    NAMESPACE.update(
        pnd=pendulum.date(2024, 6, 1),
        pnx=pendulum.datetime(2024, 6, 1, 12, 30, 45, 123456, tz="UTC"),
        pnx2=pendulum.datetime(2024, 6, 1, 12, 30, 46, tz="UTC"),
        pndur=pendulum.duration(seconds=90061),
    )

# (operation, kairodex, datetime, ciso8601, pendulum); None where a library
# has no such call.
ROWS = [
    ("Date(y, m, d)", "Date(2024, 6, 1)", "date(2024, 6, 1)", None, "pendulum.Date(2024, 6, 1)"),
    ("Time(h, m, s)", "Time(12, 30, 45)", "time(12, 30, 45)", None, "pendulum.Time(12, 30, 45)"),
    ("DateTime(date, time)", "DateTime(d, t)", "datetime.combine(pd, pt, UTC)", None, None),
    ("Date.parse", "Date.parse(DATE_TEXT)", "date.fromisoformat(DATE_TEXT)", None,
     "pendulum.parse(DATE_TEXT, exact=True)"),
    ("Time.parse", "Time.parse(TIME_TEXT)", "time.fromisoformat(TIME_TEXT)", None,
     "pendulum.parse(TIME_TEXT, exact=True)"),
    ("DateTime.parse", "DateTime.parse(UTC_TEXT)", "datetime.fromisoformat(UTC_TEXT)",
     "ciso8601.parse_datetime(UTC_TEXT)", "pendulum.parse(UTC_TEXT)"),
    ("OffsetDateTime.parse", "OffsetDateTime.parse(OFFSET_TEXT)", "datetime.fromisoformat(OFFSET_TEXT)",
     "ciso8601.parse_datetime(OFFSET_TEXT)", "pendulum.parse(OFFSET_TEXT)"),
    ("str(Date)", "str(d)", "str(pd)", None, "str(pnd)"),
    ("str(Time)", "str(t)", "str(pt)", None, None),
    ("str(DateTime)", "str(x)", "str(px)", None, "str(pnx)"),
    ("str(OffsetDateTime)", "str(o)", "str(po)", None, None),
    ("str(Duration)", "str(dur)", "str(pdur)", None, None),
    ("str(UtcOffset)", "str(off)", "str(poff)", None, None),
    ("hash(Date)", "hash(d)", "hash(pd)", None, "hash(pnd)"),
    ("hash(DateTime)", "hash(x)", "hash(px)", None, "hash(pnx)"),
    ("Date ==", "d == d2", "pd == pd2", None, None),
    ("Date <", "d < d2", "pd < pd2", None, None),
    ("DateTime ==", "x == x2", "px == px2", None, "pnx == pnx2"),
    ("DateTime <", "x < x2", "px < px2", None, "pnx < pnx2"),
    ("days_since_unix_epoch", "d.days_since_unix_epoch()", "pd.toordinal()", None, None),
    ("from_days_since_unix_epoch", "Date.from_days_since_unix_epoch(day_count)", "date.fromordinal(ordinal)",
     None, None),
    ("weekday", "d.weekday()", "pd.weekday()", None, None),
    ("add_days", "d.add_days(1)", "pd + one_day", None, "pnd.add(days=1)"),
    ("from_unix_timestamp", "DateTime.from_unix_timestamp(seconds)", "datetime.fromtimestamp(seconds, UTC)",
     None, "pendulum.from_timestamp(seconds)"),
    ("unix_timestamp", "x.unix_timestamp()", "px.timestamp()", None, "pnx.timestamp()"),
    ("add_duration", "x.add_duration(dur)", "px + pdur", None, "pnx + pndur"),
    ("difference", "x.difference(x2)", "px - px2", None, "pnx - pnx2"),
]

FLOORS = [
    ("floor: method, no arguments", "five.bit_count()"),
    ("floor: allocation", "object()"),
]

# Argument-less methods that return an int or a bool, against the first floor.
# (The floor's result, 2, is a cached small int; results from 2^30 on are
# new two-digit ints.)
NO_ARGUMENTS = [
    "d.days_since_unix_epoch()", "d.ordinal()", "t.seconds_since_midnight()", "t.nanos_since_midnight()",
    "x.unix_timestamp()", "x.unix_timestamp_nanos()", "o.unix_timestamp()", "off.as_seconds()", "off.is_utc()",
    "dur.total_nanos()", "monday.number_from_monday()",
]

# What looking up a class method costs by itself. kairodex keeps its class
# methods bound to their class in the class dictionary, so a lookup finds them
# as they are; a classmethod descriptor makes a new bound method on every
# access, which a module-level function does not need.
LOOKUPS = [
    ("OffsetDateTime.parse", "ciso8601.parse_datetime"),
    ("DateTime.parse", "datetime.fromisoformat"),
]

# Hashing a value made just before, as when fresh values go into a dict or a
# set: the standard library keeps an object's hash once computed, which helps
# only when the same object is hashed again. (Construction is included on both
# sides; compare with the constructor rows above.)
FRESH_HASHES = [
    ("hash(Date(y, m, d))", "hash(Date(2024, 6, 1))", "hash(date(2024, 6, 1))"),
    ("hash(DateTime(date, time))", "hash(DateTime(d, t))", "hash(datetime.combine(pd, pt, UTC))"),
]

# (class, kairodex instance, standard-library instance)
SIZES = [
    ("Date", "d", "pd"),
    ("Time", "t", "pt"),
    ("DateTime", "x", "px"),
    ("OffsetDateTime", "o", "po"),
    ("Duration", "dur", "pdur"),
    ("UtcOffset", "off", "poff"),
]


def measure(statements, repeat, target_seconds):
    """Minimum and median ns per call of each statement over `repeat` runs of
    one loop each. The runs of the statements alternate, so that a slow
    moment of the machine falls on all of them alike."""
    timers, numbers = [], []
    for statement in statements:
        timer = timeit.Timer(statement, globals=NAMESPACE)
        number, elapsed = timer.autorange()
        # Scale the loop so that one run takes about the target time.
        numbers.append(max(1, int(number * target_seconds / max(elapsed, 1e-9))))
        timers.append(timer)
    per_call = [[] for _ in statements]
    for _ in range(repeat):
        for timer, number, runs in zip(timers, numbers, per_call):
            runs.append(timer.timeit(number) / number * 1e9)
    return [(min(runs), statistics.median(runs)) for runs in per_call]


def available(library):
    return NAMESPACE.get(library) is not None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    # Many short runs: on a shared machine a slow spell then spoils a few runs
    # of each statement rather than whole rows.
    parser.add_argument("--repeat", type=int, default=41, help="timed runs per statement (default 41)")
    parser.add_argument("--target-ms", type=float, default=5.0,
                        help="length of one timed run in ms (default 5)")
    parser.add_argument("--json", metavar="FILE", help="also write the results as JSON")
    args = parser.parse_args()
    target = args.target_ms / 1000

    print(f"Python {platform.python_version()} on {platform.machine()}, kairodex from {kx.__file__}")
    print(f"ciso8601: {'yes' if ciso8601 else 'not installed'}, "
          f"pendulum: {'yes' if pendulum else 'not installed'}; "
          f"{args.repeat} repeats of about {args.target_ms:g} ms each; ns per call, min / median")
    print()

    results = {"python": platform.python_version(), "floors": [], "operations": [], "sizes": []}

    def cell(m):
        return f"{m[0]:7.1f} /{m[1]:7.1f}" if m else f"{'-':>16}"

    empty, *floors = measure(["pass"] + [statement for _, statement in FLOORS], args.repeat, target)
    results["loop_overhead_ns"] = empty[0]
    print(f"timeit loop overhead (empty statement): {empty[0]:.1f} ns (included in every figure)")
    for (name, statement), m in zip(FLOORS, floors):
        results["floors"].append({"name": name, "statement": statement, "min_ns": m[0], "median_ns": m[1]})
        print(f"{name:<30} {statement:<22} {cell(m)}")
    print()

    header = (f"{'operation':<28} {'kairodex':>16} {'datetime':>16} {'speed-up':>8}"
              f" {'ciso8601':>16} {'ratio':>6} {'pendulum':>16} {'ratio':>6}")
    print(header)
    print("-" * len(header))
    speedups, net_speedups = [], []
    for name, ours, stdlib, ciso, pend in ROWS:
        row = {"name": name}
        columns = [(library, statement, width)
                   for library, statement, width in (("datetime", stdlib, 8), ("ciso8601", ciso, 6),
                                                     ("pendulum", pend, 6))]
        timed = [statement for library, statement, _ in columns
                 if statement is not None and (library == "datetime" or available(library))]
        m_ours, *m_others = measure([ours] + timed, args.repeat, target)
        others = dict(zip(timed, m_others))
        row["kairodex"] = {"statement": ours, "min_ns": m_ours[0], "median_ns": m_ours[1]}
        line = f"{name:<28} {cell(m_ours)}"
        for library, statement, width in columns:
            if statement not in others:
                line += f" {cell(None)} {'':>{width}}"
                continue
            m = others[statement]
            ratio = m[0] / m_ours[0]
            row[library] = {"statement": statement, "min_ns": m[0], "median_ns": m[1], "speedup": ratio}
            line += f" {cell(m)} {ratio:{width - 1}.2f}x"
            if library == "datetime":
                speedups.append(ratio)
                net_speedups.append((m[0] - empty[0]) / (m_ours[0] - empty[0]))
        results["operations"].append(row)
        print(line, flush=True)

    geomean = math.exp(sum(math.log(r) for r in speedups) / len(speedups))
    results["geometric_mean_speedup"] = geomean
    print()
    print(f"speed-up = other library's min / kairodex's min; geometric mean over datetime: {geomean:.2f}x")
    print(f"slowest against datetime: {min(speedups):.2f}x")
    net = math.exp(sum(math.log(r) for r in net_speedups) / len(net_speedups))
    results["geometric_mean_speedup_without_loop"] = net
    print(f"the same with the empty loop's time taken off both sides: {net:.2f}x")
    print()

    print(f"{'no-argument method':<28} {'kairodex':>16} {'floor':>16} {'/ floor':>8}")
    for statement in NO_ARGUMENTS:
        m, floor = measure([statement, FLOORS[0][1]], args.repeat, target)
        results["no_arguments"] = results.get("no_arguments", []) + [
            {"statement": statement, "min_ns": m[0], "median_ns": m[1], "floor_min_ns": floor[0],
             "ratio_to_floor": m[0] / floor[0]}]
        print(f"{statement:<28} {cell(m)} {cell(floor)} {m[0] / floor[0]:7.2f}x", flush=True)
    print()

    print(f"{'attribute lookup alone':<28} {'kairodex':>16} {'other':>16}  other statement")
    for ours, other in LOOKUPS:
        if other.startswith("ciso8601") and not available("ciso8601"):
            continue
        m, m_other = measure([ours, other], args.repeat, target)
        results.setdefault("lookups", []).append(
            {"kairodex": ours, "min_ns": m[0], "other": other, "other_min_ns": m_other[0]})
        print(f"{ours:<28} {cell(m)} {cell(m_other)}  {other}", flush=True)
    print()

    print(f"{'hash of a new value':<28} {'kairodex':>16} {'datetime':>16} {'speed-up':>8}")
    for name, ours, stdlib in FRESH_HASHES:
        m, m_other = measure([ours, stdlib], args.repeat, target)
        results.setdefault("fresh_hashes", []).append(
            {"name": name, "kairodex_min_ns": m[0], "datetime_min_ns": m_other[0], "speedup": m_other[0] / m[0]})
        print(f"{name:<28} {cell(m)} {cell(m_other)} {m_other[0] / m[0]:7.2f}x", flush=True)
    print()

    print(f"{'instance size (bytes)':<28} {'kairodex':>10} {'datetime':>10}")
    for name, ours, stdlib in SIZES:
        a, b = sys.getsizeof(NAMESPACE[ours]), sys.getsizeof(NAMESPACE[stdlib])
        results["sizes"].append({"name": name, "kairodex": a, "datetime": b})
        print(f"{name:<28} {a:>10} {b:>10}")

    if args.json:
        with open(args.json, "w", encoding="utf-8") as out:
            json.dump(results, out, indent=2)
            out.write("\n")


if __name__ == "__main__":
    main()
