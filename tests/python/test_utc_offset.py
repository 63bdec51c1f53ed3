import pytest

from kairodex import UtcOffset

secs = UtcOffset.from_seconds
hm = UtcOffset.from_hours_minutes


def raises_invalid_offset(operation):
    with pytest.raises(ValueError) as info:
        operation()
    assert info.value.args == ("Invalid offset: OutOfRange",)


# A whole day either way, any second count in between.
@pytest.mark.parametrize("seconds", [-86400, -86399, -1, 0, 1, 30, 19800, 86399, 86400])
def test_from_seconds_keeps_the_value(seconds):
    o = secs(seconds)
    assert o.as_seconds() == seconds
    assert o.is_utc() is (seconds == 0)


@pytest.mark.parametrize("seconds", [86401, -86401, 2**31 - 1, -2**31])
def test_from_seconds_out_of_range(seconds):
    raises_invalid_offset(lambda: secs(seconds))


@pytest.mark.parametrize("seconds", [2**31, -2**31 - 1])
def test_from_seconds_beyond_32_bits_fails_in_conversion(seconds, raises_noted):
    raises_noted(OverflowError, "seconds", lambda: secs(seconds), "Python int too large to convert to C long")


@pytest.mark.parametrize("sign, hours, minutes, seconds", [
    (True, 23, 59, 86340),
    (False, 23, 59, -86340),
    (False, 5, 30, -19800),
    (True, 5, 30, 19800),
    (True, 0, 0, 0),
    (False, 0, 0, 0),
    (False, 0, 1, -60),
    (True, 1, 0, 3600),
])
def test_from_hours_minutes(sign, hours, minutes, seconds):
    o = hm(sign, hours, minutes)
    assert o.as_seconds() == seconds
    assert o == secs(seconds)


def test_from_hours_minutes_by_keyword():
    assert hm(minutes=30, hours=5, sign_positive=False).as_seconds() == -19800


# 24:00 is a valid offset from seconds but not from hours and minutes.
@pytest.mark.parametrize("sign, hours, minutes", [(True, 24, 0), (False, 24, 0), (True, 0, 60),
                                                  (True, 255, 255), (False, 23, 60)])
def test_from_hours_minutes_out_of_range(sign, hours, minutes):
    raises_invalid_offset(lambda: hm(sign, hours, minutes))


# Arguments that do not convert; 0 and 1 are not booleans.
@pytest.mark.parametrize("args, exc, message, param", [
    ((1, 5, 30), TypeError, "'int' object is not an instance of 'bool'", "sign_positive"),
    ((0, 0, 0), TypeError, "'int' object is not an instance of 'bool'", "sign_positive"),
    ((None, 0, 0), TypeError, "'None' is not an instance of 'bool'", "sign_positive"),
    (("+", 0, 0), TypeError, "'str' object is not an instance of 'bool'", "sign_positive"),
    ((True, 256, 0), OverflowError, "out of range integral type conversion attempted", "hours"),
    ((True, -1, 0), OverflowError, "out of range integral type conversion attempted", "hours"),
    ((True, 0, 256), OverflowError, "out of range integral type conversion attempted", "minutes"),
    ((1, 256, 0), TypeError, "'int' object is not an instance of 'bool'", "sign_positive"),
])
def test_from_hours_minutes_conversion_failures(args, exc, message, param, raises_noted):
    raises_noted(exc, param, lambda: hm(*args), message)


def test_no_constructor(interpreter_says):
    with pytest.raises(TypeError) as info:
        UtcOffset(0)
    assert str(info.value) == interpreter_says(lambda: type(iter(range(0)))(0),
                                               ("range_iterator", "kairodex.UtcOffset"))


# Text: leftover seconds are dropped, the sign of a small negative offset stays.
@pytest.mark.parametrize("seconds, text", [
    (0, "+00:00"),
    (30, "+00:00"),
    (-30, "-00:00"),
    (59, "+00:00"),
    (3599, "+00:59"),
    (3661, "+01:01"),
    (-3661, "-01:01"),
    (19800, "+05:30"),
    (-28800, "-08:00"),
    (86340, "+23:59"),
    (86399, "+23:59"),
    (86400, "+24:00"),
    (-86400, "-24:00"),
])
def test_str(seconds, text):
    assert str(secs(seconds)) == text


@pytest.mark.parametrize("o, text", [
    (secs(-3600), "UtcOffset.from_seconds(-3600)"),
    (secs(30), "UtcOffset.from_seconds(30)"),
    (hm(False, 0, 0), "UtcOffset.from_seconds(0)"),
    (secs(-86400), "UtcOffset.from_seconds(-86400)"),
])
def test_repr(o, text):
    assert repr(o) == text
    assert eval(text, {"UtcOffset": UtcOffset}) == o


# Comparison and hash ----------------------------------------------------------

def test_ordering_by_signed_seconds():
    values = [-86400, -3600, -1, 0, 1, 30, 3600, 86400]
    offsets = [secs(v) for v in values]
    assert sorted(offsets[::-1]) == offsets
    for a, b in zip(offsets, offsets[1:]):
        assert a < b and a <= b and b > a and b >= a and a != b and not a == b


def test_offsets_that_print_alike_are_not_equal():
    assert secs(30) != secs(0) and str(secs(30)) == str(secs(0))
    assert secs(0) == hm(False, 0, 0) and secs(0) <= hm(True, 0, 0) >= secs(0)


def test_other_types_do_not_compare():
    o = secs(0)
    assert (o == 0) is False and (o != 0) is True and (o == "+00:00") is False
    with pytest.raises(TypeError):
        o < 0
    with pytest.raises(TypeError):
        o + secs(1)
    with pytest.raises(TypeError):
        -o


def test_every_offset_is_true():
    assert bool(secs(0)) is True


@pytest.mark.parametrize("o, value", [
    (secs(0), -3737345886862931216),
    (secs(3600), -6999854392838765814),
    (secs(-3600), -8352858864157925887),
    (hm(True, 1, 0), -6999854392838765814),
])
def test_known_hashes(o, value):
    assert hash(o) == value


def test_hashes_differ_across_the_range():
    assert len({hash(secs(s)) for s in range(-86400, 86401, 15)}) == 11521
