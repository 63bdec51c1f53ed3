import datetime as std
import random
import time

import pytest

from kairodex import Date, DateTime, Duration, Time

FIRST_SECS = -67768100567971200           # -2147483648-01-01T00:00:00Z
LAST_SECS = 67767976233532799             # 2147483647-12-31T23:59:59Z
FIRST_NANOS = FIRST_SECS * 10**9
LAST_NANOS = LAST_SECS * 10**9 + 999999999
FIRST_TEXT = "-2147483648-01-01T00:00:00Z"
LAST_TEXT = "2147483647-12-31T23:59:59.999999999Z"
FIRST = DateTime(Date(-2**31, 1, 1), Time(0, 0, 0))
LAST = DateTime(Date(2**31 - 1, 12, 31), Time(23, 59, 59, 999999999))
EPOCH = DateTime.from_unix_timestamp(0)
ts = DateTime.from_unix_timestamp
ns = Duration.nanoseconds


# The two ends of the range, reached and overstepped by every conversion --------

def test_ends_agree_across_conversions():
    for value, secs, nanos, text in ((FIRST, FIRST_SECS, FIRST_NANOS, FIRST_TEXT),
                                     (LAST, LAST_SECS, LAST_NANOS, LAST_TEXT)):
        assert value.unix_timestamp() == secs
        assert value.unix_timestamp_nanos() == nanos
        assert str(value) == text
        assert DateTime.parse(text) == value
        assert ts(secs, nanos - secs * 10**9) == value
        assert EPOCH.add_duration(ns(nanos)) == value
        assert value.difference(EPOCH) == ns(nanos)


@pytest.mark.parametrize("secs, nanos", [
    (FIRST_SECS - 1, 0), (FIRST_SECS, -1), (FIRST_SECS - 1, 999999999), (LAST_SECS + 1, 0),
    (LAST_SECS, 1000000000), (LAST_SECS + 2, -1000000000),
    # 64-bit overflow of secs + carried seconds is still a range error, not an OverflowError.
    (2**63 - 1, 1000000000), (2**63 - 1, 2**31 - 1), (-2**63, -1), (-2**63, -2**31), (2**63 - 1, 0),
    (-2**63, 0),
])
def test_from_unix_timestamp_out_of_range(secs, nanos, raises_value_error):
    raises_value_error(lambda: ts(secs, nanos), "Invalid timestamp: OutOfRange")


@pytest.mark.parametrize("secs, nanos, text", [
    (0, 0, "1970-01-01T00:00:00Z"),
    (-1, 0, "1969-12-31T23:59:59Z"),
    (0, -1, "1969-12-31T23:59:59.999999999Z"),
    (0, 1500000000, "1970-01-01T00:00:01.5Z"),
    (0, -1500000000, "1969-12-31T23:59:58.5Z"),
    (0, -1000000000, "1969-12-31T23:59:59Z"),
    (0, 2**31 - 1, "1970-01-01T00:00:02.147483647Z"),
    (0, -2**31, "1969-12-31T23:59:57.852516352Z"),
    (951782400, 0, "2000-02-29T00:00:00Z"),
    (FIRST_SECS + 1, -1000000000, FIRST_TEXT),
    (FIRST_SECS + 3, -2**31, "-2147483648-01-01T00:00:00.852516352Z"),
    (LAST_SECS - 2, 2**31 - 1, "2147483647-12-31T23:59:59.147483647Z"),
])
def test_from_unix_timestamp(secs, nanos, text):
    assert str(ts(secs, nanos)) == text
    assert ts(secs=secs, nanos=nanos).unix_timestamp_nanos() == secs * 10**9 + nanos


@pytest.mark.parametrize("args, exc, param", [
    ((2**63,), OverflowError, "secs"),
    ((0, 2**31), OverflowError, "nanos"),
    ((0, -2**31 - 1), OverflowError, "nanos"),
    ((0, None), TypeError, "nanos"),
    ((0.0,), TypeError, "secs"),
])
def test_from_unix_timestamp_conversion_failures(args, exc, param, raises_noted):
    raises_noted(exc, param, lambda: ts(*args))


def test_timestamp_seconds_come_from_the_fields():
    half_before = DateTime.parse("1969-12-31T23:59:59.5Z")
    assert half_before.unix_timestamp() == -1
    assert half_before.unix_timestamp_nanos() == -500000000


# Each step past an end, and sums beyond 64-bit seconds or 128-bit nanoseconds.
@pytest.mark.parametrize("start, count", [
    (LAST, 1), (FIRST, -1), (EPOCH, LAST_NANOS + 1), (EPOCH, FIRST_NANOS - 1),
    (EPOCH, 2**63 * 10**9), (EPOCH, -2**63 * 10**9 - 1), (EPOCH, 2**127 - 1), (EPOCH, -2**127),
    (LAST, 2**127 - 1), (FIRST, -2**127), (LAST, 2**127 - 1 - LAST_NANOS + 1),
])
def test_add_duration_out_of_range(start, count, raises_value_error):
    raises_value_error(lambda: start.add_duration(ns(count)), "DateTime out of range: OutOfRange")


def test_add_duration_within_range():
    assert LAST.add_duration(ns(FIRST_NANOS - LAST_NANOS)) == FIRST
    assert FIRST.add_duration(dur=ns(LAST_NANOS - FIRST_NANOS)) == LAST
    assert LAST.add_duration(ns(0)) == LAST and LAST.add_duration(ns(0)) is not LAST
    assert EPOCH.add_duration(Duration.seconds(-1)) == ts(-1)
    assert str(ts(59).add_duration(ns(1500000001))) == "1970-01-01T00:01:00.500000001Z"


def test_difference():
    assert LAST.difference(FIRST).total_nanos() == 135536076801503999999999999
    assert FIRST.difference(LAST).total_nanos() == -135536076801503999999999999
    rng = random.Random(31)
    for _ in range(500):
        a, b = (ts(rng.randrange(FIRST_SECS, LAST_SECS + 1), rng.randrange(10**9)) for _ in "ab")
        assert a.difference(other=b) == -b.difference(a)
        assert b.add_duration(a.difference(b)) == a


# Agreement with the standard library over years 1 to 9999 ---------------------

STD_EPOCH = std.datetime(1970, 1, 1, tzinfo=std.timezone.utc)
STD_FIRST = (std.datetime(1, 1, 1, tzinfo=std.timezone.utc) - STD_EPOCH) // std.timedelta(microseconds=1) * 1000
STD_LAST = (std.datetime(9999, 12, 31, 23, 59, 59, 999999, tzinfo=std.timezone.utc) - STD_EPOCH) \
    // std.timedelta(microseconds=1) * 1000 + 999


def sample_counts():
    rng = random.Random(20240601)
    counts = [STD_FIRST, STD_LAST, 0, -1, 951782400 * 10**9, -62135596800 * 10**9 + 1]
    for _ in range(3000):
        n = rng.randrange(STD_FIRST, STD_LAST + 1)
        counts.append(rng.choice([n, n - n % 10**9, n - n % 1000, n - n % 86400000000000]))
    return counts


def test_agrees_with_standard_library():
    for n in sample_counts():
        py = STD_EPOCH + std.timedelta(microseconds=n // 1000)
        frac = f"{n % 10**9:09d}".rstrip("0")
        text = py.replace(microsecond=0, tzinfo=None).isoformat() + ("." + frac if frac else "") + "Z"
        value = ts(n // 10**9, n % 10**9)
        assert str(value) == text
        assert repr(value) == f"DateTime.parse('{text}')"
        assert value.unix_timestamp() == (py - STD_EPOCH) // std.timedelta(seconds=1)
        assert value.unix_timestamp_nanos() == n
        assert (value.date.year, value.date.month, value.date.day) == (py.year, py.month, py.day)
        assert (value.time.hour, value.time.minute, value.time.second) == (py.hour, py.minute, py.second)
        assert value.time.nanosecond == py.microsecond * 1000 + n % 1000
        assert DateTime(value.date, value.time) == value
        assert DateTime.parse(py.isoformat().replace("+00:00", "Z")) == ts(n // 10**9, n % 10**9 // 1000 * 1000)


def test_ordering_agrees_with_standard_library():
    counts = sample_counts()
    values = [ts(n // 10**9, n % 10**9) for n in counts]
    assert [v.unix_timestamp_nanos() for v in sorted(values)] == sorted(counts)
    for (na, a), (nb, b) in zip(zip(counts, values), zip(counts[1:], values[1:])):
        assert (a < b, a <= b, a == b, a != b, a > b, a >= b) == \
               (na < nb, na <= nb, na == nb, na != nb, na > nb, na >= nb)


# Text -------------------------------------------------------------------------

@pytest.mark.parametrize("text, expected", [
    ("2024-01-01T12:00:00Z", "2024-01-01T12:00:00Z"),
    ("2024-01-01T12:00:00z", "2024-01-01T12:00:00Z"),
    ("2024-01-01 12:00:00Z", "2024-01-01T12:00:00Z"),
    ("2024-01-01T12:00:00.5Z", "2024-01-01T12:00:00.5Z"),
    ("2024-02-29T23:59:59.000000001Z", "2024-02-29T23:59:59.000000001Z"),
    ("+2024-1-1T1:2:3Z", "2024-01-01T01:02:03Z"),
    ("-1-12-31T00:00:00Z", "-001-12-31T00:00:00Z"),
    ("5-01-01T00:00:00Z", "0005-01-01T00:00:00Z"),
    ("12345-06-07T00:00:00.00012Z", "12345-06-07T00:00:00.00012Z"),
    (FIRST_TEXT, FIRST_TEXT),
    (LAST_TEXT, LAST_TEXT),
])
def test_parse_accepts(text, expected):
    value = DateTime.parse(text)
    assert type(value) is DateTime and str(value) == expected


@pytest.mark.parametrize("text", [
    "", "Z", "T", "TZ", "2024-01-01t12:00:00Z", "2024-01-01T12:00:00", " 2024-01-01T12:00:00Z",
    "2024-01-01T12:00:00Z ", "2024-01-01T12:00:00+00:00", "2024-01-01T12:00:00ZZ", "2024-01-01TT12:00:00Z",
    "2024-01-01  12:00:00Z", "2024-01-01 T12:00:00Z", "2024-01-01T12:00:00 Z", "2024-01-01T12:00:00.Z",
    "2024-01-01T12:00:00.1234567890Z", "2023-02-29T00:00:00Z", "2024-13-01T00:00:00Z",
    "2024-01-01T24:00:00Z", "2024-01-01T23:59:60Z", "2147483648-01-01T00:00:00Z",
    "-2147483649-12-31T23:59:59Z", "2024-01-01Z", "12:00:00Z", "2024-01-01T12:00Z", "{}", "x'y\x00é€",
    " 2024-01-01T12:00:00Z " * 20,
])
def test_parse_rejects_quoting_the_argument(text, raises_value_error):
    raises_value_error(lambda: DateTime.parse(s=text), f"Invalid datetime string '{text}'. "
                       "Expected format: YYYY-MM-DDTHH:MM:SS[.fffffffff]Z")


@pytest.mark.parametrize("value, text", [
    (DateTime(Date(-1, 1, 1), Time(0, 0, 0)), "-001-01-01T00:00:00Z"),
    (DateTime(Date(0, 2, 29), Time(1, 2, 3, 120000)), "0000-02-29T01:02:03.00012Z"),
    (DateTime(Date(-2**31, 12, 31), Time(23, 59, 59, 999999999)), "-2147483648-12-31T23:59:59.999999999Z"),
])
def test_text_forms(value, text):
    assert str(value) == text
    assert repr(value) == f"DateTime.parse('{text}')"
    assert eval(repr(value), {"DateTime": DateTime}) == value


# Clock ------------------------------------------------------------------------

def test_now_utc_reads_the_real_time_clock():
    before = time.time_ns()
    now = DateTime.now_utc()
    after = time.time_ns()
    assert type(now) is DateTime
    assert before - 10**9 <= now.unix_timestamp_nanos() <= after + 10**9


def test_now_utc_keeps_full_nanosecond_resolution():
    if all(time.time_ns() % 100 == 0 for _ in range(50)):
        pytest.skip("the system clock itself has no finer resolution than 100 ns")
    assert any(DateTime.now_utc().time.nanosecond % 100 != 0 for _ in range(50))


# Comparison, hash and operators -----------------------------------------------

def test_equal_instants_from_different_inputs():
    a, b = DateTime.parse("2024-01-01T00:00:00Z"), ts(1704067200)
    c = DateTime(Date(2024, 1, 1), Time(0, 0, 0))
    assert a == b == c and hash(a) == hash(b) == hash(c)
    assert a.date == Date(2024, 1, 1) and a.time == Time(0, 0, 0)


@pytest.mark.parametrize("value, expected", [
    (DateTime(Date(1970, 1, 1), Time(0, 0, 0)), -5339081515209119773),
    (DateTime.parse("2024-01-01T12:00:00Z"), 5219630723068717795),
])
def test_known_hashes(value, expected):
    assert hash(value) == expected


def test_other_types_do_not_compare():
    assert (EPOCH == 0) is False and (EPOCH != Date(1970, 1, 1)) is True
    with pytest.raises(TypeError):
        EPOCH < Date(1970, 1, 1)
    with pytest.raises(TypeError):
        EPOCH >= 0


@pytest.mark.parametrize("operation", [
    lambda d: EPOCH + d, lambda d: d + EPOCH, lambda d: EPOCH - d, lambda d: d - EPOCH,
    lambda d: EPOCH - EPOCH, lambda d: EPOCH + 1,
])
def test_plus_and_minus_are_not_defined(operation):
    with pytest.raises(TypeError):
        operation(Duration.seconds(1))
