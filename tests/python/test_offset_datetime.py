"""OffsetDateTime: RFC 3339 reading with white space trimmed, the local reading
at both ends of the range, ordering by instant, hashes and text forms."""
import struct

import pytest
from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset

parse = OffsetDateTime.parse
offset = UtcOffset.from_seconds
FIRST = DateTime.parse("-2147483648-01-01T00:00:00Z")
LAST = DateTime.parse("2147483647-12-31T23:59:59.999999999Z")
UNSHOWABLE = "OffsetDateTime local representation out of range: OutOfRange"


def message(text):
    return (f"Invalid offset datetime string '{text}'. Expected RFC 3339 format: "
            "YYYY-MM-DDTHH:MM:SS[.fffffffff][Z|\u00b1HH:MM]")


def shown(utc, seconds):
    return OffsetDateTime.from_utc(DateTime.parse(utc), offset(seconds))


# --- parse -----------------------------------------------------------------

# Every offset shape, both separators, fractions, and the ends of the range.
@pytest.mark.parametrize("text, utc, seconds, printed", [
    ("2024-06-01T09:30:00+02:00", "2024-06-01T07:30:00Z", 7200, "2024-06-01T09:30:00+02:00"),
    ("2024-06-01 09:30:00.25-05:30", "2024-06-01T15:00:00.25Z", -19800, "2024-06-01T09:30:00.25-05:30"),
    ("2024-06-01T09:30:00Z", "2024-06-01T09:30:00Z", 0, "2024-06-01T09:30:00Z"),
    ("2024-06-01T09:30:00z", "2024-06-01T09:30:00Z", 0, "2024-06-01T09:30:00Z"),
    ("2024-06-01T09:30:00-00:00", "2024-06-01T09:30:00Z", 0, "2024-06-01T09:30:00Z"),
    ("2024-06-01T09:30:00+5:30", "2024-06-01T04:00:00Z", 19800, "2024-06-01T09:30:00+05:30"),
    ("2024-06-01T09:30:00+05:3", "2024-06-01T04:27:00Z", 18180, "2024-06-01T09:30:00+05:03"),
    ("2024-06-01T09:30:00+05:", "2024-06-01T04:30:00Z", 18000, "2024-06-01T09:30:00+05:00"),
    ("2024-06-01T09:30:00+0530", "2024-06-01T04:00:00Z", 19800, "2024-06-01T09:30:00+05:30"),
    ("2024-06-01T09:30:00+05", "2024-06-01T04:30:00Z", 18000, "2024-06-01T09:30:00+05:00"),
    ("2024-06-01T09:30:00-2359", "2024-06-02T09:29:00Z", -86340, "2024-06-01T09:30:00-23:59"),
    ("2024-12-31T23:30:00-01:00", "2025-01-01T00:30:00Z", -3600, "2024-12-31T23:30:00-01:00"),
    ("-0001-12-31 23:00:00-01:00", "0000-01-01T00:00:00Z", -3600, "-001-12-31T23:00:00-01:00"),
    ("2147483647-12-31T23:59:59.999999999+00:01", "2147483647-12-31T23:58:59.999999999Z", 60, None),
    ("-2147483648-01-01T00:00:00-00:01", "-2147483648-01-01T00:01:00Z", -60, None),
])
def test_parse_accepts(text, utc, seconds, printed):
    value = parse(text)
    assert (str(value.utc), value.offset.as_seconds()) == (utc, seconds)
    assert str(value) == (printed or text)
    assert repr(value) == f"OffsetDateTime.parse('{printed or text}')"
    assert type(value) is OffsetDateTime
    assert value.unix_timestamp_nanos() == value.utc.unix_timestamp_nanos()


# Each is refused with the one message, quoting the argument as passed.
@pytest.mark.parametrize("text", [
    "", "   ", "2024-06-01", "T09:30:00Z", "2024-06-01TZ", "2024-06-01T+02:00",
    "2024-06-01T09:30:00",                                     # no offset
    "2024-06-01t09:30:00Z", "2024-06-01 T09:30:00Z",           # separator
    "2024-06-01T09:30:00+24:00", "2024-06-01T09:30:00+02:60",  # bounds
    "2024-06-01T09:30:00+", "2024-06-01T09:30:00+2",           # too short
    "2024-06-01T09:30:00+020", "2024-06-01T09:30:00+02000",    # bare digits of other lengths
    "2024-06-01T09:30:00+02:00:00", "2024-06-01T09:30:00+005:00", "2024-06-01T09:30:00+05:300",
    "2024-06-01T09:30:00+:30", "2024-06-01T09:30:00+a2:00", "2024-06-01T09:30:00+\u0660\u0665:00",
    "2024-06-01T09:30:00Zz", "2024-06-01T09:30:00Z+01:00", "2024-06-01T09:30:00-02:00-01:00",
    "2024-06-01T09:30:00 +02:00", "2024-06-01T09:30:00\u00a0Z",  # white space inside is kept
    "2024-06-01T09:30:00.Z", "2024-06-01T24:00:00Z", "2024-02-30T09:30:00Z",
    "2147483647-12-31T23:59:59.999999999-00:01",                 # UTC instant past the last
    "-2147483648-01-01T00:00:00+00:01",                          # and before the first
])
def test_parse_rejects(text, raises_value_error):
    raises_value_error(lambda: parse(text), message(text))


WHITE_SPACE = ["\t", "\n", "\x0b", "\x0c", "\r", " ", "\x85", "\u00a0", "\u1680", "\u2000", "\u200a",
               "\u2028", "\u2029", "\u202f", "\u205f", "\u3000"]
# Python's isspace() counts the separators U+001C..U+001F, which are not white space.
NOT_WHITE_SPACE = ["\x1c", "\x1f", "\u180e", "\u200b", "\ufeff"]


@pytest.mark.parametrize("space", WHITE_SPACE, ids=lambda c: f"U+{ord(c):04X}")
def test_white_space_is_trimmed_at_both_ends(space, raises_value_error):
    expected = parse("2024-06-01T09:30:00+05:3")
    for text in (space + "2024-06-01T09:30:00+05:3", "2024-06-01T09:30:00+05:3" + space * 3,
                 space + " \t\n" + "2024-06-01T09:30:00+05:3" + "\u3000\u00a0" + space):
        assert parse(text) == expected
    bad = space + "\t 2024-06-01T09:30:00+24:00\n\u3000" + space
    raises_value_error(lambda: parse(bad), message(bad))


@pytest.mark.parametrize("other", NOT_WHITE_SPACE, ids=lambda c: f"U+{ord(c):04X}")
def test_other_characters_are_not_trimmed(other, raises_value_error):
    for text in (other + "2024-06-01T09:30:00Z", "2024-06-01T09:30:00Z" + other):
        raises_value_error(lambda: parse(text), message(text))


# --- offsets that the text form cannot carry --------------------------------

@pytest.mark.parametrize("seconds, printed, read_back", [
    (3661, "2024-06-01T08:31:01+01:01", "2024-06-01T07:30:01Z"),
    (-3661, "2024-06-01T06:28:59-01:01", "2024-06-01T07:29:59Z"),
    (59, "2024-06-01T07:30:59+00:00", "2024-06-01T07:30:59Z"),  # under a minute, yet not Z
    (-59, "2024-06-01T07:29:01-00:00", "2024-06-01T07:29:01Z"),
])
def test_leftover_offset_seconds_are_not_written(seconds, printed, read_back):
    value = shown("2024-06-01T07:30:00Z", seconds)
    assert str(value) == printed
    again = parse(printed)
    assert str(again.utc) == read_back and again != value


def test_a_whole_day_offset_prints_what_parse_refuses(raises_value_error):
    value = shown("2024-06-01T07:30:00Z", 86400)
    assert str(value) == "2024-06-02T07:30:00+24:00"
    raises_value_error(lambda: parse(str(value)), message(str(value)))


# --- the ends of the range --------------------------------------------------

@pytest.mark.parametrize("date, time, seconds, utc", [
    (Date(-2**31, 1, 1), Time(0, 0, 0), -3600, "-2147483648-01-01T01:00:00Z"),
    (Date(-2**31, 1, 1), Time(0, 0, 0), 3600, None),
    (Date(2**31 - 1, 12, 31), Time(23, 59, 59, 999999999), 1, "2147483647-12-31T23:59:58.999999999Z"),
    (Date(2**31 - 1, 12, 31), Time(23, 59, 59, 999999999), -1, None),
    (Date(2**31 - 1, 12, 31), Time(0, 0, 0), -86400, None),
])
def test_from_local_at_the_ends(date, time, seconds, utc, raises_value_error):
    make = lambda: OffsetDateTime.from_local(date, time, offset(seconds))  # noqa: E731
    if utc is None:
        raises_value_error(make, "Invalid local datetime: OutOfRange")
        return
    value = make()
    assert str(value.utc) == utc and value.offset == offset(seconds)
    assert value.to_local() == DateTime(date, time)


# UTC + offset beyond either end: the value exists and works, only the local
# reading and the text forms fail, and the text forms with a ValueError.
UNREADABLE = [
    OffsetDateTime.from_utc(LAST, offset(3600)),
    OffsetDateTime.from_utc(LAST, offset(1)),
    OffsetDateTime.from_utc(FIRST, offset(-1)),
    shown("2147483647-12-31T22:30:00Z", 3600).add_duration(Duration.seconds(1800)),
]


@pytest.mark.parametrize("value", UNREADABLE, ids=["last+1h", "last+1s", "first-1s", "moved"])
def test_values_without_a_local_reading(value, value_hash, raises_value_error):
    raises_value_error(value.to_local, "Local datetime out of range: OutOfRange")
    raises_value_error(lambda: str(value), UNSHOWABLE)
    raises_value_error(lambda: repr(value), UNSHOWABLE)
    same = OffsetDateTime.from_utc(value.utc, value.offset)
    assert value == same and hash(value) == hash(same) == value_hash(hashed_bytes(value))
    assert value.unix_timestamp_nanos() == value.utc.unix_timestamp_nanos()
    assert value.difference(same) == Duration.nanoseconds(0)
    assert value.add_duration(Duration.nanoseconds(0)) == value


def test_local_readings_just_inside_the_ends():
    assert OffsetDateTime.from_utc(LAST, offset(0)).to_local() == LAST
    assert str(OffsetDateTime.from_utc(LAST, offset(3600)).add_duration(Duration.seconds(-3600))) == (
        "2147483647-12-31T23:59:59.999999999+01:00")  # moved back into range, shown again
    assert str(OffsetDateTime.from_utc(LAST, offset(-3600)).to_local()) == (
        "2147483647-12-31T22:59:59.999999999Z")
    assert str(OffsetDateTime.from_utc(FIRST, offset(3600)).to_local()) == "-2147483648-01-01T01:00:00Z"


# --- arithmetic and ordering -------------------------------------------------

def test_add_duration_keeps_the_offset():
    value = parse("2024-06-01T23:30:00+02:00").add_duration(Duration.seconds(3600))
    assert str(value) == "2024-06-02T00:30:00+02:00"
    earlier = parse("2024-06-01T00:30:00-05:00").add_duration(Duration.seconds(-3600))
    assert str(earlier) == "2024-05-31T23:30:00-05:00"


@pytest.mark.parametrize("start, count", [
    (LAST, 1), (FIRST, -1), (LAST, 2**127 - 1), (FIRST, -2**127),
])
def test_add_duration_out_of_range(start, count, raises_value_error):
    value = OffsetDateTime.from_utc(start, offset(0))
    raises_value_error(lambda: value.add_duration(Duration.nanoseconds(count)),
                       "DateTime out of range: OutOfRange")


def test_same_instant_under_two_offsets():
    a, b = parse("2024-06-01T09:30:00+02:00"), parse("2024-06-01T08:30:00+01:00")
    assert a.utc == b.utc
    assert (a == b, a != b, a <= b, a >= b, a < b, a > b) == (False, True, True, True, False, False)
    assert a.difference(b) == b.difference(a) == Duration.nanoseconds(0)
    assert hash(a) != hash(b)


def test_order_follows_the_instant_not_the_local_text():
    early, late = parse("2024-06-01T10:00:00+05:00"), parse("2024-06-01T06:00:00Z")
    assert early < late and not early > late and early != late
    assert late.difference(early) == Duration.seconds(3600) == -early.difference(late)
    assert sorted([late, early]) == [early, late]


def test_other_types_do_not_compare():
    value = parse("2024-06-01T07:30:00Z")
    assert value != value.utc and not value == value.utc
    with pytest.raises(TypeError):
        value < value.utc  # noqa: B015


# --- hash --------------------------------------------------------------------

def hashed_bytes(value):
    u = value.utc
    return struct.pack("<i5BIi", u.date.year, u.date.month, u.date.day, u.time.hour, u.time.minute,
                       u.time.second, u.time.nanosecond, value.offset.as_seconds())


def test_known_values():
    value = parse("2024-06-01T09:30:00+02:00")
    assert value.unix_timestamp() == 1717227000
    assert hashed_bytes(value) == bytes.fromhex("e8 07 00 00 06 01 07 1e 00 00 00 00 00 20 1c 00 00")
    assert hash(value) == -4113572127669654741
    assert hash(OffsetDateTime.from_utc(value.utc, offset(0))) == 7504021069734306061


@pytest.mark.parametrize("value", [
    parse("2024-06-01T09:30:00.123456789-05:30"),
    OffsetDateTime.from_utc(FIRST, offset(-86400)),
    OffsetDateTime.from_utc(LAST, offset(86400)),
    shown("1969-12-31T23:59:59Z", -1),
], ids=["fraction", "first", "last", "before-epoch"])
def test_hash_is_the_value_hash_of_the_seventeen_bytes(value, value_hash):
    assert len(hashed_bytes(value)) == 17
    assert hash(value) == value_hash(hashed_bytes(value))


# --- arguments ---------------------------------------------------------------

SAMPLE = parse("2024-06-01T09:30:00+02:00")


@pytest.mark.parametrize("call, text, parameter", [
    (lambda: OffsetDateTime.from_utc(Date(2024, 1, 1), offset(0)),
     "'Date' object is not an instance of 'DateTime'", "utc"),
    (lambda: OffsetDateTime.from_utc(SAMPLE.utc, 3600),
     "'int' object is not an instance of 'UtcOffset'", "offset"),
    (lambda: OffsetDateTime.from_utc(None, None), "'None' is not an instance of 'DateTime'", "utc"),
    (lambda: OffsetDateTime.from_local(SAMPLE.utc, Time(0, 0, 0), offset(0)),
     "'DateTime' object is not an instance of 'Date'", "date"),
    (lambda: OffsetDateTime.from_local(Date(2024, 1, 1), "00:00:00", offset(0)),
     "'str' object is not an instance of 'Time'", "time"),
    (lambda: OffsetDateTime.from_local(Date(2024, 1, 1), Time(0, 0, 0), SAMPLE),
     "'OffsetDateTime' object is not an instance of 'UtcOffset'", "offset"),
    (lambda: SAMPLE.add_duration(5), "'int' object is not an instance of 'Duration'", "dur"),
    (lambda: SAMPLE.difference(SAMPLE.utc),
     "'DateTime' object is not an instance of 'OffsetDateTime'", "other"),
    (lambda: OffsetDateTime.parse(None), "'None' is not an instance of 'str'", "s"),
    (lambda: OffsetDateTime.parse(b"2024-06-01T09:30:00Z"), "'bytes' object is not an instance of 'str'", "s"),
], ids=["utc", "offset", "first-of-two", "date", "time", "local-offset", "dur", "other", "None", "bytes"])
def test_wrong_argument_types(call, text, parameter, raises_noted):
    raises_noted(TypeError, parameter, call, text)


def test_arguments_by_keyword():
    made = OffsetDateTime.from_local(offset=offset(7200), time=Time(9, 30, 0), date=Date(2024, 6, 1))
    assert made == SAMPLE == OffsetDateTime.from_utc(offset=offset(7200), utc=SAMPLE.utc)
    assert OffsetDateTime.parse(s=str(SAMPLE)) == SAMPLE
    assert SAMPLE.add_duration(dur=Duration.seconds(0)) == SAMPLE
    assert SAMPLE.difference(other=SAMPLE) == Duration.seconds(0)
