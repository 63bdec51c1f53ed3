"""A short tour of kairodex."""

from kairodex import Date, Weekday

print("== Date ==")
leap_day = Date(2024, 2, 29)
print(f"{leap_day!r} prints as {leap_day}")
print(f"it is a {leap_day.weekday()}, day {leap_day.ordinal()} of the year,")
print(f"and {leap_day.days_since_unix_epoch()} days after 1970-01-01")
print(f"a year later: {leap_day.add_days(366)}")
print(f"parsed: {Date.parse('+02024-3-7')!r}")
print(f"the whole 32-bit year range: {Date(-2147483648, 1, 1)} .. {Date(2147483647, 12, 31)}")
print(f"1970-01-01 is a Thursday: {Date(1970, 1, 1).weekday() is Weekday.THURSDAY}")
try:
    Date(2023, 2, 29)
except ValueError as error:
    print(f"Date(2023, 2, 29) -> ValueError: {error}")
