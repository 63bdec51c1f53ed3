"""The operations that the leak and allocation-failure suites run: every
entry point of the module and every error path, each with the exception it
raises (None where it returns), and the values they work on."""
import importlib
import sys

from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset, Weekday

try:
    import numpy as np
except ImportError:  # not installed everywhere (the emulated roots): its operations drop out
    np = None

D = Date(2024, 2, 29)
T = Time(12, 30, 45, 500)
DUR = Duration.seconds(90)
BIG = Duration.nanoseconds(2**100)
MAX = Duration.nanoseconds(2**127 - 1)
MIN = Duration.nanoseconds(-2**127)
DT = DateTime(D, T)
LAST = DateTime.parse("2147483647-12-31T23:59:59.999999999Z")
OFF = UtcOffset.from_seconds(3600)
ODT = OffsetDateTime.parse("2024-06-01T09:30:00+02:00")
UNSHOWABLE = OffsetDateTime.from_utc(LAST, OFF)  # its local reading is past the last year


class Index:
    def __init__(self, result):
        self.result = result

    def __index__(self):
        if isinstance(self.result, type):
            raise self.result()  # a new one each time: notes and tracebacks pile up on one
        return self.result


class NoNotes(Exception):
    def add_note(self, note):
        raise RuntimeError("no notes")


def reimport():
    """A new module object from the same type objects; the original is put back."""
    original = sys.modules.pop("kairodex")
    try:
        importlib.import_module("kairodex")
    finally:
        sys.modules["kairodex"] = original


# (label, operation, the exception it raises or None)
OPERATIONS = [
    ("import", reimport, None),
    # Date and Weekday
    ("Date", lambda: Date(2024, 2, 29), None),
    ("Date-keywords", lambda: Date(day=1, month=2, year=3), None),
    ("Date.from_days", lambda: Date.from_days_since_unix_epoch(-719162), None),
    ("Date.parse", lambda: Date.parse("+02024-3-7"), None),
    ("Date.methods", lambda: (D.days_since_unix_epoch(), D.weekday(), D.ordinal(), D.add_days(days=-1)), None),
    ("Date.getters", lambda: (D.year, D.month, D.day), None),
    ("Date.protocols", lambda: (str(D), repr(D), hash(D), D == D, D < D, D >= D), None),
    ("Weekday", lambda: (Weekday.SUNDAY.number_from_monday(), str(Weekday.MONDAY), repr(Weekday.FRIDAY)), None),
    # Time
    ("Time", lambda: Time(1, 2, 3, nanosecond=4), None),
    ("Time.parse", lambda: Time.parse("1:2:3.000000004"), None),
    ("Time.methods", lambda: (T.seconds_since_midnight(), T.nanos_since_midnight(), T.hour, T.nanosecond), None),
    ("Time.protocols", lambda: (str(T), repr(T), hash(T), T == T, T <= T), None),
    # Duration
    ("Duration", lambda: (Duration.seconds(1), Duration.milliseconds(2), Duration.microseconds(3),
                          Duration.nanoseconds(-2**120)), None),
    ("Duration.methods", lambda: (BIG.total_seconds(), BIG.total_nanos(), MIN.total_nanos()), None),
    ("Duration.operators", lambda: (DUR + BIG, DUR - BIG, -BIG), None),
    ("Duration.protocols", lambda: (str(MIN), repr(MIN), hash(BIG), DUR == BIG, DUR > BIG), None),
    # DateTime
    ("DateTime", lambda: DateTime(D, T), None),
    ("DateTime.from_unix_timestamp", lambda: DateTime.from_unix_timestamp(-1, nanos=-1), None),
    ("DateTime.parse", lambda: DateTime.parse("2024-01-01 12:00:00.5z"), None),
    ("DateTime.now_utc", lambda: DateTime.now_utc(), None),
    ("DateTime.methods", lambda: (LAST.unix_timestamp(), LAST.unix_timestamp_nanos(), DT.add_duration(DUR),
                                  LAST.difference(DT), DT.date, DT.time), None),
    ("DateTime.protocols", lambda: (str(LAST), repr(LAST), hash(DT), DT == LAST, DT < LAST), None),
    # UtcOffset
    ("UtcOffset", lambda: (UtcOffset.from_seconds(-86400), UtcOffset.from_hours_minutes(False, 5, 30)), None),
    ("UtcOffset.methods", lambda: (OFF.as_seconds(), OFF.is_utc()), None),
    ("UtcOffset.protocols", lambda: (str(OFF), repr(OFF), hash(OFF), OFF == OFF, OFF < OFF), None),
    # OffsetDateTime
    ("OffsetDateTime", lambda: (OffsetDateTime.from_utc(DT, OFF), OffsetDateTime.from_local(D, T, OFF)), None),
    ("OffsetDateTime.parse", lambda: OffsetDateTime.parse("\u3000 2024-06-01 09:30:00.25-05:30\n"), None),
    ("OffsetDateTime.methods", lambda: (ODT.to_local(), ODT.unix_timestamp(), ODT.unix_timestamp_nanos(),
                                        ODT.add_duration(DUR), ODT.difference(UNSHOWABLE), ODT.utc,
                                        ODT.offset), None),
    ("OffsetDateTime.protocols", lambda: (str(ODT), repr(ODT), hash(UNSHOWABLE), ODT == UNSHOWABLE,
                                          ODT < UNSHOWABLE), None),

    # Binding errors, in the vectorcall and in the tuple/dictionary form
    ("missing", lambda: Date(2024), TypeError),
    ("missing-vectorcall", lambda: UtcOffset.from_hours_minutes(True), TypeError),
    ("too-many", lambda: Time(1, 2, 3, 4, 5), TypeError),
    ("too-many-vectorcall", lambda: Date.parse("a", "b"), TypeError),
    ("unexpected-keyword", lambda: Date(2024, 1, 1, era=1), TypeError),
    ("unexpected-keyword-vectorcall", lambda: D.add_days(n=1), TypeError),
    ("surrogate-keyword", lambda: Date.parse(**{"\ud800": 1}), TypeError),
    ("multiple-values", lambda: Date(2024, 1, 1, year=1), TypeError),
    ("multiple-values-vectorcall", lambda: DateTime.from_unix_timestamp(1, secs=1), TypeError),
    ("no-arguments-taken", lambda: D.ordinal(1), TypeError),
    ("not-instantiable", lambda: Duration(), TypeError),
    ("read-only", lambda: setattr(D, "year", 1), AttributeError),
    # Conversion errors, one per kind and cause
    ("int-wrong-type", lambda: Date(2024, 1, None), TypeError),
    ("int-bad-index", lambda: D.add_days(Index("1")), TypeError),
    ("int-raising-index", lambda: D.add_days(Index(ZeroDivisionError)), ZeroDivisionError),
    ("note-refused", lambda: D.add_days(Index(NoNotes)), NoNotes),
    ("u8-range", lambda: Date(2024, 256, 1), OverflowError),
    ("u8-c-long", lambda: Time(2**40, 0, 0), OverflowError),
    ("i32-range", lambda: UtcOffset.from_seconds(2**31), OverflowError),
    ("i32-beyond-64-bits", lambda: Date(Index(2**100), 1, 1), OverflowError),
    ("u32-range", lambda: Time(0, 0, 0, 2**32), OverflowError),
    ("u32-negative", lambda: Time(0, 0, 0, -1), OverflowError),
    ("u32-index", lambda: Time(0, 0, 0, Index(2**70)), OverflowError),
    ("i64-range", lambda: Duration.seconds(2**63), OverflowError),
    ("i128-range", lambda: Duration.nanoseconds(2**127), OverflowError),
    ("i128-index", lambda: Duration.nanoseconds(Index(-2**200)), OverflowError),
    ("bool-wrong-type", lambda: UtcOffset.from_hours_minutes(1, 1, 0), TypeError),
    ("str-wrong-type", lambda: Time.parse(b"12:00:00"), TypeError),
    ("str-surrogate", lambda: OffsetDateTime.parse("2024-06-01T09:30:00\udc00"), UnicodeEncodeError),
    ("instance-none", lambda: DateTime(D, None), TypeError),
    ("instance-wrong-class", lambda: DT.add_duration(OFF), TypeError),
    # Every ValueError of the module
    ("invalid-date", lambda: Date(2023, 2, 29), ValueError),
    ("invalid-date-string", lambda: Date.parse("2024-02-30"), ValueError),
    ("date-from-days", lambda: Date.from_days_since_unix_epoch(2**62), ValueError),
    ("date-out-of-range", lambda: D.add_days(2**63 - 1), ValueError),
    ("invalid-time", lambda: Time(24, 0, 0), ValueError),
    ("invalid-time-string", lambda: Time.parse("12:60:00"), ValueError),
    ("invalid-timestamp", lambda: DateTime.from_unix_timestamp(2**63 - 1, 10**9), ValueError),
    ("datetime-out-of-range", lambda: LAST.add_duration(MAX), ValueError),
    ("invalid-datetime-string", lambda: DateTime.parse("2024-01-01T12:00:00+00:00"), ValueError),
    ("invalid-offset", lambda: UtcOffset.from_seconds(86401), ValueError),
    ("invalid-offset-fields", lambda: UtcOffset.from_hours_minutes(True, 24, 0), ValueError),
    ("invalid-local", lambda: OffsetDateTime.from_local(Date(-2**31, 1, 1), T, UtcOffset.from_seconds(86400)),
     ValueError),
    ("local-out-of-range", lambda: UNSHOWABLE.to_local(), ValueError),
    ("offset-datetime-out-of-range", lambda: ODT.add_duration(MIN), ValueError),
    ("invalid-offset-datetime-string", lambda: OffsetDateTime.parse("2024-06-01T09:30:00+24:00"), ValueError),
    ("unshowable-str", lambda: str(UNSHOWABLE), ValueError),
    ("unshowable-repr", lambda: repr(UNSHOWABLE), ValueError),
    ("duration-overflow", lambda: MAX + DUR, OverflowError),
    ("duration-underflow", lambda: MIN - DUR, OverflowError),
    ("duration-negation", lambda: -MIN, OverflowError),
    # NotImplemented from every comparison and operator slot
    ("not-implemented-eq", lambda: (D == "x", T != 1, DT == D, DUR == 0, OFF == None, ODT != DT), None),
    ("not-implemented-order", lambda: D < 5, TypeError),
    ("not-implemented-order-offset", lambda: ODT >= DT, TypeError),
    ("not-implemented-add", lambda: DUR + 1, TypeError),
    ("not-implemented-radd", lambda: 1 + DUR, TypeError),
    ("unsupported-weekday-order", lambda: Weekday.MONDAY < Weekday.TUESDAY, TypeError),
]

if np is not None:
    OPERATIONS += [
        ("UtcOffset-numpy-bool", lambda: UtcOffset.from_hours_minutes(np.bool_(True), 1, 0), None),
        ("bool-numpy-int", lambda: UtcOffset.from_hours_minutes(np.int64(1), 1, 0), TypeError),
        ("not-implemented-sub-numpy", lambda: DUR - np.int64(1), TypeError),
    ]

TRACKED = [Weekday, Date, Time, Duration, DateTime, UtcOffset, OffsetDateTime] + [
    getattr(Weekday, day) for day in ("MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY", "SUNDAY")
]
