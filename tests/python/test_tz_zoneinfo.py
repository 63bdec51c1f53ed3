"""kairodex_tz against the standard library's zoneinfo, zone by zone over
every key of the system's time zone database: offsets, abbreviations and
daylight saving flags at every transition and a second either side of it,
at instants every few days from 1800 to 2200 and at random ones over years 1
to 9999; the instants of wall-clock readings in, at the edges of and around
every gap and fold, for each way of choosing. Beyond datetime's years, the
footer's rule by its 400-year period and against zdump."""
import datetime as std
import random
import re
import shutil
import subprocess
import zoneinfo

import pytest
from kairodex import Date, DateTime, Time

kairodex_tz = pytest.importorskip("kairodex_tz")
TimeZone = kairodex_tz.TimeZone

KEYS = sorted(zoneinfo.available_timezones())
pytestmark = pytest.mark.skipif(not KEYS, reason="no time zone database (Debian's tzdata) on this system")


def pytest_generate_tests(metafunc):
    """Every key, or with --zone-keys=N an even sample of N of them (the
    environments that run the suite again on slower builds take a sample)."""
    if "key" in metafunc.fixturenames:
        wanted = metafunc.config.getoption("zone_keys")
        keys = KEYS if not wanted or wanted >= len(KEYS) else KEYS[::-(-len(KEYS) // wanted)]
        metafunc.parametrize("key", keys)

UTC = std.timezone.utc
STEP = 5 * 86400 + 3 * 3600 + 17  # every five days, at drifting times of day
FIRST, LAST = -5364662400, 7258118400  # 1800-01-01 and 2200-01-01
STD_FIRST, STD_LAST = -62135596800 + 2 * 86400, 253402300799 - 2 * 86400  # datetime's years, a margin for offsets
PERIOD = 146097 * 86400  # 400 Gregorian years: the calendar, and so every rule, repeats
COUNTS = {"keys": 0, "instants": 0, "readings": 0}


def instant(seconds):
    return DateTime.from_unix_timestamp(seconds)


def theirs(zone, seconds):
    """zoneinfo's offset (seconds), abbreviation and daylight saving flag at an instant."""
    local = std.datetime.fromtimestamp(seconds, zone)
    return int(local.utcoffset().total_seconds()), local.tzname(), bool(local.dst())


def ours(zone, seconds):
    at = instant(seconds)
    return zone.offset_at(at).as_seconds(), zone.abbreviation_at(at), zone.is_dst_at(at)


def their_transition(zone, low, high):
    """The first instant in (low, high] whose offset differs from low's, by bisection."""
    before = theirs(zone, low)[0]
    while high - low > 1:
        middle = (low + high) // 2
        if theirs(zone, middle)[0] == before:
            low = middle
        else:
            high = middle
    return high


def reading(seconds):
    """The wall-clock reading `seconds` (counted as if in UTC) as a Date, a Time and a naive datetime."""
    naive = std.datetime(1970, 1, 1) + std.timedelta(seconds=seconds)
    return Date(naive.year, naive.month, naive.day), Time(naive.hour, naive.minute, naive.second), naive


# In a fold the earlier instant is fold 0, the later fold 1; in a gap the
# earlier is fold 1 and the later fold 0; "compatible" is always fold 0.
FOLDS = {("compatible", False): 0, ("earlier", False): 0, ("later", False): 1,
         ("compatible", True): 0, ("earlier", True): 1, ("later", True): 0}


def check_readings(mine, zone, transition):
    """Readings inside, at the edges of and around the gap or fold of a transition."""
    start = transition.instant.unix_timestamp()
    before, after = transition.offset_before.as_seconds(), transition.offset_after.as_seconds()
    low, high = start + min(before, after), start + max(before, after)
    gap = after > before
    for local in {low - 3601, low - 1, low, (low + high) // 2, high - 1, high, high + 1, high + 3600}:
        if not STD_FIRST <= local <= STD_LAST:
            continue
        date, time, naive = reading(local)
        inside = low <= local < high
        for choice in ("compatible", "earlier", "later"):
            fold = FOLDS[choice, gap and inside]
            offset = naive.replace(tzinfo=zone, fold=fold).utcoffset().total_seconds()
            expected = instant(local - int(offset))
            got = mine.resolve(date, time, choice)
            assert got.utc == expected, (mine.key, naive, choice, str(transition))
            assert got.offset == mine.offset_at(got.utc)
            COUNTS["readings"] += 1
        strict = (date, time, "raise")
        if inside:
            with pytest.raises(kairodex_tz.SkippedTimeError if gap else kairodex_tz.AmbiguousTimeError):
                mine.resolve(*strict)
        else:
            assert mine.resolve(*strict).utc == mine.resolve(date, time).utc


def test_zone_agrees_with_zoneinfo(key):
    zone, mine = zoneinfo.ZoneInfo(key), TimeZone(key)
    rng = random.Random(key)
    # Instants every few days from 1800 to 2200: where zoneinfo's offset
    # changes between two of them, our next transition is the instant it
    # changes at.
    previous = FIRST
    expected = theirs(zone, previous)
    assert ours(mine, previous) == expected, (key, previous)
    for seconds in range(FIRST + STEP, LAST, STEP):
        now = theirs(zone, seconds)
        assert ours(mine, seconds) == now, (key, instant(seconds))
        if now[0] != expected[0]:
            change = mine.next_transition(instant(previous))
            assert change is not None and change.instant.unix_timestamp() == their_transition(zone, previous, seconds)
        previous, expected = seconds, now
        COUNTS["instants"] += 1
    # Every transition of those years, a second either side, and the readings around it.
    for transition in mine.transitions(instant(FIRST), instant(LAST)):
        start = transition.instant.unix_timestamp()
        for seconds in (start - 1, start, start + 1):
            assert ours(mine, seconds) == theirs(zone, seconds), (key, instant(seconds))
        assert transition.offset_before.as_seconds() == theirs(zone, start - 1)[0]
        assert transition.offset_after.as_seconds() == theirs(zone, start)[0]
        check_readings(mine, zone, transition)
        COUNTS["instants"] += 3
    # Random instants over datetime's whole range, and readings there.
    for _ in range(60):
        seconds = rng.randrange(STD_FIRST, STD_LAST)
        assert ours(mine, seconds) == theirs(zone, seconds), (key, instant(seconds))
        date, time, naive = reading(seconds)
        offset = naive.replace(tzinfo=zone).utcoffset().total_seconds()
        assert mine.resolve(date, time).utc == instant(seconds - int(offset))
        COUNTS["instants"] += 1
        COUNTS["readings"] += 1
    COUNTS["keys"] += 1


def test_rule_repeats_every_400_years_to_the_end_of_the_range(key):
    mine = TimeZone(key)
    rng = random.Random(key)
    last = mine.previous_transition(DateTime.parse("2200-01-01T00:00:00Z"))
    start = max(LAST, last.instant.unix_timestamp() if last else LAST)
    end = DateTime.parse("2147483247-01-01T00:00:00Z").unix_timestamp()  # 400 years before the range ends
    for _ in range(40):
        seconds = rng.randrange(start, end)
        assert ours(mine, seconds) == ours(mine, seconds + PERIOD), (key, instant(seconds))
    # The transitions of a year far out are those of the same year 400 years on, moved by the period.
    year = rng.randrange(10**6, 2 * 10**9)
    first, then = (DateTime(Date(y, 1, 1), Time(0, 0, 0)) for y in (year, year + 1))
    shifted = [t.instant.unix_timestamp() + PERIOD for t in mine.transitions(first, then)]
    later = [t.instant.unix_timestamp() for t in mine.transitions(*(DateTime(Date(y, 1, 1), Time(0, 0, 0))
                                                                   for y in (year + 400, year + 401)))]
    assert shifted == later


ZDUMP = shutil.which("zdump")
ZDUMP_LINE = re.compile(r" \d\d:\d\d:\d\d (-?\d+) UT = .* isdst=(\d) gmtoff=(-?\d+)$")


@pytest.mark.skipif(ZDUMP is None, reason="zdump is not installed")
@pytest.mark.parametrize("zdump_key", ["America/New_York", "Europe/Paris", "Australia/Sydney", "America/Santiago",
                                 "Africa/Casablanca", "Pacific/Auckland", "Asia/Jerusalem", "Europe/Dublin"])
@pytest.mark.parametrize("years", [(2400, 2403), (1000000, 1000002), (3000000, 3000002)])  # as far as zdump reaches
def test_far_years_agree_with_zdump(zdump_key, years):
    key = zdump_key
    mine = TimeZone(key)
    out = subprocess.run([ZDUMP, "-v", "-c", f"{years[0]},{years[1]}", key], capture_output=True, text=True,
                         check=True).stdout
    # zdump -v gives each transition of the years as two lines, the second
    # before and the second of it (and the ends of its own range besides).
    changes = [int(m.group(3)) for m in map(ZDUMP_LINE.search, out.splitlines())
               if m and years[0] <= int(m.group(1)) < years[1]]
    start, end = (DateTime(Date(y, 1, 1), Time(0, 0, 0)) for y in years)
    ours_ = [(t.offset_before.as_seconds(), t.offset_after.as_seconds()) for t in mine.transitions(start, end)]
    theirs_ = [(changes[i], changes[i + 1]) for i in range(0, len(changes) - 1, 2) if changes[i] != changes[i + 1]]
    assert ours_ == theirs_ and len(ours_) >= (2 if key != "Africa/Casablanca" else 0)


def test_counts():
    """The size of the comparison, for the record (printed with -s)."""
    print(f"zoneinfo differential: {COUNTS['keys']} keys, {COUNTS['instants']} instants, "
          f"{COUNTS['readings']} readings")
