import random

import pytest

from kairodex import Time

LATEST = Time(23, 59, 59, 999999999)


# Construction and validation ------------------------------------------------

@pytest.mark.parametrize("fields", [(0, 0, 0), (23, 59, 59, 999999999), (12, 0, 59), (0, 59, 0, 1)])
def test_valid_fields_are_kept(fields):
    t = Time(*fields)
    assert (t.hour, t.minute, t.second, t.nanosecond) == (fields + (0,))[:4]


# Each field one past its bound; 60 seconds (a leap second) is refused too.
@pytest.mark.parametrize("fields", [(24, 0, 0), (0, 60, 0), (0, 0, 60), (0, 0, 0, 1000000000),
                                    (255, 255, 255, 4294967295)])
def test_out_of_bounds_fields_raise_value_error(fields):
    with pytest.raises(ValueError) as info:
        Time(*fields)
    assert info.value.args == ("Invalid time: InvalidTime",)


# Values outside a parameter's width fail while converting, naming the parameter.
@pytest.mark.parametrize("args, exc, message, param", [
    ((256, 0, 0), OverflowError, "out of range integral type conversion attempted", "hour"),
    ((0, -1, 0), OverflowError, "out of range integral type conversion attempted", "minute"),
    ((0, 0, 2**31), OverflowError, "Python int too large to convert to C long", "second"),
    ((0, 0, 0, 2**32), OverflowError, "out of range integral type conversion attempted", "nanosecond"),
    ((0, 0, 0, -1), OverflowError, None, "nanosecond"),
    ((0, 0, 0, 2**64), OverflowError, None, "nanosecond"),
    ((1, 2, 3, None), TypeError, None, "nanosecond"),
    ((1.0, 2, 3), TypeError, None, "hour"),
])
def test_conversion_failures_name_the_parameter(args, exc, message, param, raises_noted):
    raises_noted(exc, param, lambda: Time(*args), message)  # exactly exc: never a ValueError


def test_nanosecond_defaults_to_zero_and_keywords_are_accepted():
    assert Time(1, 2, 3).nanosecond == 0
    assert Time(nanosecond=4, second=3, minute=2, hour=1) == Time(1, 2, 3, 4)


@pytest.mark.parametrize("t, secs, nanos", [
    (Time(0, 0, 0), 0, 0),
    (Time(0, 0, 0, 1), 0, 1),
    (Time(1, 1, 1, 5), 3661, 3661000000005),
    (LATEST, 86399, 86399999999999),
])
def test_counts_since_midnight(t, secs, nanos):
    assert t.seconds_since_midnight() == secs
    assert t.nanos_since_midnight() == nanos


# Text -------------------------------------------------------------------------

@pytest.mark.parametrize("text, fields", [
    ("12:30:45", (12, 30, 45, 0)),
    ("12:30:45.5", (12, 30, 45, 500000000)),
    ("12:30:45.000000001", (12, 30, 45, 1)),
    ("12:30:45.123456789", (12, 30, 45, 123456789)),
    ("12:30:45.000000000", (12, 30, 45, 0)),
    ("12:30:45.00000012", (12, 30, 45, 120)),
    ("1:2:3", (1, 2, 3, 0)),
    ("001:002:003", (1, 2, 3, 0)),
    ("0000000000000000000023:59:59", (23, 59, 59, 0)),
    ("00:00:00", (0, 0, 0, 0)),
    ("23:59:59.999999999", (23, 59, 59, 999999999)),
])
def test_parse_accepts(text, fields):
    t = Time.parse(text)
    assert type(t) is Time
    assert (t.hour, t.minute, t.second, t.nanosecond) == fields


# Field counts, bounds, fraction length, stray bytes, signs and zones.
@pytest.mark.parametrize("text", [
    "", "12", "12:30", "12:30:45:00", ":30:45", "12::45", "12:30:", "24:00:00", "12:60:00",
    "12:00:60", "99:00:00", "12:30:45.", "12:30:45.1234567890", ".5", "12:30:45.5.5", "12:30:45,5",
    " 12:30:45", "12:30:45 ", "12:30:45\n", "12:30:45Z", "12:30:45+01:00", "+1:2:3", "-1:2:3",
    "12:3a:45", "12:30:45.-5", "12:30:45.+5", "\uff11\uff12:30:45", "12:30:45\x00",
    "123456789012345678901234567890:00:00",
])
def test_parse_rejects(text):
    with pytest.raises(ValueError) as info:
        Time.parse(text)
    assert info.value.args == ("Invalid time string: InvalidTime",)


def test_parse_takes_s_by_keyword_and_requires_str():
    assert Time.parse(s="01:02:03") == Time(1, 2, 3)
    with pytest.raises(TypeError, match="'int' object is not an instance of 'str'"):
        Time.parse(120000)


@pytest.mark.parametrize("t, text", [
    (Time(12, 30, 45, 500000000), "12:30:45.5"),
    (Time(1, 2, 3, 120), "01:02:03.00000012"),
    (Time(0, 0, 0, 1), "00:00:00.000000001"),
    (Time(9, 5, 7), "09:05:07"),
    (Time(9, 5, 7, 100000), "09:05:07.0001"),
    (LATEST, "23:59:59.999999999"),
])
def test_str(t, text):
    assert str(t) == text


@pytest.mark.parametrize("t, text", [
    (Time(9, 5, 7), "Time(hour=9, minute=5, second=7, nanosecond=0)"),
    (LATEST, "Time(hour=23, minute=59, second=59, nanosecond=999999999)"),
])
def test_repr(t, text):
    assert repr(t) == text


def test_text_form_reads_back():
    rng = random.Random(2202)
    for _ in range(2000):
        t = Time(rng.randrange(24), rng.randrange(60), rng.randrange(60),
                 rng.choice([0, rng.randrange(10**9), rng.randrange(10) * 10**rng.randrange(9)]))
        assert Time.parse(str(t)) == t


# Hash and comparison ----------------------------------------------------------

@pytest.mark.parametrize("t, value", [
    (Time(0, 0, 0, 0), -8539203582074308692),
    (Time(12, 30, 45, 500000000), -2659534607371269283),
])
def test_known_hashes(t, value):
    assert hash(t) == value


def test_equal_times_hash_equal():
    assert hash(Time.parse("12:00:00.5")) == hash(Time(12, 0, 0, 500000000))
    assert len({hash(Time(0, 0, s, n)) for s in range(60) for n in (0, 1, 999999999)}) == 180


@pytest.mark.parametrize("a, op, b", [
    (Time(0, 0, 0, 1), ">", Time(0, 0, 0)),
    (Time(0, 59, 59, 999999999), "<", Time(1, 0, 0)),
    (Time(12, 0, 0), "==", Time(12, 0, 0, 0)),
    (Time(12, 0, 0), "<=", Time(12, 0, 0)),
    (Time(12, 0, 0), ">=", Time(12, 0, 0)),
    (Time(12, 0, 0), "!=", Time(12, 0, 0, 1)),
    (Time(0, 0, 59), "<", Time(0, 1, 0)),
])
def test_comparisons(a, op, b):
    assert eval(f"a {op} b")


def test_ordering_follows_fields():
    rng = random.Random(77)
    times = [(rng.randrange(24), rng.randrange(60), rng.randrange(60), rng.randrange(3)) for _ in range(400)]
    objects = [Time(*f) for f in times]
    for (fa, a), (fb, b) in zip(zip(times, objects), zip(times[1:], objects[1:])):
        assert (a < b, a <= b, a == b, a != b, a > b, a >= b) == \
               (fa < fb, fa <= fb, fa == fb, fa != fb, fa > fb, fa >= fb)


def test_other_types_do_not_compare():
    t = Time(12, 0, 0)
    assert (t == "12:00:00") is False
    assert (t != 43200) is True
    for other in (5, "12:00:00", None):
        with pytest.raises(TypeError):
            t < other
