"""kairodex against what a Python programmer would use instead, in one process.

For each operation: the kairodex call, its floor, its standard-library
`datetime` equivalent and, where installed, `ciso8601` and `pendulum`, each
timed with `timeit` over several repeats (the minimum and the median of the
repeats, in ns per call).

An operation's floor is the call of the same shape into `_kairodex_floor`
(bench/floor/, built with the benchmarks): the same binding, conversions and
allocation of the result, and no calendar work. Kairodex's time less its
floor's is the operation's own cost, what a faster implementation could still
take off. Without the floor module (a plain install) those columns are left
out. Two more floor rows give the cheapest CPython calls of two shapes: an
argument-less method returning an int, and an allocation.

    python3.15 bench/compare.py [--repeat N] [--target-ms MS] [--json FILE]
"""

import argparse
import datetime as dt
import json
import math
import os
import platform
import statistics
import sys
import timeit

import kairodex as kx

# Each only where it is installed for this interpreter: a distribution's
# package built for other versions only imports as an empty namespace.
try:
    import ciso8601
    ciso8601.parse_datetime
except (ImportError, AttributeError):
    ciso8601 = None
try:
    import pendulum
except ImportError:
    pendulum = None
try:
    import _kairodex_floor as floor
except ImportError:
    floor = None
try:
    import zoneinfo

    import kairodex_tz
    ZONE_KEY = "America/New_York"
    zoneinfo.ZoneInfo(ZONE_KEY)
    kairodex_tz.TimeZone(ZONE_KEY)
except (ImportError, KeyError):  # no time zone database: the zone rows drop out
    kairodex_tz = None

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


def floor_values(ns):
    """The floor module's names for the floor statements: its classes, and
    floor values of the kairodex values' sizes keyed by what the kairodex
    methods return (so that the floor's ints are as large) or, for str(), by
    the length of the kairodex value's text (a parsed floor value keeps its
    text's length as its key, and str() of it is that long)."""
    value24, value32, value40 = floor.Value24, floor.Value32, floor.Value40
    return {
        "Value24": value24,
        "Value32": value32,
        "Value40": value40,
        "fd": value24.from_int(ns["d"].days_since_unix_epoch()),
        "fd2": value24.from_int(ns["d2"].days_since_unix_epoch()),
        "ft": value24.from_int(ns["t"].seconds_since_midnight()),
        "fx": value32.from_int(ns["x"].unix_timestamp()),
        "fx2": value32.from_int(ns["x2"].unix_timestamp()),
        "fdur": value32.from_int(ns["dur"].total_nanos() // 10**9),
        "fd_text": value24.parse(str(ns["d"])),
        "ft_text": value24.parse(str(ns["t"])),
        "fx_text": value32.parse(str(ns["x"])),
        "fo_text": value40.parse(str(ns["o"])),
        "fdur_text": value32.parse(str(ns["dur"])),
        "foff_text": value24.parse(str(ns["off"])),
    }


if floor is not None:
    NAMESPACE.update(floor_values(NAMESPACE))
    NAMESPACE["fo"] = floor.Value40.from_int(NAMESPACE["o"].unix_timestamp())
if kairodex_tz is not None:
    NAMESPACE.update(
        tz=kairodex_tz.TimeZone(ZONE_KEY),
        zi=zoneinfo.ZoneInfo(ZONE_KEY),
        # A wall-clock reading in the zone, as a ready aware datetime for zoneinfo.
        pready=dt.datetime(2024, 6, 1, 8, 30, 45, 123456, tzinfo=zoneinfo.ZoneInfo(ZONE_KEY)),
    )
if pendulum is not None:
    NAMESPACE.update(
        pnd=pendulum.date(2024, 6, 1),
        pnx=pendulum.datetime(2024, 6, 1, 12, 30, 45, 123456, tz="UTC"),
        pnx2=pendulum.datetime(2024, 6, 1, 12, 30, 46, tz="UTC"),
        pndur=pendulum.duration(seconds=90061),
    )

# (operation, kairodex, floor, datetime, ciso8601, pendulum); None where a
# library has no such call. The floor is the call of the same shape (binding,
# conversions, result) into the floor module, on floor values of the same
# sizes as the kairodex ones.
ROWS = [
    ("Date(y, m, d)", "Date(2024, 6, 1)", "Value24(2024, 6, 1)", "date(2024, 6, 1)", None,
     "pendulum.Date(2024, 6, 1)"),
    ("Time(h, m, s)", "Time(12, 30, 45)", "Value24(12, 30, 45)", "time(12, 30, 45)", None,
     "pendulum.Time(12, 30, 45)"),
    ("DateTime(date, time)", "DateTime(d, t)", "Value32(fd, ft)", "datetime.combine(pd, pt, UTC)", None, None),
    ("Date.parse", "Date.parse(DATE_TEXT)", "Value24.parse(DATE_TEXT)", "date.fromisoformat(DATE_TEXT)", None,
     "pendulum.parse(DATE_TEXT, exact=True)"),
    ("Time.parse", "Time.parse(TIME_TEXT)", "Value24.parse(TIME_TEXT)", "time.fromisoformat(TIME_TEXT)", None,
     "pendulum.parse(TIME_TEXT, exact=True)"),
    ("DateTime.parse", "DateTime.parse(UTC_TEXT)", "Value32.parse(UTC_TEXT)", "datetime.fromisoformat(UTC_TEXT)",
     "ciso8601.parse_datetime(UTC_TEXT)", "pendulum.parse(UTC_TEXT)"),
    ("OffsetDateTime.parse", "OffsetDateTime.parse(OFFSET_TEXT)", "Value40.parse(OFFSET_TEXT)",
     "datetime.fromisoformat(OFFSET_TEXT)", "ciso8601.parse_datetime(OFFSET_TEXT)", "pendulum.parse(OFFSET_TEXT)"),
    ("str(Date)", "str(d)", "str(fd_text)", "str(pd)", None, "str(pnd)"),
    ("str(Time)", "str(t)", "str(ft_text)", "str(pt)", None, None),
    ("str(DateTime)", "str(x)", "str(fx_text)", "str(px)", None, "str(pnx)"),
    ("str(OffsetDateTime)", "str(o)", "str(fo_text)", "str(po)", None, None),
    ("str(Duration)", "str(dur)", "str(fdur_text)", "str(pdur)", None, None),
    ("str(UtcOffset)", "str(off)", "str(foff_text)", "str(poff)", None, None),
    ("hash(Date)", "hash(d)", "hash(fd)", "hash(pd)", None, "hash(pnd)"),
    ("hash(DateTime)", "hash(x)", "hash(fx)", "hash(px)", None, "hash(pnx)"),
    ("Date ==", "d == d2", "fd == fd2", "pd == pd2", None, None),
    ("Date <", "d < d2", "fd < fd2", "pd < pd2", None, None),
    ("DateTime ==", "x == x2", "fx == fx2", "px == px2", None, "pnx == pnx2"),
    ("DateTime <", "x < x2", "fx < fx2", "px < px2", None, "pnx < pnx2"),
    ("days_since_unix_epoch", "d.days_since_unix_epoch()", "fd.number()", "pd.toordinal()", None, None),
    ("from_days_since_unix_epoch", "Date.from_days_since_unix_epoch(day_count)", "Value24.from_int(day_count)",
     "date.fromordinal(ordinal)", None, None),
    ("weekday", "d.weekday()", "fd.kept()", "pd.weekday()", None, None),
    ("add_days", "d.add_days(1)", "fd.with_int(1)", "pd + one_day", None, "pnd.add(days=1)"),
    ("from_unix_timestamp", "DateTime.from_unix_timestamp(seconds)", "Value32.from_int(seconds)",
     "datetime.fromtimestamp(seconds, UTC)", None, "pendulum.from_timestamp(seconds)"),
    ("unix_timestamp", "x.unix_timestamp()", "fx.number()", "px.timestamp()", None, "pnx.timestamp()"),
    ("add_duration", "x.add_duration(dur)", "fx.with_instance(fdur)", "px + pdur", None, "pnx + pndur"),
    ("difference", "x.difference(x2)", "fx.with_instance(fx2)", "px - px2", None, "pnx - pnx2"),
    ("DateTime.date", "x.date", "fx.inner", "px.date()", None, "pnx.date()"),
    ("Duration +", "dur + dur", "fdur + fdur", "pdur + pdur", None, "pndur + pndur"),
]

# The time zone rows (kairodex_tz against zoneinfo, in America/New_York):
# an instant at the zone's offset, the instant of a wall-clock reading, and
# the offset at an instant against zoneinfo's on a ready aware datetime.
ZONE_ROWS = [
    ("TimeZone.at", "tz.at(x)", "fo.from_instance(fx)", "px.astimezone(zi)", None, None),
    ("TimeZone.resolve", "tz.resolve(d, t)", "fo.from_pair(fd, ft)",
     "datetime(2024, 6, 1, 12, 30, 45, 123456, tzinfo=zi).utcoffset()",
     None, None),
    ("TimeZone.offset_at", "tz.offset_at(x)", "fd.kept_from(fx)", "zi.utcoffset(pready)", None, None),
]
if kairodex_tz is not None:
    ROWS += ZONE_ROWS
# Their figures go to a list of their own: the geometric means are the
# calendar classes' against datetime's, and zoneinfo is not datetime.
ZONE_NAMES = {row[0] for row in ZONE_ROWS}

FLOORS = [
    ("floor: method, no arguments", "five.bit_count()"),
    ("floor: allocation", "object()"),
]

# Argument-less methods that return an int or a bool, against the first floor
# and against their own floor (no_argument_floors). (The first floor's result,
# 2, is a cached small int; results from 2^30 on are new two-digit ints.)
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


def no_argument_floors():
    """Each of NO_ARGUMENTS with its own floor statement (None without the
    floor module): the floor method returning the same result, a bool, or a
    new int of the same size, from a floor value that holds it."""
    pairs = []
    for statement in NO_ARGUMENTS:
        if floor is None:
            pairs.append((statement, None))
            continue
        result = eval(statement, NAMESPACE)
        name = "f_" + statement.removesuffix("()").replace(".", "_")
        NAMESPACE[name] = floor.Value24.from_int(int(result))
        pairs.append((statement, f"{name}.{'truth' if isinstance(result, bool) else 'number'}()"))
    return pairs


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


def summarise(results, rows):
    """The summary after the operations table, printed and added to `results`."""
    if floor is not None:
        own = sorted((row for row in rows if "own_cost_ns" in row), key=lambda row: -row["own_cost_ns"])
        results["largest_own_costs"] = [
            {"name": row["name"], "own_cost_ns": row["own_cost_ns"], "kairodex_min_ns": row["kairodex"]["min_ns"],
             "floor_min_ns": row["floor"]["min_ns"]} for row in own[:6]]
        print("largest own costs (kairodex less its floor):")
        for row in results["largest_own_costs"]:
            share = row["own_cost_ns"] / row["kairodex_min_ns"]
            print(f"  {row['name']:<28} {row['own_cost_ns']:6.1f} ns of {row['kairodex_min_ns']:6.1f} ns"
                  f" ({share:.0%}); floor {row['floor_min_ns']:.1f} ns")
    slower = [row for row in rows if "datetime" in row and row["datetime"]["speedup"] < 1]
    results["slower_than_datetime"] = [
        {"name": row["name"], "speedup": row["datetime"]["speedup"], "own_cost_ns": row.get("own_cost_ns"),
         "floor_over_datetime": (row["floor"]["min_ns"] / row["datetime"]["min_ns"] if "floor" in row else None)}
        for row in slower]
    print("slower than datetime:" + ("" if slower else " none"))
    for entry in results["slower_than_datetime"]:
        line = f"  {entry['name']:<28} {entry['speedup']:.2f}x"
        if entry["own_cost_ns"] is not None:
            line += (f"; own cost {entry['own_cost_ns']:.1f} ns, the floor alone takes"
                     f" {entry['floor_over_datetime']:.2f} of datetime's time")
        print(line)
    for row in rows:
        if "ciso8601" not in row:
            continue
        ours, theirs = row["kairodex"]["min_ns"], row["ciso8601"]["min_ns"]
        results.setdefault("against_ciso8601", []).append(
            {"name": row["name"], "kairodex_min_ns": ours, "ciso8601_min_ns": theirs,
             "kairodex_over_ciso8601": ours / theirs})
        print(f"{row['name']} / {row['ciso8601']['statement']}: {ours:.1f} / {theirs:.1f} ns = {ours / theirs:.2f}")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    # Many short runs: on a shared machine a slow spell then spoils a few runs
    # of each statement rather than whole rows.
    parser.add_argument("--repeat", type=int, default=41, help="timed runs per statement (default 41)")
    parser.add_argument("--target-ms", type=float, default=5.0,
                        help="length of one timed run in ms (default 5)")
    parser.add_argument("--json", metavar="FILE", help="also write the results as JSON")
    args = parser.parse_args(argv)
    target = args.target_ms / 1000

    print(f"Python {platform.python_version()} on {platform.machine()}, kairodex from {kx.__file__}")
    print(f"ciso8601: {'yes' if ciso8601 else 'not installed'}, "
          f"pendulum: {'yes' if pendulum else 'not installed'}; "
          f"{args.repeat} repeats of about {args.target_ms:g} ms each; ns per call, min / median")
    if floor is None:
        print("floor module _kairodex_floor not importable (scripts/dev bench builds it into"
              " build-bench/bench/floor): the floor and own-cost columns are left out")
    else:
        print(f"floor: {floor.__file__}")
    print()

    results = {"python": platform.python_version(), "floors": [], "operations": [], "zones": [], "sizes": [],
               "floor_module": os.path.basename(floor.__file__) if floor is not None else None}

    def cell(m):
        return f"{m[0]:7.1f} /{m[1]:7.1f}" if m else f"{'-':>16}"

    empty, *floors = measure(["pass"] + [statement for _, statement in FLOORS], args.repeat, target)
    results["loop_overhead_ns"] = empty[0]
    print(f"timeit loop overhead (empty statement): {empty[0]:.1f} ns (included in every figure)")
    for (name, statement), m in zip(FLOORS, floors):
        results["floors"].append({"name": name, "statement": statement, "min_ns": m[0], "median_ns": m[1]})
        print(f"{name:<30} {statement:<22} {cell(m)}")
    print()

    header = (f"{'operation':<28} {'kairodex':>16} {'floor':>16} {'own':>6} {'datetime':>16} {'speed-up':>8}"
              f" {'ciso8601':>16} {'ratio':>6} {'pendulum':>16} {'ratio':>6}")
    print(header)
    print("-" * len(header))
    speedups, net_speedups = [], []
    # Every statement of the table is timed in the same rounds, so that a slow
    # spell of the machine falls on one run of each rather than on all runs of
    # one row.
    table = {}
    for name, ours, floor_statement, stdlib, ciso, pend in ROWS:
        for library, statement in (("kairodex", ours), ("floor", floor_statement), ("datetime", stdlib),
                                   ("ciso8601", ciso), ("pendulum", pend)):
            if library == "floor":
                present = floor is not None
            else:
                present = library in ("kairodex", "datetime") or available(library)
            if statement is not None and present:
                table.setdefault(statement)
    timings = dict(zip(table, measure(list(table), args.repeat, target)))
    for name, ours, floor_statement, stdlib, ciso, pend in ROWS:
        if name in ZONE_NAMES and not results["zones"]:
            print(f"{'-- kairodex_tz, against zoneinfo in the datetime column, in ' + ZONE_KEY:<28}")
        row = {"name": name}
        columns = [(library, statement, width)
                   for library, statement, width in (("datetime", stdlib, 8), ("ciso8601", ciso, 6),
                                                     ("pendulum", pend, 6))]
        m_ours = timings[ours]
        m_floor = timings.get(floor_statement) if floor_statement is not None else None
        others = {statement: timings[statement] for _, statement, _ in columns if statement in timings}
        row["kairodex"] = {"statement": ours, "min_ns": m_ours[0], "median_ns": m_ours[1]}
        line = f"{name:<28} {cell(m_ours)} {cell(m_floor)}"
        if m_floor is not None:
            row["floor"] = {"statement": floor_statement, "min_ns": m_floor[0], "median_ns": m_floor[1]}
            row["own_cost_ns"] = m_ours[0] - m_floor[0]
            line += f" {row['own_cost_ns']:6.1f}"
        else:
            line += f" {'-':>6}"
        for library, statement, width in columns:
            if statement not in others:
                line += f" {cell(None)} {'':>{width}}"
                continue
            m = others[statement]
            ratio = m[0] / m_ours[0]
            zone = name in ZONE_NAMES
            row["zoneinfo" if zone else library] = {"statement": statement, "min_ns": m[0], "median_ns": m[1],
                                                    "speedup": ratio}
            line += f" {cell(m)} {ratio:{width - 1}.2f}x"
            if library == "datetime" and not zone:
                speedups.append(ratio)
                net_speedups.append((m[0] - empty[0]) / (m_ours[0] - empty[0]))
        results["zones" if name in ZONE_NAMES else "operations"].append(row)
        print(line, flush=True)

    geomean = math.exp(sum(math.log(r) for r in speedups) / len(speedups))
    results["geometric_mean_speedup"] = geomean
    print()
    print("own = kairodex's min less its floor's min, ns: the operation's own cost (below 0 where the noise is larger)")
    print(f"speed-up = other library's min / kairodex's min; geometric mean over datetime: {geomean:.2f}x")
    print(f"slowest against datetime: {min(speedups):.2f}x")
    net = math.exp(sum(math.log(r) for r in net_speedups) / len(net_speedups))
    results["geometric_mean_speedup_without_loop"] = net
    print(f"the same with the empty loop's time taken off both sides: {net:.2f}x")
    if floor is not None:
        # What the speed-ups would be were every own cost zero: datetime's time
        # over the floor's. No implementation of these call shapes gets past it.
        ceilings = [row["datetime"]["min_ns"] / row["floor"]["min_ns"]
                    for row in results["operations"] if "datetime" in row and "floor" in row]
        ceiling = math.exp(sum(math.log(r) for r in ceilings) / len(ceilings))
        results["geometric_mean_speedup_at_floor"] = ceiling
        print(f"the same were kairodex at its floor in every row (no own cost at all): {ceiling:.2f}x")
    summarise(results, results["operations"])
    print()

    print(f"{'no-argument method':<28} {'kairodex':>16} {'floor':>16} {'/ floor':>8} {'its floor':>16} {'own':>6}"
          "  its floor's statement")
    for statement, own_floor in no_argument_floors():
        statements = [statement, FLOORS[0][1]] + ([own_floor] if own_floor else [])
        m, first, *shape = measure(statements, args.repeat, target)
        entry = {"statement": statement, "min_ns": m[0], "median_ns": m[1], "floor_min_ns": first[0],
                 "ratio_to_floor": m[0] / first[0]}
        line = f"{statement:<28} {cell(m)} {cell(first)} {m[0] / first[0]:7.2f}x"
        if shape:
            entry.update(own_floor_statement=own_floor, own_floor_min_ns=shape[0][0], own_cost_ns=m[0] - shape[0][0])
            line += f" {cell(shape[0])} {entry['own_cost_ns']:6.1f}  {own_floor}"
        results.setdefault("no_arguments", []).append(entry)
        print(line, flush=True)
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
