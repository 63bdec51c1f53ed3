"""Several threads using the module at once, on values of their own and on
values they all share, every result checked against the one the main thread
computed alone; and the first import raced from several threads in a fresh
interpreter. (On a free-threaded build the threads run truly at once;
bench/threads.py times the same work on one thread and on two.)"""
import os
import random
import subprocess
import sys
import sysconfig
import threading
import time

import pytest
from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset

try:
    import kairodex_tz
    from tzif_data import PARIS
except ImportError:  # a build without the companion modules
    kairodex_tz = None
try:
    import kairodex_columns
    from arrow_structs import arrow_rows
except ImportError:
    kairodex_columns = None

THREADS = 6
SECONDS = 1.5
# Instants at least a day inside the range, so every offset has a local reading.
FIRST_SECS = -67768100567971200 + 86400
LAST_SECS = 67767976233532799 - 86400
EPOCH = DateTime.from_unix_timestamp(0)


def make_cases(count=200):
    rng = random.Random(20240601)
    cases = []
    for _ in range(count):
        secs = rng.choice([rng.randint(FIRST_SECS, LAST_SECS), rng.randint(-2**34, 2**34)])
        cases.append((secs, rng.randrange(-2**31, 2**31), rng.randint(-1439, 1439) * 60 + rng.choice([0, 7])))
    return cases


# Values that every thread reads at once.
SHARED = [DateTime.from_unix_timestamp(secs, nanos) for secs, nanos, _ in make_cases(16)]
SHARED_SPAN = Duration.nanoseconds(-123456789)
# A time zone that every thread asks at once.
ZONE = kairodex_tz.TimeZone.from_tzif(PARIS, key="Test/Paris") if kairodex_tz else None


def zone_work(value, date, time_of_day):
    """What the shared zone answers about the value and its reading."""
    if ZONE is None:
        return None
    following = ZONE.next_transition(value)
    return (str(ZONE.at(value)), ZONE.abbreviation_at(value), ZONE.is_dst_at(value),
            str(ZONE.resolve(date, time_of_day, "later")), str(following) if following else None,
            str(kairodex_tz.TimeZone.from_tzif(PARIS).offset_at(value)))


# Columns that every thread reads at once, split between two threads of the
# module's own; the results as Arrow columns, which need no numpy (not built
# for every interpreter the tests run on).
SHARED_TEXTS = [str(OffsetDateTime.from_utc(value, UtcOffset.from_seconds(3600))) for value in SHARED] + ["x"]
SHARED_LINES = "\n".join(SHARED_TEXTS).encode()


def column_work(text):
    """What the shared columns, with one text of the thread's own, read as."""
    if kairodex_columns is None:
        return None
    read = kairodex_columns.parse_offset_datetimes
    options = {"unit": "ns", "errors": "null", "threads": 2, "to_arrow": True}
    return ([arrow_rows(column) for column in read(SHARED_TEXTS + [text], **options)],
            [arrow_rows(column) for column in read(SHARED_LINES, **options)])


def work(secs, nanos, offset_seconds):
    """Builds, parses, formats, hashes and compares values from plain numbers,
    and uses a shared value beside them."""
    value = DateTime.from_unix_timestamp(secs, nanos)
    other = SHARED[secs % len(SHARED)]
    shared = (str(other), hash(other), other < value, value.difference(other).total_nanos(),
              str(other.add_duration(SHARED_SPAN)), hash(SHARED_SPAN), str(SHARED_SPAN + SHARED_SPAN),
              SHARED_SPAN < -SHARED_SPAN)
    date, time_of_day = value.date, value.time
    date = Date(date.year, date.month, date.day)
    time_of_day = Time(time_of_day.hour, time_of_day.minute, time_of_day.second, time_of_day.nanosecond)
    shown = OffsetDateTime.from_utc(value, UtcOffset.from_seconds(offset_seconds))
    text = str(shown)
    parsed = OffsetDateTime.parse(text)
    try:
        Date.parse(str(date) + "x")
    except ValueError as error:
        refused = str(error)
    span = value.difference(EPOCH)
    return (
        str(value), repr(value), hash(value), DateTime.parse(str(value)) == value, value < EPOCH,
        str(date), hash(date), date.days_since_unix_epoch(), str(date.weekday()), date.ordinal(),
        str(time_of_day), hash(time_of_day), Time.parse(str(time_of_day)) == time_of_day,
        text, repr(shown), hash(parsed), parsed.unix_timestamp_nanos(), parsed <= shown, parsed == shown,
        str(shown.to_local()),
        span.total_nanos(), str(-span), hash(span + span), refused, shared,
        zone_work(value, date, time_of_day), column_work(text),
    )


def test_threads_agree_with_the_main_thread():
    cases = make_cases()
    expected = [work(*case) for case in cases]
    barrier = threading.Barrier(THREADS)
    mismatches, errors, rounds = [], [], [0] * THREADS

    def run(index):
        try:
            barrier.wait()
            deadline = time.monotonic() + SECONDS
            position = index * 37  # threads start at different cases
            while time.monotonic() < deadline:
                case = position % len(cases)
                result = work(*cases[case])
                if result != expected[case]:
                    mismatches.append((cases[case], result, expected[case]))
                position += 1
                rounds[index] += 1
        except BaseException as error:  # reported below, not swallowed
            errors.append(error)

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-5)  # switch threads as often as possible
    try:
        threads = [threading.Thread(target=run, args=(i,)) for i in range(THREADS)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    finally:
        sys.setswitchinterval(interval)
    assert errors == []
    assert mismatches == []
    assert min(rounds) > 0


@pytest.mark.skipif(kairodex_tz is None, reason="kairodex_tz is not built")
def test_threads_share_one_iteration_of_transitions():
    # One iterator moved on by every thread at once: each transition is given
    # to exactly one of them, in the order of the transitions.
    shared = ZONE.transitions(DateTime.parse("2024-01-01T00:00:00Z"), DateTime.parse("2424-01-01T00:00:00Z"))
    barrier = threading.Barrier(THREADS)
    taken = [[] for _ in range(THREADS)]

    def run(index):
        barrier.wait()
        taken[index].extend(t.instant.unix_timestamp() for t in shared)

    threads = [threading.Thread(target=run, args=(i,)) for i in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    expected = [t.instant.unix_timestamp() for t in ZONE.transitions(DateTime.parse("2024-01-01T00:00:00Z"),
                                                                         DateTime.parse("2424-01-01T00:00:00Z"))]
    assert sorted(t for part in taken for t in part) == expected and len(expected) == 800
    assert all(part == sorted(part) for part in taken)


@pytest.mark.skipif(kairodex_columns is None, reason="kairodex_columns is not built")
def test_a_list_rewritten_while_columns_read_it():
    # One thread puts new texts into a list (never changing its size) while
    # the others read it as a column: every row is one of the texts that slot
    # held, read whole.
    days = {text: Date.parse(text).days_since_unix_epoch() for text in ("2024-06-01", "1999-12-31")}
    texts = ["2024-06-01"] * 20_000
    stop = threading.Event()
    seen, errors = set(), []

    def rewrite():
        flip = 0
        while not stop.is_set():
            flip += 1
            for i in range(0, len(texts), 97):
                texts[i] = "1999-12-31" if flip % 2 else "2024-06-01"

    def read():
        try:
            for _ in range(40):
                seen.update(arrow_rows(kairodex_columns.parse_dates(texts, threads=2, to_arrow=True)))
        except BaseException as error:  # reported below, not swallowed
            errors.append(error)

    writer = threading.Thread(target=rewrite)
    readers = [threading.Thread(target=read) for _ in range(THREADS - 1)]
    writer.start()
    for thread in readers:
        thread.start()
    for thread in readers:
        thread.join()
    stop.set()
    writer.join()
    assert errors == []
    assert seen <= set(days.values()) and days["2024-06-01"] in seen


IMPORT_RACE = """
import sys, threading
barrier = threading.Barrier(8)
seen, errors = [], []

def run():
    barrier.wait()
    try:
        import kairodex
        from kairodex import Date, Weekday
        seen.append((id(kairodex), id(Date), str(Date(2024, 1, 1).add_days(1)),
                     Date(2024, 1, 1).weekday() is Weekday.MONDAY, tuple(kairodex.__all__)))
    except BaseException as error:
        errors.append(repr(error))

threads = [threading.Thread(target=run) for _ in range(8)]
assert "kairodex" not in sys.modules
for thread in threads:
    thread.start()
for thread in threads:
    thread.join()
print(len(seen), len(set(seen)), errors, seen[0][2:] if seen else None)
"""


@pytest.mark.parametrize("attempt", range(3))
def test_first_import_from_several_threads(run_python, attempt):
    result = run_python(IMPORT_RACE)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == (
        "8 1 [] ('2024-01-02', True, "
        "('Weekday', 'Date', 'Time', 'Duration', 'DateTime', 'UtcOffset', 'OffsetDateTime'))")


@pytest.mark.skipif(not sysconfig.get_config_var("Py_GIL_DISABLED"), reason="a free-threaded build's own check")
def test_import_leaves_the_gil_off():
    # A module that does not declare it can run without the GIL turns it on
    # at import, with a warning; PYTHON_GIL would decide for the interpreter.
    env = {name: value for name, value in os.environ.items() if name != "PYTHON_GIL"}
    proc = subprocess.run([sys.executable, "-W", "error", "-c", "import sys, kairodex; print(sys._is_gil_enabled())"],
                          capture_output=True, text=True, env=env, timeout=120)
    assert (proc.returncode, proc.stdout, proc.stderr) == (0, "False\n", "")
