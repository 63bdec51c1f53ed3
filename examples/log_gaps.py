"""Gaps between the events of a log whose lines start with an RFC 3339 time stamp.

    python3.15 examples/log_gaps.py [LOG]

Each line is "<time stamp> <message>". The stamps may carry different offsets
(hosts in other places, a clock switched to UTC), so gaps are measured between
instants with `difference`, exactly to the nanosecond. Reads LOG, or a built-in
sample without one; prints the gap before each event and flags lines that are
not time-stamped, lines that go back in time and long quiet periods.
"""

import sys

from kairodex import Duration, OffsetDateTime

SAMPLE = """\
2024-06-01T09:30:00+02:00 backup started
2024-06-01T07:30:02.25Z backup: 1200 files read
2024-06-01T09:31:15.5+02:00 backup finished
2024-06-01T03:45:00-04:00 upload started
2024-06-01T07:44:59.999999999Z clock check (a host running slightly behind)
2024-06-01 13:15:00.000000125+05:30 upload finished
garbled line without a time stamp
2024-06-01T07:45:00.000000125Z upload verified
"""

ZERO = Duration.nanoseconds(0)
QUIET = Duration.seconds(10 * 60)  # longer gaps than this are worth a look


def describe(gap: Duration) -> str:
    """A duration as ±[H h ]MM min SS[.fffffffff] s, exact to the nanosecond."""
    nanos = gap.total_nanos()
    sign = "-" if nanos < 0 else "+"
    seconds, fraction = divmod(abs(nanos), 1_000_000_000)
    hours, rest = divmod(seconds, 3600)
    minutes, seconds = divmod(rest, 60)
    text = f"{minutes:02} min {seconds:02}"
    if fraction:
        text += f".{fraction:09}".rstrip("0")
    text += " s"
    return f"{sign}{hours} h {text}" if hours else sign + text


def split_line(line: str) -> tuple[OffsetDateTime, str] | None:
    """The time stamp and the message of a line, or None without a stamp."""
    fields = line.split(" ", 2)
    # RFC 3339 allows a space between date and time: try two fields, then one.
    for count in (2, 1):
        try:
            return OffsetDateTime.parse(" ".join(fields[:count])), " ".join(fields[count:])
        except ValueError:
            pass
    return None


def main(lines: list[str]) -> None:
    previous: OffsetDateTime | None = None
    longest = ZERO
    for number, line in enumerate(lines, start=1):
        entry = split_line(line.strip())
        if entry is None:
            print(f"line {number}: no time stamp, skipped: {line.strip()!r}")
            continue
        stamp, message = entry
        if previous is None:
            print(f"{stamp}  {message}")
        else:
            gap = stamp.difference(previous)
            note = ""
            if gap < ZERO:
                note = "  <- goes back in time"
            elif gap == ZERO and stamp != previous:
                note = "  <- same instant, other offset"  # == also compares the offsets
            elif gap > QUIET:
                note = "  <- quiet period"
            longest = max(longest, gap)
            print(f"{stamp}  {message}  ({describe(gap)}){note}")
        previous = stamp
    print(f"longest gap: {describe(longest)}")


if __name__ == "__main__":
    if len(sys.argv) > 1:
        with open(sys.argv[1], encoding="utf-8") as log:
            main(log.readlines())
    else:
        main(SAMPLE.splitlines())
