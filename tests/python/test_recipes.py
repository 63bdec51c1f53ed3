"""The recipes of examples/recipes.py, which the documentation's Recipes page
shows: over the whole range each side holds, every conversion agrees with the
other library's own arithmetic and reads back what it wrote; what does not
fit is refused, never wrapped or rounded. (The page's examples test the
edges one by one.)"""
import copy
import copyreg
import datetime as std
import importlib.util
import json
import pickle
from contextlib import contextmanager
from pathlib import Path

import pytest
from hypothesis import given, settings, strategies as st
from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset, Weekday

try:
    import numpy as np
except ImportError:  # numpy is optional
    np = None

_spec = importlib.util.spec_from_file_location("recipes", Path(__file__).parents[2] / "examples" / "recipes.py")
recipes = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(recipes)

examples = settings(max_examples=300, deadline=None, database=None)
needs_numpy = pytest.mark.skipif(np is None, reason="numpy is not installed")

NS = 10**9
FIRST_NANOS, LAST_NANOS = -67768100567971200 * NS, 67767976233532799 * NS + NS - 1
STD_FIRST, STD_LAST = -62135596800 * NS, 253402300799 * NS + NS - 1  # datetime's years 1 to 9999
UTC_EPOCH = std.datetime(1970, 1, 1, tzinfo=std.UTC)
WEEKDAYS = list(recipes.WEEKDAYS.values())


def instant(nanos):
    return DateTime.from_unix_timestamp(*divmod(nanos, NS))


instants = st.integers(FIRST_NANOS, LAST_NANOS).map(instant)
offsets = st.integers(-86400, 86400).map(UtcOffset.from_seconds)
values = st.one_of(
    instants.map(lambda t: t.date), instants.map(lambda t: t.time), instants,
    st.integers(-2**127, 2**127 - 1).map(Duration.nanoseconds), offsets, st.sampled_from(WEEKDAYS),
    st.builds(OffsetDateTime.from_utc, instants, offsets))


@examples
@given(st.integers(STD_FIRST, STD_LAST), st.integers(-86399, 86399))
def test_datetime_both_ways(nanos, offset):
    micros, finer = divmod(nanos, 1000)
    cut = instant(micros * 1000)
    expected = UTC_EPOCH + std.timedelta(microseconds=micros)
    # Instants: exact, or cut toward the past with exact=False.
    assert recipes.to_std(instant(nanos), exact=False) == expected
    assert recipes.to_std(cut, naive=True) == expected.replace(tzinfo=None)
    assert recipes.from_std(expected).utc == recipes.from_std(expected.replace(tzinfo=None), naive="utc") == cut
    with pytest.raises(ValueError, match="naive"):  # a reading taken nobody says where
        recipes.from_std(expected.replace(tzinfo=None))
    if finer:
        with pytest.raises(ValueError):
            recipes.to_std(instant(nanos))
    # Durations: the same counts.
    assert recipes.to_std(Duration.nanoseconds(nanos), exact=False) == expected - UTC_EPOCH
    assert recipes.from_std(expected - UTC_EPOCH) == Duration.nanoseconds(micros * 1000)
    # Instants at an offset: the same instant and offset, where the local reading has datetime's years.
    stamp = OffsetDateTime.from_utc(cut, UtcOffset.from_seconds(offset))
    if std.MINYEAR <= stamp.to_local().date.year <= std.MAXYEAR:
        aware = recipes.to_std(stamp)
        assert aware == expected and aware.utcoffset() == std.timedelta(seconds=offset)
        assert recipes.from_std(aware) == stamp
    else:
        with pytest.raises(ValueError, match="outside datetime's years"):
            recipes.to_std(stamp)


@needs_numpy
@examples
@given(st.integers(-2**63, 2**63 - 1), st.sampled_from(list(recipes.NANOS_PER_UNIT)), st.integers(1, 3))
def test_numpy_both_ways(count, unit, step):
    nanos = count * recipes.NANOS_PER_UNIT[unit] * step
    stamps, spans = np.array([count], f"M8[{step}{unit}]"), np.array([count], f"m8[{step}{unit}]")
    # The same values in the other byte order (files and networks: ">M8[ns]") read the same.
    swapped = [a.astype(a.dtype.newbyteorder("S")) for a in (stamps, spans)]
    if count == -2**63:  # NaT
        for values in (stamps, swapped[0]):
            with pytest.raises(ValueError, match="NaT"):
                recipes.from_datetime64(values)
        for values in (spans, swapped[1]):
            with pytest.raises(ValueError, match="NaT"):
                recipes.from_timedelta64(values)
        return
    assert recipes.from_timedelta64(spans) == recipes.from_timedelta64(swapped[1]) == [Duration.nanoseconds(nanos)]
    if not FIRST_NANOS <= nanos <= LAST_NANOS:  # beyond kairodex: ValueError, or OverflowError past int64 seconds
        with pytest.raises((ValueError, OverflowError)):
            recipes.from_datetime64(stamps)
        return
    assert recipes.from_datetime64(stamps) == recipes.from_datetime64(swapped[0]) == [instant(nanos)]
    # To numpy: nanoseconds, where an int64 holds them and they are not NaT.
    if -2**63 < nanos < 2**63:
        assert recipes.to_datetime64([instant(nanos)]).view(np.int64)[0] == nanos
        assert recipes.to_timedelta64([Duration.nanoseconds(nanos)]).view(np.int64)[0] == nanos
        assert recipes.to_datetime64([instant(nanos)])[0] == stamps[0]
    else:
        with pytest.raises(ValueError, match="int64 nanoseconds"):
            recipes.to_datetime64([instant(nanos)])
        with pytest.raises(ValueError, match="int64 nanoseconds"):
            recipes.to_timedelta64([Duration.nanoseconds(nanos)])


@needs_numpy
@examples
@given(st.integers(-2**63 + 1, 2**63 - 1), st.integers(-86399, 86399))
def test_pandas_both_ways(nanos, offset):
    pd = pytest.importorskip("pandas", exc_type=ImportError)
    stamp = OffsetDateTime.from_utc(instant(nanos), UtcOffset.from_seconds(offset))
    assert recipes.to_timestamp(instant(nanos)).value == nanos
    assert recipes.from_timestamp(recipes.to_timestamp(instant(nanos))).utc == instant(nanos)
    if -2**63 < nanos + offset * NS < 2**63:
        timestamp = recipes.to_timestamp(stamp)
        assert timestamp.value == nanos and timestamp.utcoffset() == std.timedelta(seconds=offset)
        assert recipes.from_timestamp(timestamp) == stamp
    else:  # pandas holds the local reading in int64 nanoseconds too
        with pytest.raises(ValueError):
            recipes.to_timestamp(stamp)
    naive = pd.Timestamp(nanos, unit="ns")
    assert recipes.from_timestamp(naive, naive="utc") == instant(nanos)
    for convert in (recipes.from_timestamp, recipes.from_std):
        with pytest.raises(ValueError, match="naive"):
            convert(naive)
    if not -2**63 + 2 * 86400 * NS < nanos < 2**63 - 2 * 86400 * NS:
        return  # pandas cannot put the reading at an offset
    # A Timestamp is a datetime too: from_std keeps its nanoseconds (datetime's years only).
    aware = naive.tz_localize(std.timezone(std.timedelta(seconds=offset)))
    if std.MINYEAR <= aware.year <= std.MAXYEAR:
        assert recipes.from_std(aware) == recipes.from_timestamp(aware)
    # An offset with a fraction of a second is refused, as from_std refuses it.
    odd = naive.tz_localize(std.timezone(std.timedelta(seconds=offset, microseconds=1)))
    for convert in (recipes.from_timestamp, recipes.from_std):
        with pytest.raises(ValueError, match="whole number of seconds"):
            convert(odd)


@contextmanager
def pickling():
    saved = dict(copyreg.dispatch_table)
    recipes.register_pickling()
    try:
        yield
    finally:
        copyreg.dispatch_table.clear()
        copyreg.dispatch_table.update(saved)


@examples
@given(st.lists(values, max_size=8))
def test_pickle_copy_and_json_read_back_every_value(batch):
    with pickling():
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            assert pickle.loads(pickle.dumps(batch, protocol)) == batch
        assert copy.deepcopy(batch) == batch and [copy.copy(v) for v in batch] == batch
        assert [pickle.loads(pickle.dumps(day)) for day in WEEKDAYS] == WEEKDAYS  # == is identity for weekdays
    with pytest.raises(TypeError, match="cannot pickle"):
        pickle.dumps(Date(2024, 6, 1))  # unregistered again
    for value in batch:
        document = {"value": value}
        try:
            text = json.dumps(document, default=recipes.json_default)
        except ValueError:  # no exact text: an offset with leftover seconds, or a reading out of range
            assert isinstance(value, OffsetDateTime)
            continue
        assert json.loads(text, object_hook=recipes.json_object_hook({"value": type(value)})) == document


@examples
@given(st.integers(-2**127, 2**127 - 1))
def test_hours_minutes_seconds(nanos):
    text = recipes.format_hms(Duration.nanoseconds(nanos))
    assert recipes.parse_hms(text) == Duration.nanoseconds(nanos)
    assert text.startswith("-") == (nanos < 0)
    hours, minutes, seconds = text.removeprefix("-").split(":")
    assert len(minutes) == 2 and int(minutes) < 60 and len(seconds) == 12 and int(seconds[:2]) < 60
    assert (int(hours) * 3600 + int(minutes) * 60) * NS + int(seconds.replace(".", "")) == abs(nanos)
    assert recipes.total([Duration.nanoseconds(nanos // 2), Duration.nanoseconds(nanos - nanos // 2)]) == \
        Duration.nanoseconds(nanos)


@examples
@given(st.lists(st.builds(OffsetDateTime.from_utc, instants, offsets), max_size=12))
def test_by_utc_day(stamps):
    days = recipes.by_utc_day(stamps)
    assert [s for group in days.values() for s in group] == sorted(stamps, key=lambda s: s.unix_timestamp_nanos())
    assert list(days) == sorted(days) and len(set(days)) == len(days)
    assert all(s.utc.date == day for day, group in days.items() for s in group)
