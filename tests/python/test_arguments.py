"""Argument binding and conversion, as seen through Date's callables: the
order in which binding errors are found, and each integer width's limits.
What every callable of the catalogue shares is in test_surface.py (parameter
tables, keywords) and test_hostile.py (hostile arguments)."""
import re

import pytest
from catalogue import Index, NoNotes
from kairodex import Date

D = Date(2024, 1, 1)


# --- binding ---------------------------------------------------------------

@pytest.mark.parametrize("call, message", [
    # missing: names listed in parameter order, joined as in English
    (lambda: Date(), "Date.__new__() missing 3 required positional arguments: 'year', 'month', and 'day'"),
    (lambda: Date(2024), "Date.__new__() missing 2 required positional arguments: 'month' and 'day'"),
    (lambda: Date(2024, 1), "Date.__new__() missing 1 required positional argument: 'day'"),
    (lambda: Date(month=1), "Date.__new__() missing 2 required positional arguments: 'year' and 'day'"),
    (lambda: Date(2024, day=1), "Date.__new__() missing 1 required positional argument: 'month'"),
    (lambda: Date.parse(), "Date.parse() missing 1 required positional argument: 's'"),
    (lambda: D.add_days(), "Date.add_days() missing 1 required positional argument: 'days'"),
    (lambda: Date.from_days_since_unix_epoch(),
     "Date.from_days_since_unix_epoch() missing 1 required positional argument: 'days'"),
    # too many: "arguments" stays plural for one parameter
    (lambda: Date(2024, 1, 1, 1), "Date.__new__() takes 3 positional arguments but 4 were given"),
    (lambda: Date.parse("a", "b"), "Date.parse() takes 1 positional arguments but 2 were given"),
    (lambda: D.add_days(1, 2, 3), "Date.add_days() takes 1 positional arguments but 3 were given"),
    # keywords
    (lambda: Date.parse(text="2024-01-01"), "Date.parse() got an unexpected keyword argument 'text'"),
    (lambda: Date(2024, 1, 1, Year=1), "Date.__new__() got an unexpected keyword argument 'Year'"),
    (lambda: Date(**{"jähr": 1}), "Date.__new__() got an unexpected keyword argument 'jähr'"),
    (lambda: Date(2024, 1, 1, year=2024), "Date.__new__() got multiple values for argument 'year'"),
    (lambda: Date(2024, 1, day=1, month=1), "Date.__new__() got multiple values for argument 'month'"),
    (lambda: D.add_days(1, days=2), "Date.add_days() got multiple values for argument 'days'"),
    (lambda: Date.from_days_since_unix_epoch(0, days=0),
     "Date.from_days_since_unix_epoch() got multiple values for argument 'days'"),
])
def test_binding_errors(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
    assert info.value.args == (message,)
    assert not hasattr(info.value, "__notes__")


@pytest.mark.parametrize("call, message", [
    # too many positionals are reported before any keyword is looked at
    (lambda: Date(1, 2, 3, 4, bogus=1), "Date.__new__() takes 3 positional arguments but 4 were given"),
    # keywords are checked in the order given, before missing arguments
    (lambda: Date(year=1, bogus=2), "Date.__new__() got an unexpected keyword argument 'bogus'"),
    # binding happens before conversion: a bad value is not looked at
    (lambda: Date("x", 1), "Date.__new__() missing 1 required positional argument: 'day'"),
    (lambda: Date.parse(5, s="x"), "Date.parse() got multiple values for argument 's'"),
])
def test_binding_error_precedence(call, message):
    with pytest.raises(TypeError, match=f"^{re.escape(message)}$"):
        call()


@pytest.mark.parametrize("call", [
    lambda: Date(2024, 1, 1, **{"\ud800": 1}),     # tuple/dict form
    lambda: Date.parse("2024-01-01", **{"\ud800": 1}),  # vectorcall form
], ids=["constructor", "class-method"])
def test_keyword_name_without_utf8_form_is_unexpected(call):
    # no parameter can match it; it must not surface as an encoding error
    with pytest.raises(TypeError, match="got an unexpected keyword argument '\ud800'"):
        call()


# --- conversion ------------------------------------------------------------

C_LONG = "Python int too large to convert to C long"
INTEGRAL = "out of range integral type conversion attempted"


@pytest.mark.parametrize("call, parameter, message", [
    # signed 32-bit year: the C long text for everything outside 32 bits, also past 64 bits
    (lambda: Date(2**31, 1, 1), "year", C_LONG),
    (lambda: Date(-2**31 - 1, 1, 1), "year", C_LONG),
    (lambda: Date(2**64, 1, 1), "year", C_LONG),
    (lambda: Date(-2**100, 1, 1), "year", C_LONG),
    (lambda: Date(Index(2**31), 1, 1), "year", C_LONG),
    # unsigned 8-bit month/day: 32-bit range first, then 0..255
    (lambda: Date(2024, 256, 1), "month", INTEGRAL),
    (lambda: Date(2024, -1, 1), "month", INTEGRAL),
    (lambda: Date(2024, -2**31, 1), "month", INTEGRAL),
    (lambda: Date(2024, 2**31 - 1, 1), "month", INTEGRAL),
    (lambda: Date(2024, 2**40, 1), "month", C_LONG),
    (lambda: Date(2024, -2**31 - 1, 1), "month", C_LONG),
    (lambda: Date(2024, 1, 256), "day", INTEGRAL),
    (lambda: Date(2024, 1, Index(-1)), "day", INTEGRAL),
    (lambda: Date(2024, 1, 2**70), "day", C_LONG),
])
def test_integer_width_errors(call, parameter, message, raises_noted):
    raises_noted(OverflowError, parameter, call, message)


@pytest.mark.parametrize("call, parameter", [
    (lambda: Date.from_days_since_unix_epoch(2**63), "days"),
    (lambda: Date.from_days_since_unix_epoch(-2**63 - 1), "days"),
    (lambda: D.add_days(2**63), "days"),
    (lambda: D.add_days(-2**64), "days"),
])
def test_signed_64_bit_overflow_is_cpythons(call, parameter, raises_noted):
    raises_noted(OverflowError, parameter, call)


@pytest.mark.parametrize("call, parameter", [
    (lambda: Date(2024.0, 1, 1), "year"),
    (lambda: Date(2024, "1", 1), "month"),
    (lambda: Date(2024, 1, None), "day"),
    (lambda: Date(2024, 1, Index("1")), "day"),  # __index__ returning a non-int
    (lambda: Date.from_days_since_unix_epoch(1.5), "days"),
    (lambda: D.add_days("1"), "days"),
])
def test_non_integers_are_rejected(call, parameter, raises_noted):
    raises_noted(TypeError, parameter, call)


def test_conversion_stops_at_first_bad_parameter(raises_noted):
    raises_noted(TypeError, "month", lambda: Date(2024, "x", "y"))
    # a valid year does not rescue an invalid month: month is converted after year
    raises_noted(OverflowError, "month", lambda: Date(2024, 300, 2**40), INTEGRAL)


def test_index_objects_and_int_subclasses_are_accepted():
    assert Date(Index(2024), Index(2), Index(29)) == Date(2024, 2, 29)
    assert Date(True, True, True) == Date(1, 1, 1)
    assert Date.from_days_since_unix_epoch(Index(-1)) == Date(1969, 12, 31)
    assert D.add_days(Index(31)) == Date(2024, 2, 1)


def test_exception_from_index_propagates_with_note(raises_noted):
    raises_noted(ZeroDivisionError, "days", lambda: D.add_days(Index(ZeroDivisionError("boom"))), "boom")


def test_failing_add_note_leaves_exception_without_note():
    with pytest.raises(NoNotes, match="^original$") as info:
        Date(Index(NoNotes("original")), 1, 1)
    assert not hasattr(info.value, "__notes__")


def local_type_instance():
    class Local:
        pass
    return Local()


@pytest.mark.parametrize("value, message", [
    (5, "'int' object is not an instance of 'str'"),
    (b"2024-01-01", "'bytes' object is not an instance of 'str'"),
    (None, "'None' is not an instance of 'str'"),
    (local_type_instance(), "'local_type_instance.<locals>.Local' object is not an instance of 'str'"),
])
def test_text_parameter_wants_str(value, message, raises_noted):
    raises_noted(TypeError, "s", lambda: Date.parse(value), message)


def test_text_parameter_accepts_str_subclass_and_rejects_lone_surrogate(raises_noted):
    class Text(str):
        pass

    assert Date.parse(Text("2024-01-01")) == Date(2024, 1, 1)
    err = raises_noted(UnicodeEncodeError, "s", lambda: Date.parse("2024-01-0\ud800"))
    assert err.encoding == "utf-8"
