"""Date and Weekday behaviour."""
import datetime
import random
import struct

import pytest
from catalogue import Index
from conftest import _interpreter_says
from kairodex import Date, Weekday

MIN_DAYS, MAX_DAYS = -784353015833, 784351576776
I32_MIN, I32_MAX = -2**31, 2**31 - 1
UNIX_ORDINAL = datetime.date(1970, 1, 1).toordinal()  # 719163
DAYS = ["MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY", "SUNDAY"]


def fields(d):
    return d.year, d.month, d.day


# --- construction ----------------------------------------------------------

@pytest.mark.parametrize("y, m, d", [
    (2024, 2, 29), (2000, 2, 29), (0, 2, 29), (-4, 2, 29), (-400, 2, 29),  # leap years, also <= 0
    (2024, 1, 31), (2024, 4, 30), (2024, 7, 31), (2024, 8, 31), (2024, 12, 31),
    (I32_MIN, 1, 1), (I32_MAX, 12, 31),
])
def test_valid_dates(y, m, d):
    date = Date(y, m, d)
    assert fields(date) == (y, m, d)
    assert type(date) is Date


@pytest.mark.parametrize("y, m, d", [
    (2023, 2, 29), (1900, 2, 29), (2100, 2, 29), (-100, 2, 29), (-1, 2, 29),  # not leap
    (2024, 4, 31), (2024, 6, 31), (2024, 9, 31), (2024, 11, 31),           # 30-day months
    (2024, 2, 30), (2024, 13, 1), (2024, 0, 1), (2024, 1, 0), (2024, 1, 32), (2024, 255, 255),
    (2024, Index(255), Index(0)),  # the ends of the 8-bit fields through __index__ convert, then fail as dates
])
def test_invalid_dates(y, m, d):
    with pytest.raises(ValueError) as info:
        Date(y, m, d)
    assert info.value.args == ("Invalid date: InvalidDate",)


def test_month_lengths_and_leap_rule_match_pythons_calendar():
    import calendar
    for y in list(range(1, 2401)) + [I32_MIN, I32_MIN + 400, I32_MAX - 400, I32_MAX]:
        leap = calendar.isleap(y % 400 or 400)  # the rule repeats every 400 years
        for m in range(1, 13):
            last = calendar.monthrange(2000 if leap else 2001, m)[1]
            assert Date(y, m, last).day == last
            with pytest.raises(ValueError):
                Date(y, m, last + 1)


# --- day counts ------------------------------------------------------------

@pytest.mark.parametrize("date, days", [
    (Date(1970, 1, 1), 0), (Date(1969, 12, 31), -1), (Date(2000, 3, 1), 11017),
    (Date(1, 1, 1), -719162), (Date(0, 1, 1), -719528), (Date(0, 3, 1), -719468),
    (Date(I32_MIN, 1, 1), MIN_DAYS), (Date(I32_MAX, 12, 31), MAX_DAYS),
])
def test_known_day_counts(date, days):
    assert date.days_since_unix_epoch() == days
    assert Date.from_days_since_unix_epoch(days) == date


def test_day_counts_agree_with_python_dates():
    # every month boundary of years 1..9999, plus a dense stride through the range
    ordinals = set()
    for y in range(1, 10000):
        for m in range(1, 13):
            first = datetime.date(y, m, 1).toordinal()
            ordinals.update((first, first - 1))
    ordinals.update(range(1, datetime.date.max.toordinal() + 1, 17))
    ordinals.discard(0)
    for o in sorted(ordinals):
        py = datetime.date.fromordinal(o)
        days = o - UNIX_ORDINAL
        d = Date.from_days_since_unix_epoch(days)
        assert fields(d) == (py.year, py.month, py.day), o
        assert Date(py.year, py.month, py.day).days_since_unix_epoch() == days
        assert d.ordinal() == py.timetuple().tm_yday
        assert d.weekday() is getattr(Weekday, DAYS[py.weekday()])


def test_day_counts_repeat_every_400_years_over_the_whole_year_range():
    rng = random.Random(20240229)
    for _ in range(3000):
        base = datetime.date.fromordinal(rng.randrange(1, 146098 * 2))
        k = rng.randrange((I32_MIN - base.year) // 400 + 1, (I32_MAX - base.year) // 400)
        far = Date(base.year + 400 * k, base.month, base.day)
        days = (base.toordinal() - UNIX_ORDINAL) + 146097 * k
        assert far.days_since_unix_epoch() == days
        assert Date.from_days_since_unix_epoch(days) == far
        assert far.weekday() is getattr(Weekday, DAYS[base.weekday()])
        assert far.ordinal() == base.timetuple().tm_yday


@pytest.mark.parametrize("days", [MIN_DAYS - 1, MAX_DAYS + 1, -2**63, 2**63 - 1])
def test_day_count_out_of_range(days):
    with pytest.raises(ValueError) as info:
        Date.from_days_since_unix_epoch(days)
    assert info.value.args == ("Invalid date: OutOfRange",)


@pytest.mark.parametrize("date, n, expected", [
    (Date(2024, 3, 1), -1, Date(2024, 2, 29)),
    (Date(2023, 12, 31), 1, Date(2024, 1, 1)),
    (Date(2024, 1, 31), 0, Date(2024, 1, 31)),
    (Date(I32_MAX, 12, 30), 1, Date(I32_MAX, 12, 31)),
    (Date(I32_MIN, 1, 2), -1, Date(I32_MIN, 1, 1)),
    (Date(I32_MIN, 1, 1), MAX_DAYS - MIN_DAYS, Date(I32_MAX, 12, 31)),
    (Date(I32_MAX, 12, 31), MIN_DAYS - MAX_DAYS, Date(I32_MIN, 1, 1)),
])
def test_add_days(date, n, expected):
    result = date.add_days(n)
    assert result == expected and type(result) is Date
    assert result is not date


@pytest.mark.parametrize("date, n", [
    (Date(I32_MAX, 12, 31), 1),
    (Date(I32_MIN, 1, 1), -1),
    (Date(1970, 1, 1), 2**63 - 1),
    (Date(1970, 1, 1), -2**63),
    (Date(I32_MAX, 12, 31), 2**63 - 1),  # the sum itself overflows 64 bits
    (Date(I32_MIN, 1, 1), -2**63),
])
def test_add_days_out_of_range(date, n):
    with pytest.raises(ValueError) as info:
        date.add_days(n)
    assert info.value.args == ("Date out of range: OutOfRange",)


# --- weekday and ordinal ---------------------------------------------------

@pytest.mark.parametrize("date, name", [
    (Date(1970, 1, 1), "THURSDAY"), (Date(1969, 12, 31), "WEDNESDAY"), (Date(2024, 1, 1), "MONDAY"),
    (Date(1, 1, 1), "MONDAY"), (Date(0, 1, 1), "SATURDAY"), (Date(-1, 12, 31), "FRIDAY"),
    (Date(I32_MIN, 1, 1), "TUESDAY"), (Date(I32_MAX, 12, 31), "TUESDAY"),
])
def test_weekday_is_the_class_attribute(date, name):
    assert date.weekday() is getattr(Weekday, name)
    assert date.weekday() == getattr(Weekday, name)


def test_weekday_survives_rebinding_of_class_attributes(monkeypatch):
    monday = Weekday.MONDAY
    monkeypatch.setattr(Weekday, "MONDAY", None)
    assert Date(2024, 1, 1).weekday() is monday


@pytest.mark.parametrize("date, ordinal", [
    (Date(2024, 1, 1), 1), (Date(2024, 2, 29), 60), (Date(2024, 3, 1), 61), (Date(2023, 3, 1), 60),
    (Date(2024, 12, 31), 366), (Date(2023, 12, 31), 365), (Date(0, 12, 31), 366),
    (Date(-100, 12, 31), 365), (Date(I32_MIN, 12, 31), 366),
])
def test_ordinal(date, ordinal):
    assert date.ordinal() == ordinal


# --- Weekday ---------------------------------------------------------------

def test_weekday_attributes():
    assert [n for n in vars(Weekday) if n.isupper()] == DAYS
    for number, name in enumerate(DAYS, start=1):
        day = getattr(Weekday, name)
        assert type(day) is Weekday
        assert str(day) == repr(day) == name.capitalize()
        assert day.number_from_monday() == number


def test_weekday_compares_and_hashes_by_identity():
    monday = Weekday.MONDAY
    assert monday == monday and monday != Weekday.TUESDAY
    assert hash(monday) == object.__hash__(monday)
    assert Weekday.__eq__ is object.__eq__ and Weekday.__hash__ is object.__hash__
    with pytest.raises(TypeError):
        monday < Weekday.TUESDAY  # noqa: B015
    assert len({Date(2024, 1, d).weekday() for d in range(1, 32)}) == 7


# --- parse -----------------------------------------------------------------

@pytest.mark.parametrize("text, expected", [
    ("2024-03-07", (2024, 3, 7)), ("+2024-03-07", (2024, 3, 7)), ("2024-3-7", (2024, 3, 7)),
    ("02024-003-007", (2024, 3, 7)), ("2024-02-029", (2024, 2, 29)), ("2024-012-0000031", (2024, 12, 31)),
    ("-0001-12-31", (-1, 12, 31)), ("-001-12-31", (-1, 12, 31)), ("-0-1-1", (0, 1, 1)),
    ("+0-1-1", (0, 1, 1)), ("1-1-1", (1, 1, 1)), ("0000000000000002024-03-07", (2024, 3, 7)),
    ("2147483647-12-31", (I32_MAX, 12, 31)), ("-2147483648-01-01", (I32_MIN, 1, 1)),
])
def test_parse_accepts(text, expected):
    d = Date.parse(text)
    assert fields(d) == expected
    assert type(d) is Date


@pytest.mark.parametrize("text", [
    # shape: exactly two separators, no empty field, nothing trimmed
    "", "7", "-", "2024", "2024-03", "-2024-03", "2024-03-07-", "2024--07", "--03-07", "2024-03-",
    "-03-07", " 2024-03-07", "2024-03-07 ", "2024-03-07\n", "2024-03-07\x00", "2024-03-07T00:00:00Z",
    "2024/03/07", "2024.03.07",
    # signs: only one, only on the year
    "+-2024-03-07", "-+2024-03-07", "++2024-03-07", "+-03-07", "2024-+3-07", "2024-03-+7", "2024--3-07",
    # values out of range
    "2024-13-01", "2024-00-10", "2024-02-30", "2023-02-29", "2024-03-00", "2024-04-31", "2024-1-32",
    "2147483648-01-01", "-2147483649-01-01", "99999999999999999999-01-01",
    "2024-99999999999999999999-01", "2024-01-99999999999999999999",
    # non-ASCII digits and letters
    "２０２４-03-07", "2024-0٣-07", "2024-O3-07", "2024-03-07\u200b", "2024-0x3-07",
])
def test_parse_rejects(text):
    with pytest.raises(ValueError) as info:
        Date.parse(text)
    assert info.value.args == ("Invalid date string: InvalidDate",)


# --- text forms ------------------------------------------------------------

@pytest.mark.parametrize("date, text", [
    (Date(2024, 3, 7), "2024-03-07"), (Date(5, 1, 1), "0005-01-01"), (Date(0, 1, 1), "0000-01-01"),
    (Date(-1, 12, 31), "-001-12-31"), (Date(-999, 1, 1), "-999-01-01"), (Date(-1000, 1, 1), "-1000-01-01"),
    (Date(12345, 6, 7), "12345-06-07"), (Date(I32_MIN, 1, 1), "-2147483648-01-01"),
    (Date(I32_MAX, 12, 31), "2147483647-12-31"),
])
def test_str_reads_back(date, text):
    assert str(date) == text
    assert Date.parse(text) == date


@pytest.mark.parametrize("date, text", [
    (Date(2024, 3, 7), "Date(year=2024, month=3, day=7)"),
    (Date(-1, 2, 3), "Date(year=-1, month=2, day=3)"),
    (Date(0, 10, 10), "Date(year=0, month=10, day=10)"),
    (Date(I32_MIN, 12, 31), "Date(year=-2147483648, month=12, day=31)"),
])
def test_repr(date, text):
    assert repr(date) == text


# --- hash and comparison ---------------------------------------------------

def test_hash(value_hash):
    # the reference hasher first, against published values
    assert value_hash(b"") == -3315872660926475476
    assert value_hash(b"abc") == -4594863902769663758
    assert hash(Date(1970, 1, 1)) == 9077067354564779974
    assert hash(Date(2024, 2, 29)) == 4987380661001369716
    assert value_hash(bytes(16)) == 8556445246977061536
    # year as 4 bytes little-endian two's complement, then month, then day
    for d in [Date(-1, 12, 31), Date(I32_MIN, 1, 1), Date(I32_MAX, 12, 31), Date(1, 2, 3)]:
        assert hash(d) == value_hash(struct.pack("<iBB", d.year, d.month, d.day)), d
    assert hash(Date(2024, 1, 1)) == hash(Date.parse("2024-01-01"))
    assert len({Date(2024, 1, 1), Date.parse("+02024-1-1"), Date(2024, 1, 2)}) == 2


def test_ordering_follows_calendar_order():
    rng = random.Random(7)
    dates = [Date(I32_MIN, 1, 1), Date(I32_MAX, 12, 31), Date(-1, 12, 31), Date(0, 1, 1)]
    dates += [Date.from_days_since_unix_epoch(rng.randrange(MIN_DAYS, MAX_DAYS + 1)) for _ in range(60)]
    dates += [Date(rng.choice([-1, 0, 1, 2024]), rng.randrange(1, 13), rng.randrange(1, 29)) for _ in range(60)]
    for a in dates:
        for b in dates:
            ka, kb = fields(a), fields(b)
            assert (a < b, a <= b, a == b, a != b, a > b, a >= b) == (
                ka < kb, ka <= kb, ka == kb, ka != kb, ka > kb, ka >= kb), (a, b)


class Anything:
    """Claims equality and order with everything, to see whether Date defers."""
    def __eq__(self, other): return True
    def __ne__(self, other): return False
    def __gt__(self, other): return True
    __lt__ = __ge__ = __le__ = __gt__


@pytest.mark.parametrize("other", ["2024-01-01", None, 5, (2024, 1, 1), datetime.date(2024, 1, 1),
                                   Weekday.MONDAY])
def test_comparison_with_foreign_types(other):
    d = Date(2024, 1, 1)
    assert (d == other) is False and (d != other) is True
    assert (other == d) is False
    for op in ("__eq__", "__ne__", "__lt__", "__le__", "__gt__", "__ge__"):
        assert getattr(d, op)(other) is NotImplemented
    for compare, reference in ((lambda: d < other, lambda: object() < object()),
                               (lambda: d >= other, lambda: object() >= object()),
                               (lambda: other > d, lambda: object() > object())):
        with pytest.raises(TypeError) as info:
            compare()
        # The interpreter's own text, its operand names aside.
        theirs = _interpreter_says(reference)
        assert str(info.value).split(" between")[0] == theirs.split(" between")[0]


def test_comparison_defers_to_the_other_operand():
    d = Date(2024, 1, 1)
    assert d == Anything() and not (d != Anything())
    assert d < Anything() and d > Anything()
