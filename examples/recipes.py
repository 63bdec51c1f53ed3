"""Recipes: kairodex values to and from datetime, numpy, pandas, JSON and pickle;
the offset of a time zone at an instant; today's date on the local clock;
durations written as hours, minutes and seconds; events grouped by UTC day.

    python3.15 examples/recipes.py

Each recipe is a small function to copy into an application. The
documentation's Recipes page shows each one with tested examples, edge cases
included; run as a script, this file shows a few of them at work. numpy,
pandas and the time-zone database (tzdata) are needed only by the recipes
that use them.
"""

import copyreg
import datetime as std
import re
from collections.abc import Iterable
from itertools import groupby

from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset, Weekday

ZERO = Duration.nanoseconds(0)
SECOND = std.timedelta(seconds=1)
MICROSECOND = std.timedelta(microseconds=1)


# --- datetime ------------------------------------------------------------------

def to_std(value, *, exact=True, naive=False):
    """The datetime object of a kairodex value.

    Date -> date, Time -> time, Duration -> timedelta, DateTime -> datetime in
    UTC (naive=True: a naive datetime with the same fields), OffsetDateTime ->
    datetime with a fixed timezone. datetime holds microseconds: with
    exact=True a value with a finer part raises ValueError, with exact=False
    it is cut to the microsecond before it. ValueError also where datetime has
    no room for the value: years outside 1 to 9999, durations beyond
    999999999 days, the offsets +24:00 and -24:00.
    """
    if isinstance(value, Duration):
        micros = _micros(value.total_nanos(), exact)
        if not std.timedelta.min // MICROSECOND <= micros <= std.timedelta.max // MICROSECOND:
            raise ValueError(f"{value!r} is beyond the 999999999 days of a timedelta")
        return std.timedelta(microseconds=micros)
    if isinstance(value, Date):
        if not std.MINYEAR <= value.year <= std.MAXYEAR:
            raise ValueError(f"the year {value.year} is outside datetime's years 1 to 9999")
        return std.date(value.year, value.month, value.day)
    if isinstance(value, Time):
        return std.time(value.hour, value.minute, value.second, _micros(value.nanosecond, exact))
    if isinstance(value, DateTime):
        zone = None if naive else std.UTC
        return std.datetime.combine(to_std(value.date), to_std(value.time, exact=exact), zone)
    if isinstance(value, OffsetDateTime):
        seconds = value.offset.as_seconds()
        if abs(seconds) >= 86400:
            raise ValueError(f"datetime.timezone cannot hold the offset {value.offset}")
        zone = std.timezone(std.timedelta(seconds=seconds))
        local = value.to_local()  # the wall-clock reading at the offset
        return std.datetime.combine(to_std(local.date), to_std(local.time, exact=exact), zone)
    raise TypeError(f"no datetime counterpart for {type(value).__name__}")


def _micros(nanos: int, exact: bool) -> int:
    micros, rest = divmod(nanos, 1000)  # rest >= 0: cut toward the past
    if exact and rest:
        raise ValueError(f"{nanos} ns is not a whole number of microseconds; exact=False cuts it")
    return micros


def from_std(value, *, naive=None):
    """The kairodex value of a datetime object, exactly.

    date -> Date, time -> Time, timedelta -> Duration; an aware datetime ->
    OffsetDateTime at its UTC offset (from its tzinfo, zoneinfo's included).
    A naive datetime says nothing of where its reading was taken: ValueError,
    unless naive="utc" reads it as UTC (-> DateTime with the same fields). A
    pandas Timestamp (a datetime too) keeps its nanoseconds.
    """
    if isinstance(value, std.timedelta):
        return Duration.nanoseconds(value // MICROSECOND * 1000)
    if isinstance(value, std.datetime):
        date = Date(value.year, value.month, value.day)
        # datetime stops at the microsecond; pandas' Timestamp keeps the nanoseconds past it.
        nanos = value.microsecond * 1000 + getattr(value, "nanosecond", 0)
        clock = Time(value.hour, value.minute, value.second, nanos)
        offset = value.utcoffset()
        if offset is None:
            if naive != "utc":
                raise ValueError(f"{value!r} is naive: say how to read it (naive='utc'), or give it a tzinfo")
            return DateTime(date, clock)
        return OffsetDateTime.from_local(date, clock, UtcOffset.from_seconds(_whole_seconds(offset)))
    if isinstance(value, std.date):
        return Date(value.year, value.month, value.day)
    if isinstance(value, std.time):
        if value.utcoffset() is not None:
            raise ValueError("a time of day with a time zone has no kairodex counterpart")
        return Time(value.hour, value.minute, value.second, value.microsecond * 1000)
    raise TypeError(f"no kairodex counterpart for {type(value).__name__}")


def _whole_seconds(offset: std.timedelta) -> int:
    if offset % SECOND:
        raise ValueError(f"the offset {offset} is not a whole number of seconds")
    return offset // SECOND


# --- numpy and pandas ------------------------------------------------------------

NAT = -2**63  # numpy's "not a time": the least int64
NANOS_PER_UNIT = {"W": 604800 * 10**9, "D": 86400 * 10**9, "h": 3600 * 10**9, "m": 60 * 10**9,
                  "s": 10**9, "ms": 10**6, "us": 10**3, "ns": 1}


def _int64_nanos(nanos: int, value) -> int:
    if not NAT < nanos < 2**63:
        raise ValueError(f"{value!r} is beyond the int64 nanoseconds of numpy and pandas")
    return nanos


def to_datetime64(instants: Iterable[DateTime | OffsetDateTime]):
    """A datetime64[ns] array of the instants (in UTC), exact.

    int64 nanoseconds reach from 1677-09-21T00:12:43.145224193Z to
    2262-04-11T23:47:16.854775807Z; ValueError beyond.
    """
    import numpy as np

    nanos = [_int64_nanos(t.unix_timestamp_nanos(), t) for t in instants]
    return np.array(nanos, dtype=np.int64).view("datetime64[ns]")


def to_timedelta64(durations: Iterable[Duration]):
    """A timedelta64[ns] array of the durations, exact; ValueError beyond int64 nanoseconds."""
    import numpy as np

    nanos = [_int64_nanos(d.total_nanos(), d) for d in durations]
    return np.array(nanos, dtype=np.int64).view("timedelta64[ns]")


def _counts(values, kind: str) -> list[int]:
    """The nanosecond counts of a datetime64 or timedelta64 array of any fixed unit."""
    import numpy as np

    values = np.asarray(values)
    if values.dtype.kind != kind:
        raise TypeError(f"expected {'datetime64' if kind == 'M' else 'timedelta64'} values, not {values.dtype}")
    # In the machine's byte order, so that the counts read below are the values
    # (data from files and networks is often big-endian: ">M8[ns]").
    values = values.astype(values.dtype.newbyteorder("="), copy=False)
    unit, count = np.datetime_data(values.dtype)
    if unit not in NANOS_PER_UNIT:
        raise ValueError(f"the unit {unit!r} is not a fixed whole number of nanoseconds")
    step = NANOS_PER_UNIT[unit] * count
    counts = values.view(np.int64).ravel().tolist()
    if NAT in counts:
        raise ValueError("NaT has no kairodex value")
    return [n * step for n in counts]  # Python ints: no overflow, whatever the unit


def from_datetime64(values) -> list[DateTime]:
    """The instants of a datetime64 array (any unit from weeks to nanoseconds), exact;
    beyond kairodex's range, its ValueError (OverflowError past int64 seconds)."""
    return [DateTime.from_unix_timestamp(*divmod(n, 10**9)) for n in _counts(values, "M")]


def from_timedelta64(values) -> list[Duration]:
    """The durations of a timedelta64 array (any unit from weeks to nanoseconds), exact."""
    return [Duration.nanoseconds(n) for n in _counts(values, "m")]


def to_timestamp(value: DateTime | OffsetDateTime):
    """A pandas Timestamp of the instant: in UTC, or at the value's offset; exact.

    pandas holds the instant in int64 nanoseconds (ValueError beyond, as
    to_datetime64), and at an offset the local reading too: within a day of
    either end, pandas' OutOfBoundsDatetime (a ValueError) where it falls outside.
    """
    import pandas as pd

    stamp = pd.Timestamp(to_datetime64([value])[0], tz="UTC")
    if isinstance(value, OffsetDateTime):
        stamp = stamp.tz_convert(to_std(value, exact=False).tzinfo)
    return stamp


def from_timestamp(stamp, *, naive=None) -> DateTime | OffsetDateTime:
    """The kairodex value of a pandas Timestamp, exact, whatever its unit.

    Aware -> OffsetDateTime at the Timestamp's UTC offset (ValueError for an
    offset with a fraction of a second, as from_std); naive -> ValueError,
    unless naive="utc" reads it as UTC (-> DateTime with the same fields).
    """
    [instant] = from_datetime64(stamp.asm8)  # asm8: the instant (or the naive reading)
    if stamp.tzinfo is None:
        if naive != "utc":
            raise ValueError(f"{stamp!r} is naive: say how to read it (naive='utc'), or localize it")
        return instant
    return OffsetDateTime.from_utc(instant, UtcOffset.from_seconds(_whole_seconds(stamp.utcoffset())))


# --- JSON -------------------------------------------------------------------------

WEEKDAYS = {str(day): day for day in (Weekday.MONDAY, Weekday.TUESDAY, Weekday.WEDNESDAY, Weekday.THURSDAY,
                                       Weekday.FRIDAY, Weekday.SATURDAY, Weekday.SUNDAY)}


def json_default(value):
    """For json.dumps(..., default=json_default): dates, times and instants as
    their text, durations as whole nanoseconds, offsets as whole seconds,
    weekdays by name."""
    if isinstance(value, Duration):
        return value.total_nanos()
    if isinstance(value, UtcOffset):
        return value.as_seconds()
    if isinstance(value, OffsetDateTime):
        seconds = value.offset.as_seconds()
        # Its text has whole minutes of offset, which would read back as another instant,
        # and the offsets of a whole day print as +24:00 and -24:00, which do not read back.
        if seconds % 60 or abs(seconds) == 86400:
            raise ValueError(f"{value.utc} at an offset of {seconds} s has no text that reads back")
    if isinstance(value, (Date, Time, DateTime, OffsetDateTime, Weekday)):
        return str(value)
    raise TypeError(f"Object of type {type(value).__name__} is not JSON serializable")


def _whole(number) -> int:
    if type(number) is not int:  # JSON's true and 1.0 are no counts
        raise ValueError(f"expected a whole number, not {number!r}")
    return number


def _weekday(name) -> Weekday:
    if name not in WEEKDAYS:
        raise ValueError(f"not a weekday: {name!r}")
    return WEEKDAYS[name]


JSON_READERS = {
    Date: Date.parse, Time: Time.parse, DateTime: DateTime.parse, OffsetDateTime: OffsetDateTime.parse,
    Duration: lambda n: Duration.nanoseconds(_whole(n)),
    UtcOffset: lambda s: UtcOffset.from_seconds(_whole(s)),
    Weekday: _weekday,
}


def json_object_hook(fields: dict[str, type]):
    """For json.loads(..., object_hook=json_object_hook({"start": OffsetDateTime, ...})):
    the named keys of every JSON object read back as those classes."""
    def hook(obj: dict) -> dict:
        for key, cls in fields.items():
            if key in obj:
                obj[key] = JSON_READERS[cls](obj[key])
        return obj
    return hook


# --- pickle and copy ----------------------------------------------------------------

def register_pickling() -> None:
    """Let pickle, copy and deepcopy take kairodex values: call it once, at start-up,
    in every process that pickles or copies them. The pickles name only the
    kairodex classes, so any process with kairodex reads them back."""
    copyreg.pickle(Date, lambda d: (Date, (d.year, d.month, d.day)))
    copyreg.pickle(Time, lambda t: (Time, (t.hour, t.minute, t.second, t.nanosecond)))
    copyreg.pickle(DateTime, lambda t: (DateTime, (t.date, t.time)))
    copyreg.pickle(Duration, lambda d: (Duration.nanoseconds, (d.total_nanos(),)))
    copyreg.pickle(UtcOffset, lambda o: (UtcOffset.from_seconds, (o.as_seconds(),)))
    # From the instant and the offset, so that every value, printable or not, comes back.
    copyreg.pickle(OffsetDateTime, lambda o: (OffsetDateTime.from_utc, (o.utc, o.offset)))
    # The seven weekdays come back as the very same objects.
    copyreg.pickle(Weekday, lambda w: (getattr, (Weekday, str(w).upper())))


# --- time zones and the local clock ------------------------------------------------------

def in_zone(instant: DateTime, zone: str) -> OffsetDateTime:
    """The instant at the UTC offset that the IANA time zone (e.g.
    "Europe/Paris") has at it, over kairodex's whole range of years."""
    from kairodex_tz import TimeZone

    return TimeZone(zone).at(instant)


def today_local(now: DateTime | None = None) -> Date:
    """The date on the local clock (the process's time zone) now, or at the instant `now`."""
    from kairodex_tz import TimeZone

    if now is None:
        now = DateTime.now_utc()
    return TimeZone.local().at(now).to_local().date


# --- durations as hours, minutes and seconds -----------------------------------------------

HMS = re.compile(r"(-?)([0-9]+):([0-5][0-9]):([0-5][0-9])(?:\.([0-9]{1,9}))?")


def format_hms(duration: Duration) -> str:
    """The duration as [-]H:MM:SS.fffffffff, exact; the hours run past 24."""
    nanos = duration.total_nanos()
    seconds, fraction = divmod(abs(nanos), 10**9)
    minutes, seconds = divmod(seconds, 60)
    hours, minutes = divmod(minutes, 60)
    return f"{'-' if nanos < 0 else ''}{hours}:{minutes:02}:{seconds:02}.{fraction:09}"


def parse_hms(text: str) -> Duration:
    """The duration of a text [-]H:MM:SS[.f], with 1 to 9 digits of fraction, as
    format_hms writes it."""
    match = HMS.fullmatch(text)
    if match is None:
        raise ValueError(f"not a duration as H:MM:SS[.fffffffff]: {text!r}")
    sign, hours, minutes, seconds, fraction = match.groups()
    nanos = ((int(hours) * 60 + int(minutes)) * 60 + int(seconds)) * 10**9 + int((fraction or "").ljust(9, "0"))
    return Duration.nanoseconds(-nanos if sign else nanos)


def total(durations: Iterable[Duration]) -> Duration:
    """The sum of the durations; sum() needs the zero duration as its start."""
    return sum(durations, ZERO)


# --- events by day ------------------------------------------------------------------

def by_utc_day(stamps: Iterable[OffsetDateTime]) -> dict[Date, list[OffsetDateTime]]:
    """The stamps in the order of their instants, grouped by their UTC date."""
    ordered = sorted(stamps)  # by instant; stamps of one instant keep their order
    return {day: list(group) for day, group in groupby(ordered, key=lambda stamp: stamp.utc.date)}


if __name__ == "__main__":
    import json
    import pickle

    stamps = [OffsetDateTime.parse(text) for text in (
        "2024-06-01T23:30:00-02:00", "2024-06-01T09:30:00+02:00", "2024-06-02T00:15:00.000000001+01:00")]
    for day, events in by_utc_day(stamps).items():
        print(day, [str(stamp) for stamp in events])
    print(repr(to_std(stamps[1])), from_std(to_std(stamps[1])) == stamps[1])
    print(format_hms(stamps[2].difference(stamps[1])), format_hms(total(s.difference(stamps[1]) for s in stamps)))
    text = json.dumps({"at": stamps[2], "took": Duration.microseconds(1500)}, default=json_default)
    print(text, json.loads(text, object_hook=json_object_hook({"at": OffsetDateTime, "took": Duration})))
    register_pickling()
    print(pickle.loads(pickle.dumps(stamps)) == stamps)
    print("today, on this machine's clock:", today_local())
