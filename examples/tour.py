"""A short tour of kairodex: seven immutable calendar values, exact to the nanosecond."""

from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset, Weekday

print("== Date: proleptic Gregorian, every signed 32-bit year ==")
leap_day = Date(2024, 2, 29)
print(f"{leap_day!r} prints as {leap_day}")
print(f"it is a {leap_day.weekday()}, day {leap_day.ordinal()} of the year,")
print(f"and {leap_day.days_since_unix_epoch()} days after 1970-01-01")
print(f"a year later: {leap_day.add_days(366)}")
print(f"parsed: {Date.parse('+02024-3-7')!r}")
print(f"the whole range: {Date(-2147483648, 1, 1)} .. {Date(2147483647, 12, 31)}")
print(f"1970-01-01 is a Thursday: {Date(1970, 1, 1).weekday() is Weekday.THURSDAY}")
try:
    Date(2023, 2, 29)
except ValueError as error:
    print(f"Date(2023, 2, 29) -> ValueError: {error}")

print("\n== Time: a time of day with nanoseconds ==")
lunch = Time.parse("12:30:45.5")
print(f"{lunch!r} prints as {lunch}")
print(f"{lunch.nanos_since_midnight()} ns since midnight")

print("\n== Duration: signed 128-bit nanoseconds, exact arithmetic ==")
meeting = Duration.seconds(90 * 60)
print(f"{meeting} = {meeting.total_seconds()} s; {meeting - Duration.milliseconds(1500)!r}")
try:
    Duration.nanoseconds(2**127 - 1) + Duration.nanoseconds(1)
except OverflowError as error:
    print(f"the largest duration plus 1 ns -> OverflowError: {error}")

print("\n== DateTime: a UTC instant ==")
launch = DateTime.parse("2024-01-01T12:00:00.000000001Z")
print(f"{launch!r}: {launch.unix_timestamp()} s, {launch.unix_timestamp_nanos()} ns since the epoch")
print(f"plus {meeting}: {launch.add_duration(meeting)}")
print(f"the last instant: {DateTime.from_unix_timestamp(67767976233532799, 999999999)}")
now = DateTime.now_utc()
print(f"now: {now}, {now.difference(launch).total_seconds():.0f} s after the launch")

print("\n== UtcOffset and OffsetDateTime: instants shown at a fixed offset ==")
india = UtcOffset.from_hours_minutes(True, 5, 30)
print(f"{india!r} prints as {india}")
stamp = OffsetDateTime.parse("2024-06-01T09:30:00+02:00")
local = stamp.to_local()
print(f"{stamp!r}: UTC {stamp.utc}, local wall clock {local.date} {local.time}")
same_instant = OffsetDateTime.from_utc(stamp.utc, india)
print(f"the same instant at {india}: {same_instant}")
print(f"equal? {stamp == same_instant} (offsets differ); ordered alike? {stamp <= same_instant <= stamp}")
print(f"whitespace around RFC 3339 text is trimmed: {OffsetDateTime.parse(' 2024-06-01 09:30:00Z\n')}")
