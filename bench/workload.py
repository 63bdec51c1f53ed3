"""A program a user would write, with kairodex and with the standard library's datetime.

    scripts/dev run python3.15 bench/workload.py [--rounds N] [--count N]

The program reads 10,000 RFC 3339 time stamps with mixed offsets (a log
gathered from hosts in several places), converts them to UTC, sorts them,
groups them by UTC day, computes the gaps between consecutive events, finds
the largest, and writes the sorted instants back as text. The input is made
from a fixed seed, so every run reads the same stamps; its fractions have
0, 3 or 6 digits, which both libraries read exactly.

Before anything is timed, the script checks that the two programs give the
same answers: the same instants and offsets, the same days with the same
events, the same gaps, the same largest gap at the same place, and texts
that read back as the same instants. Then it runs the two programs in turn,
ROUNDS times (default 25), timing each stage with the garbage collector
paused, as timeit does; it prints for each stage the minimum and the median
over the rounds, and for the whole program the minimum and median of the
rounds' totals.
"""

import argparse
import datetime as std
import gc
import platform
import random
import statistics
import sys
import time
from itertools import groupby

import kairodex
from kairodex import DateTime, OffsetDateTime

SEED = 20240601
UTC = std.timezone.utc
# Offsets of the hosts, in minutes; "Z" and "+00:00" both stand for UTC.
OFFSETS = [None, 0, 60, 120, -300, 330, 345, 540, -210, -600]


def make_stamps(count: int) -> list[str]:
    """RFC 3339 texts of instants over 30 days of 2024, at mixed offsets, written by hand."""
    rng = random.Random(SEED)
    start = std.datetime(2024, 6, 1)
    texts = []
    for _ in range(count):
        micros = rng.randrange(30 * 86400 * 10**6)
        digits = rng.choice((0, 3, 6))
        micros -= micros % 10 ** (6 - digits)
        offset = rng.choice(OFFSETS)
        local = start + std.timedelta(microseconds=micros, minutes=offset or 0)
        fraction = f".{local.microsecond:06}"[: digits + 1] if digits else ""
        if offset is None:
            zone = "Z"
        else:
            hours, minutes = divmod(abs(offset), 60)
            zone = f"{'-' if offset < 0 else '+'}{hours:02}:{minutes:02}"
        texts.append(f"{local:%Y-%m-%dT%H:%M:%S}{fraction}{zone}")
    return texts


def largest(gaps):
    where = max(range(len(gaps)), key=gaps.__getitem__)
    return where, gaps[where]


# The two programs, stage by stage: (name, kairodex's step, datetime's step).
STAGES = [
    ("parse", lambda texts: [OffsetDateTime.parse(t) for t in texts],
              lambda texts: [std.datetime.fromisoformat(t) for t in texts]),
    ("to UTC", lambda stamps: [s.utc for s in stamps],
               lambda stamps: [s.astimezone(UTC) for s in stamps]),
    ("sort", sorted, sorted),
    ("group by day", lambda ordered: {day: list(g) for day, g in groupby(ordered, key=lambda t: t.date)},
                     lambda ordered: {day: list(g) for day, g in groupby(ordered, key=lambda t: t.date())}),
    ("gaps", lambda ordered: [b.difference(a) for a, b in zip(ordered, ordered[1:])],
             lambda ordered: [b - a for a, b in zip(ordered, ordered[1:])]),
    ("largest gap", largest, largest),
    ("format", lambda ordered: [str(t) for t in ordered],
               lambda ordered: [t.isoformat() for t in ordered]),
]
# What each stage reads: the input texts or an earlier stage's result.
INPUTS = {"parse": "texts", "to UTC": "parse", "sort": "to UTC", "group by day": "sort", "gaps": "sort",
          "largest gap": "gaps", "format": "sort"}


def run(texts, side: int, times: dict[str, list[int]] | None = None) -> dict:
    """One run of a program (side 1: kairodex, 2: datetime); the stages' results by name."""
    results = {"texts": texts}
    for stage in STAGES:
        name, step = stage[0], stage[side]
        argument = results[INPUTS[name]]
        gc.collect()
        gc.disable()
        try:
            begin = time.perf_counter_ns()
            results[name] = step(argument)
            elapsed = time.perf_counter_ns() - begin
        finally:
            gc.enable()
        if times is not None:
            times[name].append(elapsed)
    return results


MICROSECOND = std.timedelta(microseconds=1)
EPOCH = std.datetime(1970, 1, 1, tzinfo=UTC)


def nanos(value) -> int:
    """Nanoseconds since 1970 of a kairodex instant or duration, or of a datetime or timedelta."""
    if isinstance(value, std.datetime):
        return (value - EPOCH) // MICROSECOND * 1000
    if isinstance(value, std.timedelta):
        return value // MICROSECOND * 1000
    return value.total_nanos() if hasattr(value, "total_nanos") else value.unix_timestamp_nanos()


def check_same_answers(k: dict, d: dict) -> str:
    """Fails unless the two programs agree at every stage; a line about the answers."""
    assert [(nanos(s), s.offset.as_seconds()) for s in k["parse"]] == \
        [(nanos(s), s.utcoffset() // std.timedelta(seconds=1)) for s in d["parse"]], "parse"
    assert [nanos(t) for t in k["to UTC"]] == [nanos(t) for t in d["to UTC"]], "to UTC"
    assert [nanos(t) for t in k["sort"]] == [nanos(t) for t in d["sort"]], "sort"
    assert [(str(day), [nanos(t) for t in ts]) for day, ts in k["group by day"].items()] == \
        [(day.isoformat(), [nanos(t) for t in ts]) for day, ts in d["group by day"].items()], "group by day"
    assert [nanos(g) for g in k["gaps"]] == [nanos(g) for g in d["gaps"]], "gaps"
    (k_where, k_gap), (d_where, d_gap) = k["largest gap"], d["largest gap"]
    assert (k_where, nanos(k_gap)) == (d_where, nanos(d_gap)), "largest gap"
    assert [DateTime.parse(text) for text in k["format"]] == k["sort"], "format (kairodex)"
    assert [OffsetDateTime.parse(text).utc for text in d["format"]] == k["sort"], "format (datetime)"
    first, last = k["sort"][0], k["sort"][-1]
    return (f"{len(k['parse'])} stamps from {first} to {last}, {len(k['group by day'])} days; largest gap "
            f"{k_gap.total_seconds():.6f} s, after {k['sort'][k_where]}; e.g. {k['format'][0]} / {d['format'][0]}")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rounds", type=int, default=25)
    parser.add_argument("--count", type=int, default=10_000)
    args = parser.parse_args()

    texts = make_stamps(args.count)
    print(f"Python {platform.python_version()} on {platform.machine()}, kairodex from {kairodex.__file__}")
    print(f"{len(texts)} stamps (seed {SEED}), e.g. {texts[0]}, {texts[1]}, {texts[2]}")
    print("same answers:", check_same_answers(run(texts, 1), run(texts, 2)))

    times = {side: {stage[0]: [] for stage in STAGES} for side in (1, 2)}
    for _ in range(args.rounds):
        for side in (1, 2):
            run(texts, side, times[side])
    totals = {side: [sum(parts) for parts in zip(*times[side].values())] for side in (1, 2)}

    print(f"\n{args.rounds} rounds; ms per stage for {len(texts)} stamps, minimum / median over the rounds")
    print(f"{'stage':<14}{'kairodex':>18}{'datetime':>18}{'speed-up':>10}")
    rows = [(name, times[1][name], times[2][name]) for name, *_ in STAGES] + [("total", totals[1], totals[2])]
    for name, k, d in rows:
        if name == "total":
            print("-" * 60)
        print(f"{name:<14}{min(k) / 1e6:>8.3f} / {statistics.median(k) / 1e6:>6.3f}"
              f"{min(d) / 1e6:>9.3f} / {statistics.median(d) / 1e6:>6.3f}{min(d) / min(k):>9.2f}x")
    print("speed-up: datetime's minimum over kairodex's; the total's minimum is that of the rounds' totals")


if __name__ == "__main__":
    sys.exit(main())
