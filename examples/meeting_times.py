"""A weekly meeting, shown on the wall clocks of the people who attend it.

    python3.15 examples/meeting_times.py [FIRST-DATE]

The meeting is on Tuesdays at 16:30 on the organiser's office clock in
Berlin, from FIRST-DATE (default 2024-10-15) for six weeks, skipping the
office's holidays. The clocks are named time zones (kairodex_tz): Berlin
turns its clocks back on the last Sunday of October, Recife keeps the same
offset all year, Kathmandu has a quarter-hour offset and Auckland is in its
summer, so the meeting moves on some clocks and not on others.
"""

import sys
from collections.abc import Iterator

from kairodex import Date, OffsetDateTime, Time, Weekday
from kairodex_tz import TimeZone

OFFICE = TimeZone("Europe/Berlin")
ATTENDEES = {place: TimeZone(key) for place, key in
             [("Recife", "America/Recife"), ("Kathmandu", "Asia/Kathmandu"), ("Auckland", "Pacific/Auckland")]}
HOLIDAYS = {Date(2024, 12, 24), Date(2024, 12, 31)}
START = Time(16, 30, 0)


def tuesdays(first: Date, weeks: int) -> Iterator[Date]:
    day = first
    # The seven Weekday values are unique objects: test them with `is`.
    while day.weekday() is not Weekday.TUESDAY:
        day = day.add_days(1)
    for _ in range(weeks):
        yield day
        day = day.add_days(7)


def wall_clock(meeting: OffsetDateTime, zone: TimeZone) -> str:
    """The meeting's start on a clock in `zone`: weekday and hh:mm."""
    local = zone.at(meeting.utc).to_local()
    return f"{str(local.date.weekday())[:3]} {str(local.time)[:5]}"


def main(first: Date) -> None:
    for day in tuesdays(first, 6):
        if day in HOLIDAYS:
            print(f"{day}  no meeting (holiday)")
            continue
        # 16:30 happens exactly once on every Tuesday in Berlin; "raise" says
        # so should the office ever move its clocks at that hour.
        meeting = OFFICE.resolve(day, START, "raise")
        clocks = "  ".join(f"{place} {wall_clock(meeting, zone)}" for place, zone in ATTENDEES.items())
        print(f"{meeting}  {clocks}")


if __name__ == "__main__":
    main(Date.parse(sys.argv[1]) if len(sys.argv) > 1 else Date(2024, 10, 15))
