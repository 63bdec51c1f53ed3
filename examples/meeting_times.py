"""A weekly meeting, shown on the wall clocks of the people who attend it.

    python3.15 examples/meeting_times.py [FIRST-DATE]

The meeting is on Tuesdays at 16:30 in the organiser's office, at UTC+02:00,
from FIRST-DATE (default 2024-12-01) for six weeks, skipping the office's
holidays. Every clock here is a fixed UTC offset: kairodex has offsets, not
time-zone rules, so a place that changes its offset during the year needs the
offset in force on the day.
"""

import sys
from collections.abc import Iterator

from kairodex import Date, OffsetDateTime, Time, UtcOffset, Weekday

OFFICE = UtcOffset.from_hours_minutes(True, 2, 0)
ATTENDEES = {
    "Recife": UtcOffset.from_hours_minutes(False, 3, 0),
    "Kathmandu": UtcOffset.from_hours_minutes(True, 5, 45),
    "Auckland": UtcOffset.from_hours_minutes(True, 13, 0),
}
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


def wall_clock(meeting: OffsetDateTime, offset: UtcOffset) -> str:
    """The meeting's start on a clock at `offset`: weekday and hh:mm."""
    local = OffsetDateTime.from_utc(meeting.utc, offset).to_local()
    return f"{str(local.date.weekday())[:3]} {str(local.time)[:5]}"


def main(first: Date) -> None:
    for day in tuesdays(first, 6):
        if day in HOLIDAYS:
            print(f"{day}  no meeting (holiday)")
            continue
        meeting = OffsetDateTime.from_local(day, START, OFFICE)
        clocks = "  ".join(f"{place} {wall_clock(meeting, offset)}" for place, offset in ATTENDEES.items())
        print(f"{meeting}  {clocks}")


if __name__ == "__main__":
    main(Date.parse(sys.argv[1]) if len(sys.argv) > 1 else Date(2024, 12, 1))
