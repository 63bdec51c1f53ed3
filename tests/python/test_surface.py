"""The module's whole Python surface, class by class: members and their
order, protocol slots, flags, class and method docstrings, and every
parameter table as the binding messages reveal it."""
import inspect

import kairodex
import pytest
from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset, Weekday

CLASSES = [Weekday, Date, Time, Duration, DateTime, UtcOffset, OffsetDateTime]
NO_CONSTRUCTOR = {Weekday, Duration, UtcOffset, OffsetDateTime}

Py_TPFLAGS_DISALLOW_INSTANTIATION = 1 << 7
Py_TPFLAGS_IMMUTABLETYPE = 1 << 8
Py_TPFLAGS_BASETYPE = 1 << 10
Py_TPFLAGS_HAVE_GC = 1 << 14

COMPARE = {"__eq__", "__ne__", "__lt__", "__le__", "__gt__", "__ge__"}
VALUE = COMPARE | {"__hash__", "__str__", "__repr__"}

# Per class: the protocol slots it defines (as the dunders CPython derives from
# them), then its own members in table order: class methods, methods, getters
# and class attributes.
SURFACE = {
    Weekday: ({"__str__", "__repr__"},
              ["number_from_monday", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY",
               "SATURDAY", "SUNDAY"]),
    Date: (VALUE | {"__new__"},
           ["from_days_since_unix_epoch", "parse", "days_since_unix_epoch", "weekday", "ordinal",
            "add_days", "year", "month", "day"]),
    Time: (VALUE | {"__new__"},
           ["seconds_since_midnight", "nanos_since_midnight", "parse", "hour", "minute", "second",
            "nanosecond"]),
    Duration: (VALUE | {"__neg__", "__add__", "__radd__", "__sub__", "__rsub__"},
               ["seconds", "milliseconds", "microseconds", "nanoseconds", "total_seconds", "total_nanos"]),
    DateTime: (VALUE | {"__new__"},
               ["from_unix_timestamp", "unix_timestamp", "unix_timestamp_nanos", "add_duration",
                "difference", "now_utc", "parse", "date", "time"]),
    UtcOffset: (VALUE, ["from_seconds", "from_hours_minutes", "as_seconds", "is_utc"]),
    OffsetDateTime: (VALUE,
                     ["from_utc", "from_local", "to_local", "unix_timestamp", "unix_timestamp_nanos",
                      "add_duration", "difference", "parse", "utc", "offset"]),
}
CLASS_DOCS = {Date: "(year, month, day)", Time: "(hour, minute, second, nanosecond=0)",
              DateTime: "(date, time)"}

# Every method's docstring as registered: text signature, "--", blank line, text.
METHOD_DOCS = [
    (Weekday, "number_from_monday",
     "number_from_monday($self)\n--\n\n"
     "Get the weekday number from Monday (1-7)."),
    (Date, "from_days_since_unix_epoch",
     "from_days_since_unix_epoch($cls, days)\n--\n\n"
     "Create a Date from days since Unix epoch (1970-01-01).\n\n"
     "Args:\n    days: Days since Unix epoch.\n\n"
     "Returns:\n    Date: A new Date instance.\n\n"
     "Raises:\n    ValueError: If the date is out of range."),
    (Date, "parse",
     "parse($cls, s)\n--\n\n"
     "Parse a date from ISO format (YYYY-MM-DD).\n\n"
     "Args:\n    s: The string to parse.\n\n"
     "Returns:\n    Date: A new Date instance.\n\n"
     "Raises:\n    ValueError: If the string is not a valid date."),
    (Date, "days_since_unix_epoch",
     "days_since_unix_epoch($self)\n--\n\n"
     "Convert to days since Unix epoch (1970-01-01)."),
    (Date, "weekday", "weekday($self)\n--\n\nGet the weekday."),
    (Date, "ordinal", "ordinal($self)\n--\n\nGet the day of the year (1-366)."),
    (Date, "add_days",
     "add_days($self, days)\n--\n\n"
     "Add days to the date.\n\n"
     "Args:\n    days: Number of days to add (can be negative).\n\n"
     "Returns:\n    Date: A new Date instance.\n\n"
     "Raises:\n    ValueError: If the resulting date is out of range."),
    (Time, "seconds_since_midnight",
     "seconds_since_midnight($self)\n--\n\n"
     "Get total seconds since midnight (ignoring nanoseconds)."),
    (Time, "nanos_since_midnight",
     "nanos_since_midnight($self)\n--\n\n"
     "Get total nanoseconds since midnight."),
    (Time, "parse",
     "parse($cls, s)\n--\n\n"
     "Parse a time from ISO format (HH:MM:SS[.fffffffff]).\n\n"
     "Args:\n    s: The string to parse.\n\n"
     "Returns:\n    Time: A new Time instance.\n\n"
     "Raises:\n    ValueError: If the string is not a valid time."),
    (Duration, "seconds", "seconds($cls, secs)\n--\n\nCreate a duration from seconds."),
    (Duration, "milliseconds", "milliseconds($cls, ms)\n--\n\nCreate a duration from milliseconds."),
    (Duration, "microseconds", "microseconds($cls, us)\n--\n\nCreate a duration from microseconds."),
    (Duration, "nanoseconds", "nanoseconds($cls, ns)\n--\n\nCreate a duration from nanoseconds."),
    (Duration, "total_seconds", "total_seconds($self)\n--\n\nGet total seconds as a float."),
    (Duration, "total_nanos", "total_nanos($self)\n--\n\nGet total nanoseconds as an integer."),
    (DateTime, "from_unix_timestamp",
     "from_unix_timestamp($cls, secs, nanos=0)\n--\n\n"
     "Create a DateTime from Unix timestamp (seconds and nanoseconds).\n\n"
     "Args:\n    secs: Seconds since Unix epoch.\n    nanos: Additional nanoseconds (default=0).\n\n"
     "Returns:\n    DateTime: A new DateTime instance.\n\n"
     "Raises:\n    ValueError: If the timestamp is invalid."),
    (DateTime, "unix_timestamp",
     "unix_timestamp($self)\n--\n\n"
     "Get Unix timestamp (seconds since Unix epoch)."),
    (DateTime, "unix_timestamp_nanos",
     "unix_timestamp_nanos($self)\n--\n\n"
     "Get Unix timestamp in nanoseconds."),
    (DateTime, "add_duration",
     "add_duration($self, dur)\n--\n\n"
     "Add a duration to this DateTime.\n\n"
     "Args:\n    dur: A Duration instance.\n\n"
     "Returns:\n    DateTime: A new DateTime instance.\n\n"
     "Raises:\n    ValueError: If the resulting datetime is out of range."),
    (DateTime, "difference",
     "difference($self, other)\n--\n\n"
     "Calculate the difference between two DateTimes.\n\n"
     "Args:\n    other: Another DateTime instance.\n\n"
     "Returns:\n    Duration: The duration between the two datetimes (self - other)."),
    (DateTime, "now_utc", "now_utc($cls)\n--\n\nGet the current UTC DateTime (requires std feature)."),
    (DateTime, "parse",
     "parse($cls, s)\n--\n\n"
     "Parse a DateTime from ISO 8601 / RFC 3339 UTC format.\n\n"
     'Args:\n    s: The string to parse (e.g., "2024-01-01T12:00:00Z").\n\n'
     "Returns:\n    DateTime: A new DateTime instance.\n\n"
     "Raises:\n    ValueError: If the string is not a valid datetime."),
    (UtcOffset, "from_seconds",
     "from_seconds($cls, seconds)\n--\n\n"
     "Create a UtcOffset from total seconds.\n\n"
     "Args:\n    seconds: Total seconds offset from UTC (roughly -86400 to +86400).\n\n"
     "Returns:\n    UtcOffset: A new UtcOffset instance.\n\n"
     "Raises:\n    ValueError: If the offset is out of range."),
    (UtcOffset, "from_hours_minutes",
     "from_hours_minutes($cls, sign_positive, hours, minutes)\n--\n\n"
     "Create a UtcOffset from hours and minutes.\n\n"
     "Args:\n    sign_positive: True for positive offset, False for negative.\n"
     "    hours: Hours component (0-23).\n    minutes: Minutes component (0-59).\n\n"
     "Returns:\n    UtcOffset: A new UtcOffset instance.\n\n"
     "Raises:\n    ValueError: If the offset is out of range."),
    (UtcOffset, "as_seconds", "as_seconds($self)\n--\n\nGet the offset as seconds."),
    (UtcOffset, "is_utc", "is_utc($self)\n--\n\nCheck if this is UTC (offset = 0)."),
    (OffsetDateTime, "from_utc",
     "from_utc($cls, utc, offset)\n--\n\n"
     "Create an OffsetDateTime from a UTC DateTime and offset.\n\n"
     "Args:\n    utc: A DateTime instance (in UTC).\n    offset: A UtcOffset instance.\n\n"
     "Returns:\n    OffsetDateTime: A new OffsetDateTime instance."),
    (OffsetDateTime, "from_local",
     "from_local($cls, date, time, offset)\n--\n\n"
     "Create an OffsetDateTime from local date, time, and offset.\n\n"
     "Args:\n    date: A Date instance (in local time).\n    time: A Time instance (in local time).\n"
     "    offset: A UtcOffset instance.\n\n"
     "Returns:\n    OffsetDateTime: A new OffsetDateTime instance.\n\n"
     "Raises:\n    ValueError: If the conversion fails."),
    (OffsetDateTime, "to_local",
     "to_local($self)\n--\n\n"
     "Convert to local DateTime.\n\n"
     "Returns:\n    DateTime: The local DateTime.\n\n"
     "Raises:\n    ValueError: If the conversion fails."),
    (OffsetDateTime, "unix_timestamp",
     "unix_timestamp($self)\n--\n\n"
     "Get Unix timestamp (seconds since Unix epoch)."),
    (OffsetDateTime, "unix_timestamp_nanos",
     "unix_timestamp_nanos($self)\n--\n\n"
     "Get Unix timestamp in nanoseconds."),
    (OffsetDateTime, "add_duration",
     "add_duration($self, dur)\n--\n\n"
     "Add a duration.\n\n"
     "Args:\n    dur: A Duration instance.\n\n"
     "Returns:\n    OffsetDateTime: A new OffsetDateTime instance.\n\n"
     "Raises:\n    ValueError: If the resulting datetime is out of range."),
    (OffsetDateTime, "difference",
     "difference($self, other)\n--\n\n"
     "Calculate the difference between two OffsetDateTimes.\n\n"
     "Args:\n    other: Another OffsetDateTime instance.\n\n"
     "Returns:\n    Duration: The duration between the two datetimes (self - other)."),
    (OffsetDateTime, "parse",
     "parse($cls, s)\n--\n\n"
     "Parse an OffsetDateTime from RFC 3339 format.\n\n"
     "Args:\n    s: The string to parse.\n\n"
     "Returns:\n    OffsetDateTime: A new OffsetDateTime instance.\n\n"
     "Raises:\n    ValueError: If the string is not valid."),
]


def test_all_is_the_seven_classes_in_registration_order():
    assert kairodex.__all__ == [c.__name__ for c in CLASSES]
    assert {n for n in vars(kairodex) if not n.startswith("__")} == set(kairodex.__all__)


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_slots_and_members(cls):
    slots, members = SURFACE[cls]
    own = vars(cls)
    # copyreg caches __slotnames__ on a class once an instance was pickled or copied.
    assert {n for n in own if n.startswith("__")} - {"__slotnames__"} == slots | {"__doc__", "__module__"}
    assert [n for n in own if not n.startswith("__")] == members


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_flags_and_class_docs(cls):
    assert cls.__bases__ == (object,) and cls.__module__ == "kairodex" and cls.__qualname__ == cls.__name__
    assert not cls.__flags__ & (Py_TPFLAGS_BASETYPE | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_HAVE_GC)
    assert bool(cls.__flags__ & Py_TPFLAGS_DISALLOW_INSTANTIATION) == (cls in NO_CONSTRUCTOR)
    if cls in CLASS_DOCS:
        assert (cls.__doc__, cls.__text_signature__) == ("", CLASS_DOCS[cls])
    else:
        assert cls.__doc__ is None and cls.__text_signature__ is None
        with pytest.raises(TypeError, match=f"^cannot create 'kairodex.{cls.__name__}' instances$"):
            cls()
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


@pytest.mark.parametrize("cls, name, doc", METHOD_DOCS, ids=[f"{c.__name__}.{n}" for c, n, _ in METHOD_DOCS])
def test_method_docstrings(cls, name, doc):
    method = getattr(cls, name)
    assert f"{name}{method.__text_signature__}\n--\n\n{method.__doc__}" == doc


def test_every_method_has_its_docstring_listed():
    listed = {(c, n) for c, n, _ in METHOD_DOCS}
    methods = {(c, n) for c in CLASSES for n, v in vars(c).items()
               if type(v).__name__ in ("method_descriptor", "builtin_function_or_method") and n != "__new__"}
    assert methods == listed


def test_class_methods_are_stored_bound_to_their_class():
    bound = [(c, v) for c in CLASSES for n, v in vars(c).items()
             if type(v).__name__ == "builtin_function_or_method" and n != "__new__"]
    assert len(bound) == 15 and all(v.__self__ is c for c, v in bound)


# Methods registered without arguments refuse one with CPython's own text;
# class methods are bound to the class, also when reached through an instance.
SAMPLES = {Weekday: Weekday.MONDAY, Date: Date(2024, 1, 1), Time: Time(1, 2, 3), Duration: Duration.seconds(1),
           DateTime: DateTime.parse("2024-01-01T00:00:00Z"), UtcOffset: UtcOffset.from_seconds(60),
           OffsetDateTime: OffsetDateTime.parse("2024-01-01T00:00:00+01:00")}


@pytest.mark.parametrize("cls, name, doc", METHOD_DOCS, ids=[f"{c.__name__}.{n}" for c, n, _ in METHOD_DOCS])
def test_method_kinds(cls, name, doc):
    bound = getattr(SAMPLES[cls], name)
    is_class_method = doc.startswith(f"{name}($cls")
    assert (bound.__self__ is cls) == is_class_method
    if doc.startswith((f"{name}($self)", f"{name}($cls)")):
        with pytest.raises(TypeError, match=rf"^{cls.__name__}\.{name}\(\) takes no arguments \(1 given\)$"):
            bound(1)


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_getters_are_read_only_and_undocumented(cls):
    value = SAMPLES[cls]
    for name, descriptor in vars(cls).items():
        if type(descriptor).__name__ != "getset_descriptor" or name.startswith("__"):
            continue
        assert descriptor.__doc__ is None
        with pytest.raises(AttributeError):
            setattr(value, name, getattr(value, name))
        with pytest.raises(AttributeError):
            delattr(value, name)


# (callable, label, parameters, required count). Binding runs before any
# conversion, so None stands in for every argument.
PARAMETERS = [
    (Date, "Date.__new__", ["year", "month", "day"], 3),
    (Date.from_days_since_unix_epoch, "Date.from_days_since_unix_epoch", ["days"], 1),
    (SAMPLES[Date].add_days, "Date.add_days", ["days"], 1),
    (Date.parse, "Date.parse", ["s"], 1),
    (Time, "Time.__new__", ["hour", "minute", "second", "nanosecond"], 3),
    (Time.parse, "Time.parse", ["s"], 1),
    (Duration.seconds, "Duration.seconds", ["secs"], 1),
    (Duration.milliseconds, "Duration.milliseconds", ["ms"], 1),
    (Duration.microseconds, "Duration.microseconds", ["us"], 1),
    (Duration.nanoseconds, "Duration.nanoseconds", ["ns"], 1),
    (DateTime, "DateTime.__new__", ["date", "time"], 2),
    (DateTime.from_unix_timestamp, "DateTime.from_unix_timestamp", ["secs", "nanos"], 1),
    (SAMPLES[DateTime].add_duration, "DateTime.add_duration", ["dur"], 1),
    (SAMPLES[DateTime].difference, "DateTime.difference", ["other"], 1),
    (DateTime.parse, "DateTime.parse", ["s"], 1),
    (UtcOffset.from_seconds, "UtcOffset.from_seconds", ["seconds"], 1),
    (UtcOffset.from_hours_minutes, "UtcOffset.from_hours_minutes", ["sign_positive", "hours", "minutes"], 3),
    (OffsetDateTime.from_utc, "OffsetDateTime.from_utc", ["utc", "offset"], 2),
    (OffsetDateTime.from_local, "OffsetDateTime.from_local", ["date", "time", "offset"], 3),
    (SAMPLES[OffsetDateTime].add_duration, "OffsetDateTime.add_duration", ["dur"], 1),
    (SAMPLES[OffsetDateTime].difference, "OffsetDateTime.difference", ["other"], 1),
    (OffsetDateTime.parse, "OffsetDateTime.parse", ["s"], 1),
]


def quoted_list(names):
    quoted = [f"'{n}'" for n in names]
    if len(quoted) < 3:
        return " and ".join(quoted)
    return ", ".join(quoted[:-1]) + ", and " + quoted[-1]


def type_error(call):
    with pytest.raises(TypeError) as info:
        call()
    assert not getattr(info.value, "__notes__", None)  # binding errors carry no note
    return str(info.value)


@pytest.mark.parametrize("call, label, names, required", PARAMETERS, ids=[p[1] for p in PARAMETERS])
def test_parameter_tables(call, label, names, required):
    total = len(names)
    word = "argument" if required == 1 else "arguments"
    assert type_error(call) == (
        f"{label}() missing {required} required positional {word}: {quoted_list(names[:required])}")
    takes = f"{total}" if required == total else f"from {required} to {total}"
    assert type_error(lambda: call(*[None] * (total + 1))) == (
        f"{label}() takes {takes} positional arguments but {total + 1} were given")
    for name in names:  # each parameter is reachable by its keyword
        assert type_error(lambda: call(*[None] * total, **{name: None})) == (
            f"{label}() got multiple values for argument '{name}'")
    assert type_error(lambda: call(bogus=None)) == f"{label}() got an unexpected keyword argument 'bogus'"
    text_signature = ", ".join(n if i < required else f"{n}=0" for i, n in enumerate(names))
    assert str(inspect.signature(call)) == f"({text_signature})"
