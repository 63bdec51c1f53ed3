"""Properties over the whole domain of every class: text forms read back,
fields and counts convert both ways, differences added back give the other
value; and agreement with the standard library's datetime wherever the two
overlap (years 1 to 9999, microseconds)."""
import datetime as std
import math

from hypothesis import given, settings, strategies as st
from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset

examples = settings(max_examples=200, deadline=None, database=None)

MIN_DAYS, MAX_DAYS = -784353015833, 784351576776
FIRST_NANOS = -67768100567971200 * 10**9
LAST_NANOS = 67767976233532799 * 10**9 + 999999999
DAY_NANOS = 86400 * 10**9
I128_MIN, I128_MAX = -2**127, 2**127 - 1

days = st.integers(MIN_DAYS, MAX_DAYS)
instants = st.integers(FIRST_NANOS, LAST_NANOS)
nanos_of_day = st.integers(0, DAY_NANOS - 1)
counts = st.integers(I128_MIN, I128_MAX)
offsets = st.integers(-86400, 86400)
minute_offsets = st.integers(-1439, 1439).map(lambda m: m * 60)
fixed_zones = st.integers(-1439, 1439).map(lambda m: std.timezone(std.timedelta(minutes=m)))
UTC_EPOCH = std.datetime(1970, 1, 1, tzinfo=std.timezone.utc)
MICROSECOND = std.timedelta(microseconds=1)
FIRST_STD_DAY = std.date(1, 1, 1).toordinal()


def instant(nanos):
    return DateTime.from_unix_timestamp(nanos // 10**9, nanos % 10**9)


def time_of(nanos):
    seconds, nanosecond = divmod(nanos, 10**9)
    return Time(seconds // 3600, seconds // 60 % 60, seconds % 60, nanosecond)


def from_std(value):
    """The kairodex value with the fields of a standard-library one."""
    if isinstance(value, std.datetime):
        return DateTime(from_std(value.date()), from_std(value.time()))
    if isinstance(value, std.date):
        return Date(value.year, value.month, value.day)
    return Time(value.hour, value.minute, value.second, value.microsecond * 1000)


def std_nanos(aware):
    return (aware - UTC_EPOCH) // MICROSECOND * 1000


# --- Date ------------------------------------------------------------------

@examples
@given(days, st.integers(-2 * MAX_DAYS, 2 * MAX_DAYS))
def test_date_day_counts_fields_and_text(count, step):
    date = Date.from_days_since_unix_epoch(count)
    assert date.days_since_unix_epoch() == count
    assert Date(date.year, date.month, date.day) == date
    assert Date.parse(str(date)) == date and hash(Date.parse(str(date))) == hash(date)
    assert date.weekday().number_from_monday() == (count + 3) % 7 + 1
    if MIN_DAYS <= count + step <= MAX_DAYS:
        assert date.add_days(step) == Date.from_days_since_unix_epoch(count + step)
        assert (date.add_days(step) > date) == (step > 0)
    else:
        try:
            date.add_days(step)
            raise AssertionError("moved out of range")
        except ValueError as error:
            assert str(error) == "Date out of range: OutOfRange"


@examples
@given(st.dates(), st.dates())
def test_date_agrees_with_std(a, b):
    ours = from_std(a)
    assert ours.days_since_unix_epoch() == a.toordinal() - UTC_EPOCH.toordinal()
    assert str(ours) == a.isoformat() and Date.parse(a.isoformat()) == ours
    assert ours.weekday().number_from_monday() == a.isoweekday()
    assert ours.ordinal() == a.timetuple().tm_yday
    assert (ours < from_std(b)) == (a < b) and (ours == from_std(b)) == (a == b)
    step = b.toordinal() - a.toordinal()
    assert ours.add_days(step) == from_std(b)
    assert std.date.fromisoformat(str(ours)) == a


# --- Time ------------------------------------------------------------------

@examples
@given(nanos_of_day)
def test_time_counts_fields_and_text(nanos):
    time = time_of(nanos)
    assert time.nanos_since_midnight() == nanos
    assert time.seconds_since_midnight() == nanos // 10**9
    assert Time.parse(str(time)) == time and hash(Time.parse(str(time))) == hash(time)
    assert Time(time.hour, time.minute, time.second, time.nanosecond) == time


@examples
@given(st.times(), st.times())
def test_time_agrees_with_std(a, b):
    ours = from_std(a)
    assert Time.parse(a.isoformat()) == ours
    assert std.time.fromisoformat(str(ours)) == a
    assert (ours < from_std(b)) == (a < b) and (ours == from_std(b)) == (a == b)


# --- Duration --------------------------------------------------------------

@examples
@given(counts, counts)
def test_duration_arithmetic_is_exact_or_refused(m, n):
    a, b = Duration.nanoseconds(m), Duration.nanoseconds(n)
    assert a.total_nanos() == m and eval(repr(a), {"Duration": Duration}) == a
    assert str(a) == f"Duration({m} ns)"
    assert a.total_seconds() == m / 1e9
    assert (a < b) == (m < n) and (a == b) == (m == n)
    for operation, exact in ((lambda: a + b, m + n), (lambda: a - b, m - n), (lambda: -a, -m)):
        if I128_MIN <= exact <= I128_MAX:
            assert operation().total_nanos() == exact
        else:
            try:
                operation()
                raise AssertionError("wrapped around")
            except OverflowError as error:
                assert str(error) == "Duration out of range: OutOfRange"


@examples
@given(st.integers(-2**63, 2**63 - 1))
def test_duration_units_agree(count):
    assert Duration.seconds(count) == Duration.nanoseconds(count * 10**9)
    assert Duration.milliseconds(count) == Duration.nanoseconds(count * 10**6)
    assert hash(Duration.microseconds(count)) == hash(Duration.nanoseconds(count * 1000))


@examples
@given(st.timedeltas(-2**63 * MICROSECOND, (2**63 - 1) * MICROSECOND))
def test_duration_agrees_with_std(delta):
    ours = Duration.microseconds(delta // MICROSECOND)
    assert ours.total_nanos() == delta // MICROSECOND * 1000
    assert math.isclose(ours.total_seconds(), delta.total_seconds(), rel_tol=2**-52)


# --- UtcOffset -------------------------------------------------------------

@examples
@given(offsets)
def test_offset_seconds_and_text(seconds):
    offset = UtcOffset.from_seconds(seconds)
    assert offset.as_seconds() == seconds and offset.is_utc() == (seconds == 0)
    whole = abs(seconds) // 60
    assert str(offset) == f"{'-' if seconds < 0 else '+'}{whole // 60:02}:{whole % 60:02}"
    if seconds % 60 == 0 and abs(seconds) < 86400:
        assert UtcOffset.from_hours_minutes(seconds >= 0, whole // 60, whole % 60) == offset
        zone = std.timezone(std.timedelta(seconds=seconds))
        assert str(offset) == std.datetime(2000, 1, 1, tzinfo=zone).isoformat()[-6:]


# --- DateTime --------------------------------------------------------------

@examples
@given(instants, instants)
def test_datetime_counts_text_and_differences(m, n):
    a, b = instant(m), instant(n)
    assert a.unix_timestamp_nanos() == m and a.unix_timestamp() == m // 10**9
    assert DateTime.parse(str(a)) == a and hash(DateTime.parse(str(a))) == hash(a)
    assert DateTime(a.date, a.time) == a
    assert a.time.nanos_since_midnight() == m % DAY_NANOS
    assert b.difference(a).total_nanos() == n - m
    assert a.add_duration(b.difference(a)) == b
    assert (a < b) == (m < n) and (a == b) == (m == n)


@examples
@given(st.datetimes(), st.datetimes())
def test_datetime_agrees_with_std(a, b):
    ours, utc = from_std(a), a.replace(tzinfo=std.timezone.utc)
    assert ours.unix_timestamp_nanos() == std_nanos(utc)
    assert DateTime.parse(a.isoformat() + "Z") == ours
    assert std.datetime.fromisoformat(str(ours)) == utc
    assert ours.difference(from_std(b)) == Duration.microseconds((a - b) // MICROSECOND)
    assert ours.add_duration(Duration.microseconds((b - a) // MICROSECOND)) == from_std(b)


# --- OffsetDateTime --------------------------------------------------------

@examples
@given(instants, minute_offsets, instants)
def test_offset_datetime_local_readings_and_text(m, offset_seconds, n):
    offset = UtcOffset.from_seconds(offset_seconds)
    value = OffsetDateTime.from_utc(instant(m), offset)
    assert value.unix_timestamp_nanos() == m
    local = m + offset_seconds * 10**9
    if FIRST_NANOS <= local <= LAST_NANOS:
        assert value.to_local() == instant(local)
        assert OffsetDateTime.from_local(value.to_local().date, value.to_local().time, offset) == value
        assert OffsetDateTime.parse(str(value)) == value
    else:
        for unrepresentable in (value.to_local, lambda: str(value)):
            try:
                unrepresentable()
                raise AssertionError("local reading out of range")
            except ValueError:
                pass
    other = OffsetDateTime.from_utc(instant(n), UtcOffset.from_seconds(0))
    assert value.add_duration(other.difference(value)) == OffsetDateTime.from_utc(other.utc, offset)


@examples
@given(st.datetimes(timezones=fixed_zones))
def test_offset_datetime_agrees_with_std(aware):
    ours = OffsetDateTime.parse(aware.isoformat())
    assert ours.unix_timestamp_nanos() == std_nanos(aware)
    assert ours.offset.as_seconds() == aware.utcoffset() // std.timedelta(seconds=1)
    assert ours.to_local() == from_std(aware.replace(tzinfo=None))
    back = std.datetime.fromisoformat(str(ours))
    assert back == aware and back.utcoffset() == aware.utcoffset()
