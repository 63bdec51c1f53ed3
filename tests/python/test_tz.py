"""kairodex_tz as its users meet it: where zones come from and which keys
are refused before any file is read, the zones kept by key, zones from bytes
(hostile ones included), the process's own zone, wall-clock readings and
their choices, transitions up to the ends of the range. (Its agreement with
zoneinfo over the whole database is test_tz_zoneinfo.py.)"""
import os
import sys
import threading
import zoneinfo

import kairodex
import pytest
from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset

kairodex_tz = pytest.importorskip("kairodex_tz")
from kairodex_tz import AmbiguousTimeError, SkippedTimeError, TimeZone, Transition, ZoneNotFoundError  # noqa: E402
from tzif_data import PARIS, tzif  # noqa: E402

HAVE_TZDATA = bool(zoneinfo.available_timezones())
needs_tzdata = pytest.mark.skipif(not HAVE_TZDATA, reason="no time zone database (Debian's tzdata) on this system")
FIRST = DateTime.parse("-2147483648-01-01T00:00:00Z")
LAST = DateTime.parse("2147483647-12-31T23:59:59.999999999Z")


def at(text):
    return DateTime.parse(text)


# --- where zones come from --------------------------------------------------------

@pytest.mark.parametrize("key", ["../x", "/etc/localtime", "x/../y", "./x", "x/./y", "x//y", "x/", "", "a\0b",
                                 "C:x", "a\\b", "x" * 256])
def test_keys_that_are_no_normalised_relative_paths_are_refused_before_any_file(key, tmp_path, monkeypatch):
    # A zone file that each refused key would reach from the zone directory.
    directory = tmp_path / "zones"
    directory.mkdir()
    (tmp_path / "x").write_bytes(PARIS)
    (directory / "x").mkdir()
    (directory / "x" / "y").write_bytes(PARIS)
    monkeypatch.setattr(zoneinfo, "TZPATH", (str(directory),))
    with pytest.raises(ValueError, match="invalid time zone key"):
        TimeZone(key)


def test_zones_come_from_the_zone_directories_in_order_then_tzdata(tmp_path, monkeypatch):
    first, second, package = tmp_path / "first", tmp_path / "second", tmp_path / "site" / "tzdata" / "zoneinfo"
    for folder in (first, second / "Test", package / "Test"):
        folder.mkdir(parents=True)
    for folder in (package.parent, package, package / "Test"):
        (folder / "__init__.py").write_text("")
    (second / "Test" / "Dir").write_bytes(tzif(types=((3600, False, "DIR"),)))
    (first / "Test").write_bytes(b"")  # a file where the second directory has a folder: not the zone
    (package / "Test" / "Dir").write_bytes(tzif(types=((7200, False, "PKG"),)))
    (package / "Test" / "Package").write_bytes(tzif(types=((-3600, False, "PKG"),)))
    monkeypatch.setattr(zoneinfo, "TZPATH", (str(first), str(second)))
    monkeypatch.syspath_prepend(str(tmp_path / "site"))
    key = f"Test/Dir{os.getpid()}"  # keys not yet kept from an earlier test
    (second / key).write_bytes(tzif(types=((3600, False, "DIR"),)))
    (package / key.replace("/", os.sep)).write_bytes(tzif(types=((7200, False, "PKG"),)))
    assert TimeZone(key).abbreviation_at(at("2024-01-01T00:00:00Z")) == "DIR"
    package_only = f"Test/Package{os.getpid()}"
    (package / package_only.replace("/", os.sep)).write_bytes(tzif(types=((-3600, False, "PKG"),)))
    assert TimeZone(package_only).offset_at(at("2024-01-01T00:00:00Z")) == UtcOffset.from_seconds(-3600)
    with pytest.raises(ZoneNotFoundError) as info:
        TimeZone(f"Test/Nowhere{os.getpid()}")
    assert isinstance(info.value, KeyError) and "Test/Nowhere" in str(info.value)
    with pytest.raises(ValueError, match="not TZif data"):
        TimeZone("Test")  # the empty file in the first directory


@needs_tzdata
def test_zones_are_kept_by_key_the_same_object_for_every_thread():
    made = []
    barrier = threading.Barrier(8)

    def make():
        barrier.wait()
        made.append(TimeZone("America/Argentina/Buenos_Aires"))

    threads = [threading.Thread(target=make) for _ in range(8)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert len({id(zone) for zone in made}) == 1 and made[0] is TimeZone("America/Argentina/Buenos_Aires")
    assert TimeZone("Europe/Paris") is TimeZone(type("Key", (str,), {})("Europe/Paris"))


@needs_tzdata
def test_available_lists_the_keys_that_load():
    keys = TimeZone.available()
    assert type(keys) is frozenset and keys == frozenset(zoneinfo.available_timezones())
    assert {"Europe/Paris", "UTC", "America/New_York"} <= keys


# --- a zone's face -----------------------------------------------------------------

@needs_tzdata
def test_equality_hash_and_text():
    paris = TimeZone("Europe/Paris")
    with open(zoneinfo.TZPATH[0] + "/Europe/Paris", "rb") as file:
        data = file.read()
    same_key = TimeZone.from_tzif(PARIS, key="Europe/Paris")
    no_key, again = TimeZone.from_tzif(data), TimeZone.from_tzif(bytearray(data))
    assert paris == same_key and hash(paris) == hash(same_key) and paris is not same_key
    assert no_key == again and hash(no_key) == hash(again) and no_key != paris
    assert no_key != TimeZone.from_tzif(PARIS) and paris != "Europe/Paris"
    assert (str(paris), repr(paris), paris.key) == ("Europe/Paris", "TimeZone('Europe/Paris')", "Europe/Paris")
    assert no_key.key is None and str(no_key) == repr(no_key) == f"<time zone from {len(data)} bytes of TZif data>"
    with pytest.raises(TypeError):
        paris < paris
    with pytest.raises(AttributeError):
        paris.key = "x"
    assert type(paris.at(at("2024-06-01T00:00:00Z"))) is kairodex.OffsetDateTime


def test_instant_queries_of_a_table_and_its_rule():
    zone = TimeZone.from_tzif(PARIS, key="Test/Paris")
    cases = [  # instant, offset, abbreviation, daylight saving
        ("1800-01-01T00:00:00Z", 561, "LMT", False),  # before the first transition: the first type
        ("1911-03-10T23:51:38Z", 561, "LMT", False),
        ("1911-03-10T23:51:39Z", 3600, "CET", False),
        ("2024-03-31T00:59:59.999999999Z", 3600, "CET", False),
        ("2024-03-31T01:00:00Z", 7200, "CEST", True),
        ("2024-10-27T01:00:00Z", 3600, "CET", False),  # the last transition, from which the rule goes on
        ("2025-07-01T00:00:00Z", 7200, "CEST", True),
        ("2147483647-07-01T00:00:00Z", 7200, "CEST", True),
        ("2147483647-12-31T23:59:59.999999999Z", 3600, "CET", False),
    ]
    for text, offset, name, dst in cases:
        instant = at(text)
        assert (zone.offset_at(instant).as_seconds(), zone.abbreviation_at(instant), zone.is_dst_at(instant)) == \
            (offset, name, dst), text
        assert zone.at(instant) == OffsetDateTime.from_utc(instant, UtcOffset.from_seconds(offset))


# --- wall-clock readings ---------------------------------------------------------------

READINGS = [  # the reading, then the instant for compatible, earlier, later; None where "raise" refuses
    ("2024-03-31T02:30:00", "2024-03-31T01:30:00Z", "2024-03-31T00:30:00Z", "2024-03-31T01:30:00Z", SkippedTimeError),
    ("2024-03-31T02:00:00", "2024-03-31T01:00:00Z", "2024-03-31T00:00:00Z", "2024-03-31T01:00:00Z", SkippedTimeError),
    ("2024-03-31T01:59:59", "2024-03-31T00:59:59Z", "2024-03-31T00:59:59Z", "2024-03-31T00:59:59Z", None),
    ("2024-03-31T03:00:00", "2024-03-31T01:00:00Z", "2024-03-31T01:00:00Z", "2024-03-31T01:00:00Z", None),
    ("2024-10-27T02:30:00", "2024-10-27T00:30:00Z", "2024-10-27T00:30:00Z", "2024-10-27T01:30:00Z", AmbiguousTimeError),
    ("2024-10-27T02:00:00", "2024-10-27T00:00:00Z", "2024-10-27T00:00:00Z", "2024-10-27T01:00:00Z", AmbiguousTimeError),
    ("2024-10-27T03:00:00", "2024-10-27T02:00:00Z", "2024-10-27T02:00:00Z", "2024-10-27T02:00:00Z", None),
    ("2099-03-29T02:15:00", "2099-03-29T01:15:00Z", "2099-03-29T00:15:00Z", "2099-03-29T01:15:00Z", SkippedTimeError),
    ("2099-10-25T02:15:00", "2099-10-25T00:15:00Z", "2099-10-25T00:15:00Z", "2099-10-25T01:15:00Z", AmbiguousTimeError),
]


@pytest.mark.parametrize("reading, compatible, earlier, later, refusal", READINGS, ids=[r[0] for r in READINGS])
def test_readings_in_gaps_and_folds(reading, compatible, earlier, later, refusal):
    zone = TimeZone.from_tzif(PARIS, key="Test/Paris")
    local = at(reading + "Z")
    date, time = local.date, local.time.__class__(local.time.hour, local.time.minute, local.time.second, 123)
    for choice, expected in (("compatible", compatible), ("earlier", earlier), ("later", later)):
        result = zone.resolve(date, time, choice)
        assert result.utc == at(expected).add_duration(Duration.nanoseconds(123)), choice
        assert result.offset == zone.offset_at(result.utc)  # always the zone's offset at the instant
    assert zone.resolve(date, time) == zone.resolve(date, time, disambiguate="compatible")
    if refusal is None:
        assert zone.resolve(date, time, "raise").utc.unix_timestamp() == at(compatible).unix_timestamp()
        return
    with pytest.raises(refusal) as info:
        zone.resolve(date, time, "raise")
    offsets = ("+01:00", "+02:00") if refusal is SkippedTimeError else ("+02:00", "+01:00")
    words = "does not exist in" if refusal is SkippedTimeError else "is ambiguous in"
    assert isinstance(info.value, ValueError)
    assert str(info.value).startswith(f"{reading}.000000123 {words} Test/Paris")
    assert all(offset in str(info.value) for offset in offsets)


def test_resolve_refuses_other_choices_and_instants_beyond_the_range(raises_noted):
    zone = TimeZone.from_tzif(PARIS)
    raises_noted(ValueError, "disambiguate", lambda: zone.resolve(Date(2024, 1, 1), Time(0, 0, 0), "first"),
                 "expected one of 'compatible', 'earlier', 'later' or 'raise', not 'first'")
    raises_noted(TypeError, "date", lambda: zone.resolve(at("2024-01-01T00:00:00Z"), Time(0, 0, 0)))
    with pytest.raises(ValueError, match="Invalid local datetime: OutOfRange"):
        zone.resolve(Date(-2147483648, 1, 1), Time(0, 0, 0))  # the reading at +00:09:21 precedes the range
    assert zone.resolve(LAST.date, LAST.time).utc == LAST.add_duration(Duration.seconds(-3600))


# --- transitions -----------------------------------------------------------------

def test_transitions_to_the_ends_of_the_range():
    zone = TimeZone.from_tzif(PARIS, key="Test/Paris")
    first = zone.next_transition(FIRST)
    assert (str(first), repr(first)) == ("1911-03-10T23:51:39Z +00:09:21 -> +01:00",
                                          "<Transition 1911-03-10T23:51:39Z +00:09:21 -> +01:00>")
    assert zone.previous_transition(first.instant) is None
    assert zone.previous_transition(first.instant.add_duration(Duration.nanoseconds(1))) == first
    assert zone.next_transition(first.instant.add_duration(Duration.nanoseconds(-1))) == first
    assert zone.next_transition(LAST) is None
    last = zone.previous_transition(LAST)
    assert last.instant == at("2147483647-10-27T01:00:00Z") and last.offset_after == UtcOffset.from_seconds(3600)
    # Lazily, however far they reach; from start (included) to end (excluded).
    everything = zone.transitions(FIRST, LAST)
    assert [next(everything) for _ in range(3)][-1].instant == at("2024-10-27T01:00:00Z")
    year = list(zone.transitions(at("2024-03-31T01:00:00Z"), at("2024-10-27T01:00:00Z")))
    assert [t.instant for t in year] == [at("2024-03-31T01:00:00Z")]
    assert list(zone.transitions(LAST, FIRST)) == []
    assert type(first) is Transition and hash(first) == hash(zone.next_transition(FIRST)) and first < last
    with pytest.raises(TypeError):
        Transition()
    with pytest.raises(TypeError):
        type(everything)()


def test_a_zone_without_transitions_or_rule():
    zone = TimeZone.from_tzif(tzif(types=((-12345, True, "ODD"),), version=b"1"))
    assert zone.next_transition(FIRST) is zone.previous_transition(LAST) is None
    assert list(zone.transitions(FIRST, LAST)) == []
    assert (zone.offset_at(LAST).as_seconds(), zone.abbreviation_at(FIRST), zone.is_dst_at(LAST)) == (-12345, "ODD", True)


# --- hostile data ------------------------------------------------------------------

@needs_tzdata
def test_every_truncation_of_a_zone_file_is_refused():
    with open(zoneinfo.TZPATH[0] + "/America/New_York", "rb") as file:
        data = file.read()
    for size in range(len(data)):
        with pytest.raises(ValueError, match="invalid TZif data"):
            TimeZone.from_tzif(data[:size])
    assert TimeZone.from_tzif(data).offset_at(at("2024-01-01T00:00:00Z")).as_seconds() == -18000


@pytest.mark.parametrize("data, why", [
    (b"TZjf" + PARIS[4:], "not TZif data"),
    (PARIS[:4] + b"5" + PARIS[5:], "unknown TZif version"),
    (tzif([(0, 3)], [(0, False, "UTC")]), "names a local time type beyond"),
    (tzif([(10, 0), (5, 0)]), "not in ascending order"),
    (tzif(types=((90000, False, "FAR"),)), "beyond 24 hours"),
    (PARIS[:-1], "no closing newline"),
    (tzif(footer="CET-1CEST"), "not the dates"),
    (tzif(types=((0, False, "\u00e9t\u00e9"),)), "not ASCII"),
], ids=lambda value: value if isinstance(value, str) else "")
def test_inconsistent_data_says_what_is_wrong(data, why):
    with pytest.raises(ValueError, match=why):
        TimeZone.from_tzif(data)


def test_from_tzif_takes_bytes_like_objects_and_a_str_key(raises_noted):
    for data in (PARIS, bytearray(PARIS), memoryview(PARIS)):
        assert TimeZone.from_tzif(data).offset_at(at("2024-06-01T00:00:00Z")).as_seconds() == 7200
    raises_noted(TypeError, "data", lambda: TimeZone.from_tzif("TZif"))
    raises_noted(TypeError, "key", lambda: TimeZone.from_tzif(PARIS, key=b"Europe/Paris"))
    raises_noted(TypeError, "key", lambda: TimeZone(None))


# --- the process's zone --------------------------------------------------------------

@needs_tzdata
@pytest.mark.parametrize("setting, key", [
    ("Europe/Paris", "Europe/Paris"),
    (":Asia/Tokyo", "Asia/Tokyo"),
    (zoneinfo.TZPATH[0] + "/America/Sao_Paulo" if zoneinfo.TZPATH else "", "America/Sao_Paulo"),
    ("<+0330>-3:30", "<+0330>-3:30"),
    ("EST5EDT,M3.2.0,M11.1.0", "EST5EDT,M3.2.0,M11.1.0"),
])
def test_local_zone_from_tz(setting, key, monkeypatch):
    monkeypatch.setenv("TZ", setting)
    zone = TimeZone.local()
    assert zone.key == key
    if "," in key:  # a rule alone: the same offsets as the zone of that rule
        assert zone.offset_at(at("2024-07-01T00:00:00Z")).as_seconds() == -14400
        assert zone.next_transition(at("2024-01-01T00:00:00Z")).instant == at("2024-03-10T07:00:00Z")


def test_local_zone_refuses_a_tz_that_is_nothing(monkeypatch):
    monkeypatch.setenv("TZ", "Not/A,Zone")
    with pytest.raises(ValueError, match="no time zone key, zone file or POSIX TZ rule"):
        TimeZone.local()


@needs_tzdata
def test_local_zone_without_tz_is_the_systems(monkeypatch):
    monkeypatch.delenv("TZ", raising=False)
    zone = TimeZone.local()
    now = DateTime.now_utc()
    import time
    assert zone.offset_at(now).as_seconds() == time.localtime(now.unix_timestamp()).tm_gmtoff


def test_module_surface():
    assert kairodex_tz.__all__ == ["TimeZone", "Transition", "ZoneNotFoundError", "AmbiguousTimeError",
                                   "SkippedTimeError"]
    assert issubclass(ZoneNotFoundError, KeyError) and issubclass(AmbiguousTimeError, ValueError)
    assert issubclass(SkippedTimeError, ValueError) and not issubclass(SkippedTimeError, AmbiguousTimeError)
    for cls in (TimeZone, Transition, ZoneNotFoundError):
        assert cls.__module__ == "kairodex_tz"
    assert "kairodex_tz" in sys.modules and set(vars(kairodex)) >= {"__all__"}
    assert {n for n in vars(kairodex) if not n.startswith("__")} == set(kairodex.__all__)
