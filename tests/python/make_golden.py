"""Writes golden/values.jsonl: what the module says about a fixed corpus of
values and bad inputs, so that every build, on every processor, can be checked
against what it said on x86-64 (test_golden.py).

    python3.15 tests/python/make_golden.py      # rewrites the file

Each line is one JSON object. "e" is an expression that makes a value or
fails: a list [callee, arg...] where the callee is a class ("Date"), a class
attribute or class method ("Weekday.MONDAY", "Date.parse"), a method of the
first argument (".add_days") or an operator ("+", "-", "neg"); arguments are
literals or expressions. The other keys are what was observed: str, repr and
hash of the value and its numbers ("n"), or the error's type and message
("err"). The corpus comes from a seeded generator, so a rerun writes the same
file; the test reads the expressions from the file and draws nothing.
"""

import json
import os
import random
import sys

import kairodex

HERE = os.path.dirname(os.path.abspath(__file__))
GOLDEN = os.path.join(HERE, "golden", "values.jsonl")

MIN_YEAR, MAX_YEAR = -(2**31), 2**31 - 1
I64 = 2**63
I128 = 2**127
NANOS_PER_DAY = 86_400 * 10**9


# --- evaluation (shared with test_golden.py) ---------------------------------

def evaluate(expr):
    if not isinstance(expr, list):
        return expr
    head, *rest = expr
    args = [evaluate(a) for a in rest]
    if head == "+":
        return args[0] + args[1]
    if head == "-":
        return args[0] - args[1]
    if head == "neg":
        return -args[0]
    if head == "bytes":
        return args[0].encode()
    if head.startswith("."):
        return getattr(args[0], head[1:])(*args[1:])
    cls, _, attr = head.partition(".")
    target = getattr(kairodex, cls)
    if attr:
        target = getattr(target, attr)
        if attr.isupper():
            return target
    return target(*args)


# The numbers a value of each class gives, by the name of the method.
NUMBERS = {
    "Weekday": {"number_from_monday": lambda v: v.number_from_monday()},
    "Date": {"year": lambda v: v.year, "month": lambda v: v.month, "day": lambda v: v.day,
             "days_since_unix_epoch": lambda v: v.days_since_unix_epoch(),
             "ordinal": lambda v: v.ordinal(), "weekday": lambda v: str(v.weekday())},
    "Time": {"seconds_since_midnight": lambda v: v.seconds_since_midnight(),
             "nanos_since_midnight": lambda v: v.nanos_since_midnight()},
    "Duration": {"total_nanos": lambda v: v.total_nanos(), "total_seconds": lambda v: repr(v.total_seconds())},
    "DateTime": {"unix_timestamp": lambda v: v.unix_timestamp(),
                 "unix_timestamp_nanos": lambda v: v.unix_timestamp_nanos(),
                 "date": lambda v: str(v.date), "time": lambda v: str(v.time)},
    "UtcOffset": {"as_seconds": lambda v: v.as_seconds(), "is_utc": lambda v: v.is_utc()},
    "OffsetDateTime": {"unix_timestamp": lambda v: v.unix_timestamp(),
                       "unix_timestamp_nanos": lambda v: v.unix_timestamp_nanos(),
                       "utc": lambda v: str(v.utc), "offset": lambda v: str(v.offset),
                       "local": lambda v: str(v.to_local())},
}


def observe(expr):
    """What the module says about `expr`: a value's texts, hash and numbers,
    or the error it raises."""
    try:
        value = evaluate(expr)
    except Exception as error:  # noqa: BLE001 - every error is an observation
        return {"err": [type(error).__name__, str(error)]}
    seen = {"class": type(value).__name__, "str": _either(str, value), "repr": _either(repr, value)}
    # Weekdays hash by identity, which differs from run to run.
    if seen["class"] != "Weekday":
        seen["hash"] = hash(value)
    seen["n"] = {name: _either(get, value) for name, get in NUMBERS[seen["class"]].items()}
    return seen


def _either(get, value):
    """get(value), or the error it raises (a value may be beyond what a text
    or a count can show)."""
    try:
        return get(value)
    except Exception as error:  # noqa: BLE001
        return {"err": [type(error).__name__, str(error)]}


# --- the corpus ----------------------------------------------------------------

def _year(rng):
    kind = rng.randrange(4)
    if kind == 0:
        return rng.randint(MIN_YEAR, MAX_YEAR)
    if kind == 1:
        return rng.choice([rng.randint(MIN_YEAR, MIN_YEAR + 3), rng.randint(MAX_YEAR - 3, MAX_YEAR)])
    if kind == 2:
        return rng.randint(-10_000, 10_000)
    return rng.randint(1600, 2400)


def _date(rng):
    year, month = _year(rng), rng.randint(1, 12)
    leap = year % 4 == 0 and (year % 100 != 0 or year % 400 == 0)
    last = [31, 29 if leap else 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31][month - 1]
    day = rng.choice([1, last, rng.randint(1, last)])
    return ["Date", year, month, day]


def _time(rng):
    nanos = rng.choice([0, 999_999_999, rng.randrange(10**9), rng.randrange(1000) * 10**6])
    return ["Time", rng.randrange(24), rng.randrange(60), rng.randrange(60), nanos]


def _signed(rng, limit):
    """Mostly spread over every order of magnitude, sometimes at the edges."""
    if rng.random() < 0.1:
        return rng.choice([-limit, limit - 1, -limit + 1, limit - 2, 0, -1, 1])
    magnitude = rng.randrange(limit.bit_length())
    return rng.choice([-1, 1]) * rng.randrange(2**magnitude)


def _offset(rng):
    return ["UtcOffset.from_seconds", rng.choice([0, -86_400, 86_400, rng.randint(-86_400, 86_400),
                                                  rng.randint(-24, 24) * 900, rng.randint(-59, 59)])]


def _datetime(rng):
    if rng.random() < 0.3:
        return ["DateTime.from_unix_timestamp", _signed(rng, 2**40), rng.randrange(10**9)]
    return ["DateTime", _date(rng), _time(rng)]


def _duration(rng):
    maker = rng.choice(["seconds", "milliseconds", "microseconds", "nanoseconds"])
    limit = {"seconds": I64, "milliseconds": I64, "microseconds": I64, "nanoseconds": I128}[maker]
    return [f"Duration.{maker}", _signed(rng, limit)]


def _offset_datetime(rng):
    if rng.random() < 0.5:
        return ["OffsetDateTime.from_local", _date(rng), _time(rng), _offset(rng)]
    return ["OffsetDateTime.from_utc", _datetime(rng), _offset(rng)]


def values(rng, count):
    """`count` expressions of each class, edges first."""
    weekdays = ["MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY", "SUNDAY"]
    yield from (["Weekday." + day] for day in weekdays)
    edges = [
        ["Date", MIN_YEAR, 1, 1], ["Date", MAX_YEAR, 12, 31], ["Date", 1970, 1, 1], ["Date", 0, 2, 29],
        ["Date", -1, 12, 31], ["Date", 2000, 2, 29], ["Date", 1900, 2, 28], ["Date", 2024, 12, 31],
        ["Date.from_days_since_unix_epoch", -784353015833], ["Date.from_days_since_unix_epoch", 784351576776],
        ["Time", 0, 0, 0, 0], ["Time", 23, 59, 59, 999_999_999], ["Time", 12, 0, 0, 1],
        ["Duration.nanoseconds", -I128], ["Duration.nanoseconds", I128 - 1], ["Duration.nanoseconds", 0],
        ["Duration.seconds", -I64], ["Duration.seconds", I64 - 1], ["Duration.nanoseconds", -1],
        ["UtcOffset.from_seconds", -86_400], ["UtcOffset.from_seconds", 86_400], ["UtcOffset.from_seconds", -30],
        ["UtcOffset.from_hours_minutes", False, 0, 30], ["UtcOffset.from_hours_minutes", True, 23, 59],
        ["DateTime.from_unix_timestamp", 0, 0], ["DateTime.from_unix_timestamp", -1, 999_999_999],
        ["DateTime", ["Date", MIN_YEAR, 1, 1], ["Time", 0, 0, 0, 0]],
        ["DateTime", ["Date", MAX_YEAR, 12, 31], ["Time", 23, 59, 59, 999_999_999]],
        ["OffsetDateTime.from_local", ["Date", MIN_YEAR, 1, 1], ["Time", 0, 0, 0, 0], ["UtcOffset.from_seconds", -86_400]],
        ["OffsetDateTime.from_local", ["Date", MAX_YEAR, 12, 31], ["Time", 23, 59, 59, 999_999_999],
         ["UtcOffset.from_seconds", 86_400]],
    ]
    yield from edges
    for make in (_date, _time, _duration, _offset, _datetime, _offset_datetime):
        for _ in range(count):
            yield make(rng)
    # Values reached through arithmetic, parsing and the conversions.
    for _ in range(count):
        yield [".add_days", _date(rng), _signed(rng, 2**36)]
        yield ["Date.parse", ["str", _date(rng)]]
        yield ["Time.parse", ["str", _time(rng)]]
        yield ["DateTime.parse", ["str", _datetime(rng)]]
        yield ["OffsetDateTime.parse", ["str", _offset_datetime(rng)]]
        yield [".add_duration", _datetime(rng), _duration(rng)]
        yield [".difference", _offset_datetime(rng), _offset_datetime(rng)]
        yield [rng.choice(["+", "-"]), _duration(rng), _duration(rng)]
        yield ["neg", _duration(rng)]


# Bad inputs: each raises, and its type and message are recorded.
BAD = [
    ["Date", 2023, 2, 29], ["Date", 2024, 13, 1], ["Date", 2024, 0, 1], ["Date", 2024, 4, 31],
    ["Date", 2**31, 1, 1], ["Date", -(2**31) - 1, 1, 1], ["Date", 2024, 256, 1], ["Date", 2024, -1, 1],
    ["Date", "2024", 1, 1], ["Date", 2024.0, 1, 1], ["Date", None, 1, 1],
    ["Date.from_days_since_unix_epoch", 784351576777], ["Date.from_days_since_unix_epoch", -784353015834],
    ["Date.from_days_since_unix_epoch", 2**63], [".add_days", ["Date", MAX_YEAR, 12, 31], 1],
    [".add_days", ["Date", MIN_YEAR, 1, 1], -1],
    ["Time", 24, 0, 0], ["Time", 0, 60, 0], ["Time", 0, 0, 60], ["Time", 0, 0, 0, 10**9],
    ["Time", 0, 0, 0, -1], ["Time", 0, 0, 0, 2**32], ["Time", -1, 0, 0],
    ["Duration.seconds", I64], ["Duration.nanoseconds", I128], ["Duration.nanoseconds", -I128 - 1],
    ["Duration.seconds", 2**100], ["Duration.milliseconds", "1"],
    ["+", ["Duration.nanoseconds", I128 - 1], ["Duration.nanoseconds", 1]],
    ["-", ["Duration.nanoseconds", -I128], ["Duration.nanoseconds", 1]],
    ["neg", ["Duration.nanoseconds", -I128]],
    ["UtcOffset.from_seconds", 86_401], ["UtcOffset.from_seconds", -86_401], ["UtcOffset.from_seconds", 2**31],
    ["UtcOffset.from_hours_minutes", True, 24, 0], ["UtcOffset.from_hours_minutes", False, 0, 60],
    ["UtcOffset.from_hours_minutes", True, 256, 0],
    ["DateTime.from_unix_timestamp", I64, 0], ["DateTime.from_unix_timestamp", 0, 10**9],
    ["DateTime.from_unix_timestamp", 0, -1], ["DateTime", ["Time", 0, 0, 0], ["Date", 2024, 1, 1]],
    [".add_duration", ["DateTime", ["Date", MAX_YEAR, 12, 31], ["Time", 23, 59, 59, 999_999_999]],
     ["Duration.nanoseconds", 1]],
    [".add_duration", ["DateTime.from_unix_timestamp", 0, 0], ["Duration.nanoseconds", -I128]],
    ["OffsetDateTime.from_local", ["Date", MAX_YEAR, 12, 31], ["Time", 23, 0, 0], ["UtcOffset.from_seconds", -86_400]],
    ["OffsetDateTime.from_local", ["Date", MIN_YEAR, 1, 1], ["Time", 0, 0, 0], ["UtcOffset.from_seconds", 3600]],
    ["OffsetDateTime.from_utc", ["DateTime", ["Date", MAX_YEAR, 12, 31], ["Time", 23, 0, 0]],
     ["UtcOffset.from_seconds", 86_400]],
    ["Date.parse", ["bytes", "2024-01-01"]], ["Date.parse", 20240101],
]
BAD_TEXTS = [
    "", " ", "2024", "2024-1-01", "2024-01-1", "2024-02-30", "2023-02-29", "2024-13-01", "+2024-01-01",
    "-2024-01-01", "99999999999-01-01", "2024-01-01T", "2024-01-01T24:00:00", "2024-01-01T23:60:00",
    "2024-01-01T23:59:60", "2024-01-01T23:59:59.", "2024-01-01T23:59:59.1234567890",
    "2024-01-01 12:00:00Z", "2024-01-01T12:00:00+24:00", "2024-01-01T12:00:00+0100", "12:00",
    "12:00:00", "12:00:00.5", "25:00:00", "T12:00:00", "2024-01-01T12:00:00z", "\u0662\u0660\u0662\u0664-01-01",
    "2024\u201001\u201001", "2024-01-01\0", "x" * 100,
]


def bad_inputs():
    yield from BAD
    for text in BAD_TEXTS:
        for cls in ("Date", "Time", "DateTime", "OffsetDateTime"):
            yield [f"{cls}.parse", text]


def corpus(count=300, seed=20240229):
    rng = random.Random(seed)
    for expr in values(rng, count):
        try:
            yield _resolve_str(expr)
        except Exception:  # noqa: BLE001 - a value that cannot be made: its error is kept
            yield expr[1][1]
    yield from bad_inputs()


def _resolve_str(expr):
    """["str", e] stands for str(e) worked out now, so that a parse is given
    the text and does not depend on str() in the run being checked."""
    if not isinstance(expr, list):
        return expr
    if expr[0] == "str":
        return str(evaluate(_resolve_str(expr[1])))
    return [expr[0]] + [_resolve_str(a) for a in expr[1:]]


def main():
    os.makedirs(os.path.dirname(GOLDEN), exist_ok=True)
    lines = []
    for expr in corpus():
        record = {"e": expr}
        record.update(observe(expr))
        lines.append(json.dumps(record, ensure_ascii=False, separators=(",", ":")))
    with open(GOLDEN, "w", encoding="utf-8", newline="\n") as out:
        out.write("\n".join(lines) + "\n")
    print(f"{GOLDEN}: {len(lines)} records", file=sys.stderr)


if __name__ == "__main__":
    main()
