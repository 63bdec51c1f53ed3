// Short steps taken on the fields, without the day counts: a step of days
// that stays within the days 1 to 28, and a move of an instant by at most a
// day, as offsets move it. The plain steps (date.hpp, offset_datetime.hpp) go
// through the counts, and take every step these do not cover.
#pragma once

#include <cstdint>

#include "kairodex/calendar_error.hpp"
#include "kairodex/values.hpp"

namespace kairodex::fast {

// A step that lands on the days 1 to 28, which every month has, changes the
// day alone; any other step goes to `plain`. (The sum is taken modulo 2^64; a
// true sum outside 0 ..= 27 cannot wrap into that range.)
template <auto plain>
constexpr Result<Date> add_days(Date date, std::int64_t days) noexcept {
    if (const std::uint64_t day = static_cast<std::uint64_t>(days) + date.day - 1; day < 28) {
        return Date{date.year, date.month, static_cast<day_t>(day + 1)};
    }
    return plain(date, days);
}

// The date before (`step` -1), at (0) or after (1) `date`, from its fields:
// every choice is a select, so no branch depends on the date.
constexpr Result<Date> step_day(Date date, int step) noexcept {
    const bool into_next = step > 0 && date.day == days_in_month(date.year, date.month);
    const bool into_previous = step < 0 && date.day == 1;
    const int month = date.month + into_next - into_previous;  // 0 ..= 13
    const std::int64_t year = std::int64_t{date.year} + (month == 13) - (month == 0);
    if (year < INT32_MIN || year > INT32_MAX) return CalendarError::OutOfRange;
    const auto new_month = static_cast<month_t>(month == 13 ? 1 : month == 0 ? 12 : month);
    const int day = into_next       ? 1
                    : into_previous ? days_in_month(static_cast<year_t>(year), new_month)
                                    : date.day + step;
    return Date{static_cast<year_t>(year), new_month, static_cast<day_t>(day)};
}

// `value` moved by `seconds`, a day at most either way: only the time of day
// and, past midnight, one step of the date; longer moves go to `plain`. The
// nanosecond never moves.
template <auto plain>
constexpr Result<DateTime> move_seconds(DateTime value, std::int64_t seconds) noexcept {
    if (seconds < -86400 || seconds > 86400) return plain(value, seconds);
    const std::int64_t second = seconds_since_midnight(value.time) + seconds;  // -86400 ..= 172799
    const int step = (second >= 86400) - (second < 0);
    const Result<Date> date = step_day(value.date, step);
    if (!date) return date.error();
    const auto second_of_day = static_cast<std::uint32_t>(second - step * 86400);
    return DateTime{*date, Time{static_cast<std::uint8_t>(second_of_day / 3600),
                                static_cast<std::uint8_t>(second_of_day % 3600 / 60),
                                static_cast<std::uint8_t>(second_of_day % 60), value.time.nanosecond}};
}

// `value` moved by whole minutes, less than a day either way, as offsets read
// from text are: only the hour, the minute and at midnight the date change.
constexpr Result<DateTime> move_minutes(DateTime value, int minutes) noexcept {
    const int minute = value.time.hour * 60 + value.time.minute + minutes;  // -1439 ..= 2878
    const int step = (minute >= 1440) - (minute < 0);
    const Result<Date> date = step_day(value.date, step);
    if (!date) return date.error();
    const auto minute_of_day = static_cast<unsigned>(minute - step * 1440);
    return DateTime{*date,
                    Time{static_cast<std::uint8_t>(minute_of_day / 60), static_cast<std::uint8_t>(minute_of_day % 60),
                         value.time.second, value.time.nanosecond}};
}

}  // namespace kairodex::fast
