"""The module's Python surface, one row per member, and the calls the leak,
reference and allocation-failure suites run.

MEMBERS has a row for every member of every class, in the order the class
lists them (dunders aside): its class, its name, its kind (constructor, class
method, method, getter, class attribute or operator), its parameters (name,
what the argument converts to, a value that works, the default), the value it
is called on, the class of what it returns, and its docstring. The surface,
hostile-argument, leak, reference and allocation-failure tests all read these
rows, and the surface tests check that the classes have no member without
one: a new member needs one new row, and every suite picks it up.

OPERATIONS is what the leak, reference and allocation-failure suites run: a
call of every member but the class attributes (and, of each that takes
arguments, a call by keyword), the calls that take other paths (VALUE_PATHS)
and every error path (ERROR_PATHS), each with the exception it raises (None
where it returns)."""
import importlib
import inspect
import operator
import sys
from dataclasses import dataclass, replace

from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset, Weekday

try:
    import numpy as np
except ImportError:  # not installed everywhere (the emulated roots): its operations drop out
    np = None

CLASSES = [Weekday, Date, Time, Duration, DateTime, UtcOffset, OffsetDateTime]  # in registration order
DAYS = ["MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY", "SUNDAY"]

# The values the rows are called on.
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
SAMPLES = {Weekday: Weekday.MONDAY, Date: D, Time: T, Duration: DUR, DateTime: DT, UtcOffset: OFF,
           OffsetDateTime: ODT}

# Kinds of member
CONSTRUCTOR = "constructor"  # Date(...): the class's __new__
CLASS_METHOD = "class method"  # Date.parse(...), also through an instance
METHOD = "method"  # D.add_days(...)
GETTER = "getter"  # D.year, read-only
CONSTANT = "class attribute"  # Weekday.MONDAY, an instance of its class
OPERATOR = "operator"  # a protocol slot's dunder: __eq__ is ==, __hash__ is hash(), __str__ is str() ...
CALLABLE = (CONSTRUCTOR, CLASS_METHOD, METHOD)  # the kinds that bind arguments

REQUIRED = inspect.Parameter.empty  # the default of a parameter without one


@dataclass(frozen=True)
class Param:
    name: str
    accepts: str  # an integer of a width ("u8", "i32", "u32", "i64", "i128"), "bool", "str" or a class name
    valid: object  # an argument that works
    default: object = REQUIRED


@dataclass(frozen=True)
class Member:
    cls: type
    name: str
    kind: str
    returns: type  # the class of the result
    params: tuple = ()
    on: object = None  # the value a method, getter or operator is called on
    doc: str = None  # a method's docstring after its signature; a constructor's is the class's
    through_new: bool = False  # a constructor called as type.__call__(cls, ...) calls it: through tp_new

    @property
    def label(self):
        return f"{self.cls.__name__}.{self.name}" + ("-through-new" if self.through_new else "")

    @property
    def target(self):
        """The callable: the class, the class method, or the attribute of the
        value (a bound method; an operator's method-wrapper)."""
        if self.kind == CONSTRUCTOR:
            return self.cls
        if self.kind in (CLASS_METHOD, CONSTANT):
            return getattr(self.cls, self.name)
        return getattr(self.on, self.name)

    def call(self, *args, **kwargs):
        """The member used as a program uses it: Date(...), D.year, D < other ..."""
        if self.kind == OPERATOR:
            return OPERATORS[self.name](self.on, *args)
        if self.through_new:  # an argument tuple and a keyword dictionary, not the vectorcall
            return type.__call__(self.cls, *args, **kwargs)
        if self.kind in (GETTER, CONSTANT):
            return self.target
        return self.target(*args, **kwargs)

    def valid_call(self):
        return self.call(*[p.valid for p in self.params])

    def keyword_call(self):
        """Every argument by keyword, in the reverse order."""
        return self.call(**{p.name: p.valid for p in reversed(self.params)})


OPERATORS = {
    "__eq__": operator.eq, "__ne__": operator.ne, "__lt__": operator.lt, "__le__": operator.le,
    "__gt__": operator.gt, "__ge__": operator.ge, "__hash__": hash, "__str__": str, "__repr__": repr,
    "__neg__": operator.neg, "__add__": operator.add, "__sub__": operator.sub,
    "__radd__": lambda value, other: other + value, "__rsub__": lambda value, other: other - value,
}


def value_protocols(cls, value, other):
    """What every value class but Weekday has: comparison of `value` with
    `other` by all six operators, hash, str and repr of `value`."""
    compared = (Param("other", cls.__name__, other),)
    return [Member(cls, name, OPERATOR, bool, params=compared, on=value)
            for name in ("__eq__", "__ne__", "__lt__", "__le__", "__gt__", "__ge__")] + [
        Member(cls, "__hash__", OPERATOR, int, on=value),
        Member(cls, "__str__", OPERATOR, str, on=value),
        Member(cls, "__repr__", OPERATOR, str, on=value),
    ]


MEMBERS = [
    # Weekday: seven instances and no constructor
    Member(Weekday, "number_from_monday", METHOD, int, on=Weekday.SUNDAY,
           doc="Get the weekday number from Monday (1-7)."),
    *[Member(Weekday, day, CONSTANT, Weekday) for day in DAYS],
    Member(Weekday, "__str__", OPERATOR, str, on=Weekday.MONDAY),
    Member(Weekday, "__repr__", OPERATOR, str, on=Weekday.FRIDAY),

    # Date
    Member(Date, "__new__", CONSTRUCTOR, Date, doc="",
           params=(Param("year", "i32", 2024), Param("month", "u8", 2), Param("day", "u8", 29))),
    Member(Date, "from_days_since_unix_epoch", CLASS_METHOD, Date, params=(Param("days", "i64", 0),),
           doc="Create a Date from days since Unix epoch (1970-01-01).\n\n"
               "Args:\n    days: Days since Unix epoch.\n\n"
               "Returns:\n    Date: A new Date instance.\n\n"
               "Raises:\n    ValueError: If the date is out of range."),
    Member(Date, "parse", CLASS_METHOD, Date, params=(Param("s", "str", "+02024-3-7"),),
           doc="Parse a date from ISO format (YYYY-MM-DD).\n\n"
               "Args:\n    s: The string to parse.\n\n"
               "Returns:\n    Date: A new Date instance.\n\n"
               "Raises:\n    ValueError: If the string is not a valid date."),
    Member(Date, "days_since_unix_epoch", METHOD, int, on=D,
           doc="Convert to days since Unix epoch (1970-01-01)."),
    Member(Date, "weekday", METHOD, Weekday, on=D, doc="Get the weekday."),
    Member(Date, "ordinal", METHOD, int, on=D, doc="Get the day of the year (1-366)."),
    Member(Date, "add_days", METHOD, Date, params=(Param("days", "i64", 1),), on=D,
           doc="Add days to the date.\n\n"
               "Args:\n    days: Number of days to add (can be negative).\n\n"
               "Returns:\n    Date: A new Date instance.\n\n"
               "Raises:\n    ValueError: If the resulting date is out of range."),
    Member(Date, "year", GETTER, int, on=D),
    Member(Date, "month", GETTER, int, on=D),
    Member(Date, "day", GETTER, int, on=D),
    *value_protocols(Date, D, D),

    # Time
    Member(Time, "__new__", CONSTRUCTOR, Time, doc="",
           params=(Param("hour", "u8", 1), Param("minute", "u8", 2), Param("second", "u8", 3),
                   Param("nanosecond", "u32", 4, default=0))),
    Member(Time, "seconds_since_midnight", METHOD, int, on=T,
           doc="Get total seconds since midnight (ignoring nanoseconds)."),
    Member(Time, "nanos_since_midnight", METHOD, int, on=T, doc="Get total nanoseconds since midnight."),
    Member(Time, "parse", CLASS_METHOD, Time, params=(Param("s", "str", "1:2:3.000000004"),),
           doc="Parse a time from ISO format (HH:MM:SS[.fffffffff]).\n\n"
               "Args:\n    s: The string to parse.\n\n"
               "Returns:\n    Time: A new Time instance.\n\n"
               "Raises:\n    ValueError: If the string is not a valid time."),
    Member(Time, "hour", GETTER, int, on=T),
    Member(Time, "minute", GETTER, int, on=T),
    Member(Time, "second", GETTER, int, on=T),
    Member(Time, "nanosecond", GETTER, int, on=T),
    *value_protocols(Time, T, T),

    # Duration: no constructor; the class methods make one from a count of a unit
    Member(Duration, "seconds", CLASS_METHOD, Duration, params=(Param("secs", "i64", 1),),
           doc="Create a duration from seconds."),
    Member(Duration, "milliseconds", CLASS_METHOD, Duration, params=(Param("ms", "i64", 1),),
           doc="Create a duration from milliseconds."),
    Member(Duration, "microseconds", CLASS_METHOD, Duration, params=(Param("us", "i64", 1),),
           doc="Create a duration from microseconds."),
    Member(Duration, "nanoseconds", CLASS_METHOD, Duration, params=(Param("ns", "i128", 1),),
           doc="Create a duration from nanoseconds."),
    Member(Duration, "total_seconds", METHOD, float, on=BIG, doc="Get total seconds as a float."),
    Member(Duration, "total_nanos", METHOD, int, on=BIG, doc="Get total nanoseconds as an integer."),
    *value_protocols(Duration, MIN, BIG),
    Member(Duration, "__neg__", OPERATOR, Duration, on=BIG),
    Member(Duration, "__add__", OPERATOR, Duration, params=(Param("other", "Duration", BIG),), on=DUR),
    Member(Duration, "__radd__", OPERATOR, Duration, params=(Param("other", "Duration", BIG),), on=DUR),
    Member(Duration, "__sub__", OPERATOR, Duration, params=(Param("other", "Duration", BIG),), on=DUR),
    Member(Duration, "__rsub__", OPERATOR, Duration, params=(Param("other", "Duration", BIG),), on=DUR),

    # DateTime: an instant in UTC
    Member(DateTime, "__new__", CONSTRUCTOR, DateTime, doc="",
           params=(Param("date", "Date", D), Param("time", "Time", T))),
    Member(DateTime, "from_unix_timestamp", CLASS_METHOD, DateTime,
           params=(Param("secs", "i64", 1), Param("nanos", "i32", 2, default=0)),
           doc="Create a DateTime from Unix timestamp (seconds and nanoseconds).\n\n"
               "Args:\n    secs: Seconds since Unix epoch.\n    nanos: Additional nanoseconds (default=0).\n\n"
               "Returns:\n    DateTime: A new DateTime instance.\n\n"
               "Raises:\n    ValueError: If the timestamp is invalid."),
    Member(DateTime, "unix_timestamp", METHOD, int, on=LAST, doc="Get Unix timestamp (seconds since Unix epoch)."),
    Member(DateTime, "unix_timestamp_nanos", METHOD, int, on=LAST, doc="Get Unix timestamp in nanoseconds."),
    Member(DateTime, "add_duration", METHOD, DateTime, params=(Param("dur", "Duration", DUR),), on=DT,
           doc="Add a duration to this DateTime.\n\n"
               "Args:\n    dur: A Duration instance.\n\n"
               "Returns:\n    DateTime: A new DateTime instance.\n\n"
               "Raises:\n    ValueError: If the resulting datetime is out of range."),
    Member(DateTime, "difference", METHOD, Duration, params=(Param("other", "DateTime", DT),), on=LAST,
           doc="Calculate the difference between two DateTimes.\n\n"
               "Args:\n    other: Another DateTime instance.\n\n"
               "Returns:\n    Duration: The duration between the two datetimes (self - other)."),
    Member(DateTime, "now_utc", CLASS_METHOD, DateTime,
           doc="Get the current UTC DateTime (requires std feature)."),
    Member(DateTime, "parse", CLASS_METHOD, DateTime, params=(Param("s", "str", "2024-01-01 12:00:00.5z"),),
           doc="Parse a DateTime from ISO 8601 / RFC 3339 UTC format.\n\n"
               'Args:\n    s: The string to parse (e.g., "2024-01-01T12:00:00Z").\n\n'
               "Returns:\n    DateTime: A new DateTime instance.\n\n"
               "Raises:\n    ValueError: If the string is not a valid datetime."),
    Member(DateTime, "date", GETTER, Date, on=DT),
    Member(DateTime, "time", GETTER, Time, on=DT),
    *value_protocols(DateTime, LAST, DT),

    # UtcOffset: no constructor
    Member(UtcOffset, "from_seconds", CLASS_METHOD, UtcOffset, params=(Param("seconds", "i32", 60),),
           doc="Create a UtcOffset from total seconds.\n\n"
               "Args:\n    seconds: Total seconds offset from UTC (roughly -86400 to +86400).\n\n"
               "Returns:\n    UtcOffset: A new UtcOffset instance.\n\n"
               "Raises:\n    ValueError: If the offset is out of range."),
    Member(UtcOffset, "from_hours_minutes", CLASS_METHOD, UtcOffset,
           params=(Param("sign_positive", "bool", True), Param("hours", "u8", 1), Param("minutes", "u8", 2)),
           doc="Create a UtcOffset from hours and minutes.\n\n"
               "Args:\n    sign_positive: True for positive offset, False for negative.\n"
               "    hours: Hours component (0-23).\n    minutes: Minutes component (0-59).\n\n"
               "Returns:\n    UtcOffset: A new UtcOffset instance.\n\n"
               "Raises:\n    ValueError: If the offset is out of range."),
    Member(UtcOffset, "as_seconds", METHOD, int, on=OFF, doc="Get the offset as seconds."),
    Member(UtcOffset, "is_utc", METHOD, bool, on=OFF, doc="Check if this is UTC (offset = 0)."),
    *value_protocols(UtcOffset, OFF, OFF),

    # OffsetDateTime: no constructor; an instant and the offset it is read with
    Member(OffsetDateTime, "from_utc", CLASS_METHOD, OffsetDateTime,
           params=(Param("utc", "DateTime", DT), Param("offset", "UtcOffset", OFF)),
           doc="Create an OffsetDateTime from a UTC DateTime and offset.\n\n"
               "Args:\n    utc: A DateTime instance (in UTC).\n    offset: A UtcOffset instance.\n\n"
               "Returns:\n    OffsetDateTime: A new OffsetDateTime instance."),
    Member(OffsetDateTime, "from_local", CLASS_METHOD, OffsetDateTime,
           params=(Param("date", "Date", D), Param("time", "Time", T), Param("offset", "UtcOffset", OFF)),
           doc="Create an OffsetDateTime from local date, time, and offset.\n\n"
               "Args:\n    date: A Date instance (in local time).\n    time: A Time instance (in local time).\n"
               "    offset: A UtcOffset instance.\n\n"
               "Returns:\n    OffsetDateTime: A new OffsetDateTime instance.\n\n"
               "Raises:\n    ValueError: If the conversion fails."),
    Member(OffsetDateTime, "to_local", METHOD, DateTime, on=ODT,
           doc="Convert to local DateTime.\n\n"
               "Returns:\n    DateTime: The local DateTime.\n\n"
               "Raises:\n    ValueError: If the conversion fails."),
    Member(OffsetDateTime, "unix_timestamp", METHOD, int, on=ODT,
           doc="Get Unix timestamp (seconds since Unix epoch)."),
    Member(OffsetDateTime, "unix_timestamp_nanos", METHOD, int, on=ODT, doc="Get Unix timestamp in nanoseconds."),
    Member(OffsetDateTime, "add_duration", METHOD, OffsetDateTime, on=ODT,
           params=(Param("dur", "Duration", DUR),),
           doc="Add a duration.\n\n"
               "Args:\n    dur: A Duration instance.\n\n"
               "Returns:\n    OffsetDateTime: A new OffsetDateTime instance.\n\n"
               "Raises:\n    ValueError: If the resulting datetime is out of range."),
    Member(OffsetDateTime, "difference", METHOD, Duration, on=ODT,
           params=(Param("other", "OffsetDateTime", UNSHOWABLE),),
           doc="Calculate the difference between two OffsetDateTimes.\n\n"
               "Args:\n    other: Another OffsetDateTime instance.\n\n"
               "Returns:\n    Duration: The duration between the two datetimes (self - other)."),
    Member(OffsetDateTime, "parse", CLASS_METHOD, OffsetDateTime,
           params=(Param("s", "str", "\u3000 2024-06-01 09:30:00.25-05:30\n"),),
           doc="Parse an OffsetDateTime from RFC 3339 format.\n\n"
               "Args:\n    s: The string to parse.\n\n"
               "Returns:\n    OffsetDateTime: A new OffsetDateTime instance.\n\n"
               "Raises:\n    ValueError: If the string is not valid."),
    Member(OffsetDateTime, "utc", GETTER, DateTime, on=ODT),
    Member(OffsetDateTime, "offset", GETTER, UtcOffset, on=ODT),
    *value_protocols(OffsetDateTime, ODT, UNSHOWABLE),
]


def members(*kinds, cls=None):
    """The rows of these kinds (all kinds if none is named), of one class or all."""
    return [m for m in MEMBERS if (not kinds or m.kind in kinds) and cls in (None, m.cls)]


# The constructors once more, called the way type.__call__ and Date.__new__
# call them: Date(...) takes the vectorcall, these the other entry.
THROUGH_NEW = [replace(m, through_new=True) for m in members(CONSTRUCTOR)]


def labels(rows):
    return [m.label for m in rows]


# --- arguments that are not what they seem ---------------------------------

class Index:
    """Not an int, but usable as one: __index__ returns `result`, or raises it
    if it is an exception (an exception class raises a new instance each time,
    so that notes and tracebacks do not pile up on one)."""

    def __init__(self, result):
        self.result = result

    def __index__(self):
        if isinstance(self.result, BaseException) or (
                isinstance(self.result, type) and issubclass(self.result, BaseException)):
            raise self.result
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


# --- what the leak, reference and allocation-failure suites run -------------

# Every member's plain call, and each callable's arguments by keyword. Reading
# a class attribute runs nothing of the module's: the weekdays are in TRACKED.
MEMBER_CALLS = [(m.label, m.valid_call) for m in MEMBERS + THROUGH_NEW if m.kind != CONSTANT] + [
    (f"{m.label}-keywords", m.keyword_call) for m in members(*CALLABLE) + THROUGH_NEW if m.params]

# (label, call) Calls that take other paths than the rows' plain calls.
VALUE_PATHS = [
    ("import", reimport),
    ("Date-negative-counts", lambda: (Date.from_days_since_unix_epoch(-719162), D.add_days(days=-1))),
    ("Time-mixed-keywords", lambda: Time(1, 2, 3, nanosecond=4)),
    ("Duration-past-64-bits", lambda: (Duration.nanoseconds(-2**120), MIN.total_nanos())),
    ("DateTime-negative-timestamp", lambda: DateTime.from_unix_timestamp(-1, nanos=-1)),
    ("UtcOffset-negative", lambda: (UtcOffset.from_seconds(-86400), UtcOffset.from_hours_minutes(False, 5, 30))),
    ("OffsetDateTime-unshowable-hash", lambda: hash(UNSHOWABLE)),
]

# (label, call, the exception it raises or None)
ERROR_PATHS = [
    # Binding errors: through tp_new (an argument tuple and a keyword dictionary),
    # a constructor's vectorcall and a method's
    ("missing-through-new", lambda: type.__call__(Time, 1, second=1), TypeError),
    ("non-str-keyword-through-new", lambda: type.__call__(Date, 1, 1, **{1: 1}), TypeError),
    ("unexpected-keyword-through-new", lambda: Date.__new__(Date, 1, 1, 1, era=1), TypeError),
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
    ("int-raising-index-through-new", lambda: type.__call__(Date, 1, Index(ZeroDivisionError), day=1),
     ZeroDivisionError),
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
    VALUE_PATHS += [
        ("UtcOffset-numpy-bool", lambda: UtcOffset.from_hours_minutes(np.bool_(True), 1, 0)),
    ]
    ERROR_PATHS += [
        ("bool-numpy-int", lambda: UtcOffset.from_hours_minutes(np.int64(1), 1, 0), TypeError),
        ("not-implemented-sub-numpy", lambda: DUR - np.int64(1), TypeError),
    ]

# (label, call, the exception it raises or None)
OPERATIONS = [(label, call, None) for label, call in MEMBER_CALLS + VALUE_PATHS] + ERROR_PATHS

# The objects whose reference counts must not move: the classes and the weekdays.
TRACKED = CLASSES + [m.valid_call() for m in members(CONSTANT)]

# --- kairodex_tz ---------------------------------------------------------------
# Its operations and error paths run in the same suites: made from bytes of the
# tests' own (no time zone database needed), and by key where the system has one.
try:
    import kairodex_tz
except ImportError:  # a build without the companion modules
    kairodex_tz = None

if kairodex_tz is not None:
    from tzif_data import PARIS

    ZONE = kairodex_tz.TimeZone.from_tzif(PARIS, key="Test/Paris")
    TRANSITION = ZONE.next_transition(DT)
    GAP, FOLD = Date(2024, 3, 31), Date(2024, 10, 27)
    HALF_PAST_TWO = Time(2, 30, 0)
    ZONE_PATHS = [
        ("TimeZone.from_tzif", lambda: kairodex_tz.TimeZone.from_tzif(PARIS)),
        ("TimeZone.from_tzif-keywords", lambda: kairodex_tz.TimeZone.from_tzif(key="Test/Paris", data=PARIS)),
        ("TimeZone.offset_at", lambda: ZONE.offset_at(DT)),
        ("TimeZone.offset_at-rule", lambda: ZONE.offset_at(LAST)),
        ("TimeZone.abbreviation_at", lambda: ZONE.abbreviation_at(instant=DT)),
        ("TimeZone.is_dst_at", lambda: ZONE.is_dst_at(DT)),
        ("TimeZone.at", lambda: ZONE.at(DT)),
        ("TimeZone.resolve", lambda: ZONE.resolve(D, T)),
        ("TimeZone.resolve-gap-later", lambda: ZONE.resolve(GAP, HALF_PAST_TWO, disambiguate="later")),
        ("TimeZone.resolve-fold-earlier", lambda: ZONE.resolve(FOLD, HALF_PAST_TWO, "earlier")),
        ("TimeZone.next_transition", lambda: ZONE.next_transition(DT)),
        ("TimeZone.previous_transition", lambda: ZONE.previous_transition(LAST)),
        ("TimeZone.transitions", lambda: list(ZONE.transitions(DT, DateTime.parse("2030-01-01T00:00:00Z")))),
        ("TimeZone.key", lambda: ZONE.key),
        ("TimeZone-protocols", lambda: (str(ZONE), repr(ZONE), hash(ZONE), ZONE == ZONE, ZONE != 1)),
        ("Transition-members", lambda: (TRANSITION.instant, TRANSITION.offset_before, TRANSITION.offset_after,
                                        str(TRANSITION), repr(TRANSITION), hash(TRANSITION), TRANSITION < TRANSITION)),
        ("TimeZone.local", lambda: kairodex_tz.TimeZone.local()),
    ]
    ZONE_ERRORS = [
        ("zone-key-invalid", lambda: kairodex_tz.TimeZone("../x"), ValueError),
        ("zone-key-not-str", lambda: kairodex_tz.TimeZone(1), TypeError),
        ("zone-data-invalid", lambda: kairodex_tz.TimeZone.from_tzif(PARIS[:-1]), ValueError),
        ("zone-data-not-bytes", lambda: kairodex_tz.TimeZone.from_tzif("TZif"), TypeError),
        ("zone-skipped", lambda: ZONE.resolve(GAP, HALF_PAST_TWO, "raise"), kairodex_tz.SkippedTimeError),
        ("zone-ambiguous", lambda: ZONE.resolve(FOLD, HALF_PAST_TWO, "raise"), kairodex_tz.AmbiguousTimeError),
        ("zone-choice", lambda: ZONE.resolve(D, T, "first"), ValueError),
        ("zone-reading-out-of-range", lambda: ZONE.resolve(Date(-2**31, 1, 1), Time(0, 0, 0)), ValueError),
        ("zone-wrong-instant", lambda: ZONE.at(D), TypeError),
        ("zone-not-instantiable", lambda: type(ZONE.transitions(DT, DT))(), TypeError),
    ]
    if kairodex_tz.TimeZone.available():
        ZONE_PATHS += [("TimeZone-key", lambda: kairodex_tz.TimeZone("Europe/Paris"))]
        ZONE_ERRORS += [("zone-not-found", lambda: kairodex_tz.TimeZone("Nowhere/Zone"), kairodex_tz.ZoneNotFoundError)]
    OPERATIONS += [(label, call, None) for label, call in ZONE_PATHS] + ZONE_ERRORS
    TRACKED += [kairodex_tz.TimeZone, kairodex_tz.Transition, ZONE]

# --- kairodex_columns ---
# Its functions on small columns, every kind of input and output and each
# error path; without numpy (which every call but the Arrow ones needs) they
# drop out. The labels say numpy: the reference-leak rounds then leave out the
# references that numpy's own extension takes.
try:
    import kairodex_columns as columns
except ImportError:
    columns = None


def _rows(result):
    """A result as values that compare equal when they are: the allocation
    failure suite compares each outcome with the first. No comprehensions here
    or in the calls below: where growing its list fails, CPython 3.15's own
    loop drops the new item with its frame's stack unsaved, which its debug
    build refuses (an assertion in _Py_Dealloc); map() has no such fault."""
    if isinstance(result, tuple):
        return tuple(map(_rows, result))
    if np is not None and isinstance(result, np.ndarray):
        return result.dtype.str, result.tolist()
    return repr(result) if type(result).__name__ == "ArrowColumn" else result


if columns is not None and np is not None:
    _STAMPS = ["2024-06-01T09:30:00.25+02:00", None, "2024-06-01T07:30:00Z"]
    _INSTANTS = np.array(["2024-06-01T07:30:00.25", "NaT"], dtype="M8[ns]")
    _ARROW_DAYS = columns.parse_dates(["2024-06-01", None], to_arrow=True)
    # Arrays made here, once: numpy's own reading of a dtype's name loses
    # references to its dtypes where an allocation fails.
    _TIMES = np.array([1, -1], dtype="m8[s]")
    _TIMES[1] = np.timedelta64("NaT")
    _FAR, _BEFORE_MIDNIGHT = np.array([2**62], dtype="M8[s]"), np.array([-1], dtype="m8[s]")
    _OFFSETS, _TOO_FAR, _ONE, _FLOATS = np.array([3600, 0]), np.array([86401, 0]), np.array([0]), np.zeros(2)
    _DAY_TEXTS = np.array(["2024-06-01", "\u3000"])
    _TIME_TEXTS = ("12:00:00",) * 2048  # two shares
    _TIME_LIST = list(_TIME_TEXTS)  # read with the GIL held
    OPERATIONS += [(f"numpy-columns.{label}", lambda call=call: _rows(call()), expected) for label, call, expected in [
        ("parse_datetimes", lambda: columns.parse_datetimes(["2024-06-01T09:30:00Z", None], unit="us"), None),
        ("parse_offset_datetimes", lambda: columns.parse_offset_datetimes(_STAMPS), None),
        ("parse_offset_datetimes-arrow", lambda: columns.parse_offset_datetimes(_STAMPS, to_arrow=True), None),
        ("parse_dates-lines", lambda: columns.parse_dates(b"2024-06-01\n2024-02-29\r\n"), None),
        ("parse_dates-numpy-str", lambda: columns.parse_dates(_DAY_TEXTS, errors="null"), None),
        ("parse_dates-generator", lambda: columns.parse_dates(t for t in ["2024-06-01"]), None),
        ("parse_times-threads", lambda: columns.parse_times(_TIME_TEXTS, threads=2)[-2:], None),
        ("parse_times-list-threads", lambda: columns.parse_times(_TIME_LIST, threads=2)[-2:], None),
        ("parse_times-arrow-null", lambda: columns.parse_times(["x", "12:00:00"], errors="null", to_arrow=True), None),
        ("ArrowColumn.__arrow_c_array__", lambda: list(map(lambda c: repr(c)[:24], _ARROW_DAYS.__arrow_c_array__())), None),
        ("ArrowColumn.__arrow_c_schema__", lambda: repr(_ARROW_DAYS.__arrow_c_schema__())[:25], None),
        ("ArrowColumn.repr", lambda: (repr(_ARROW_DAYS), len(_ARROW_DAYS), _ARROW_DAYS.type), None),
        ("format_datetimes", lambda: columns.format_datetimes(_INSTANTS), None),
        ("format_offset_datetimes", lambda: columns.format_offset_datetimes(_INSTANTS, _OFFSETS), None),
        ("format_dates", lambda: columns.format_dates(_INSTANTS), None),
        ("format_times", lambda: columns.format_times(_TIMES), None),
        ("invalid-text", lambda: columns.parse_datetimes(["2024-06-01T09:30:00Z", "x"]), ValueError),
        ("invalid-bytes", lambda: columns.parse_offset_datetimes(b"\xff\n"), ValueError),
        ("does-not-fit", lambda: columns.parse_datetimes(["2500-01-01T00:00:00Z"]), ValueError),
        ("finer-than-unit", lambda: columns.parse_datetimes(["2024-06-01T00:00:00.5Z"], unit="s"), ValueError),
        ("does-not-fit-date32", lambda: columns.parse_dates(["5881580-07-12"], to_arrow=True), ValueError),
        ("not-a-str", lambda: columns.parse_dates(["2024-06-01", 1]), TypeError),
        ("one-str", lambda: columns.parse_dates("2024-06-01"), TypeError),
        ("not-iterable", lambda: columns.parse_dates(1), TypeError),
        ("buffer-of-floats", lambda: columns.parse_dates(_FLOATS), TypeError),
        ("bad-unit", lambda: columns.parse_datetimes([], unit="m"), ValueError),
        ("bad-threads", lambda: columns.parse_datetimes([], threads=0), ValueError),
        ("format-outside", lambda: columns.format_datetimes(_FAR), ValueError),
        ("format-not-a-time", lambda: columns.format_times(_BEFORE_MIDNIGHT), ValueError),
        ("format-wrong-dtype", lambda: columns.format_dates(_FLOATS), TypeError),
        ("format-lengths", lambda: columns.format_offset_datetimes(_INSTANTS, _ONE), ValueError),
        ("format-bad-offset", lambda: columns.format_offset_datetimes(_INSTANTS, _TOO_FAR), ValueError),
    ]]
    TRACKED += [columns.ArrowColumn]
