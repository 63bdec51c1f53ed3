// Proleptic Gregorian dates over the whole signed 32-bit year range: day
// counts since 1970-01-01 in both directions, steps of days, weekdays,
// ordinals, the date grammar and the date text form. (The Date struct, leap
// years and month lengths are in values.hpp.)
#pragma once

#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/fast/day_count.hpp"
#include "kairodex/fast/fence.hpp"
#include "kairodex/fast/fixed_layout.hpp"
#include "kairodex/fast/short_steps.hpp"
#include "kairodex/fast/text_words.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/text_buffer.hpp"
#include "kairodex/text_scan.hpp"
#include "kairodex/values.hpp"

namespace kairodex {

// The day counts of the first and the last representable date.
constexpr std::int64_t min_days_since_unix_epoch = -784353015833;  // -2147483648-01-01
constexpr std::int64_t max_days_since_unix_epoch = 784351576776;   // 2147483647-12-31

// ---------------------------------------------------------------------------
// Day counts since 1970-01-01
// ---------------------------------------------------------------------------

// The plain counts take years from 1 March, so that the leap day ends them:
// January and February belong to the year before. Those years fall into eras
// of 400 years, each 146097 days long (the Gregorian cycle repeats after
// 400 years), the first era starting on 0000-03-01, 719468 days before
// 1970-01-01. Within an era the same steps hold for every era, so one era is
// enough to check them by.

// Days from 1970-01-01 to `date`, negative before it.
constexpr std::int64_t plain_days_since_unix_epoch(Date date) noexcept {
    const std::int64_t year = std::int64_t{date.year} - (date.month <= 2);  // the year from 1 March
    const std::int64_t era = floor_div<std::int64_t>(year, 400);
    const auto year_of_era = static_cast<std::uint32_t>(year - era * 400);                      // [0, 399]
    const std::uint32_t month_from_march = date.month > 2 ? date.month - 3u : date.month + 9u;  // [0, 11]
    // Five months from March hold 153 days (31 30 31 30 31), and so do the
    // next five: month m from March starts (153 m + 2) / 5 days in.
    const std::uint32_t day_of_year = (153 * month_from_march + 2) / 5 + date.day - 1;  // [0, 365]
    // 365 days to a year, and a leap day ending every fourth but the 100th,
    // 200th and 300th.
    const std::uint32_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

// The date `days` days after 1970-01-01, for every count from the first to the
// last representable date.
constexpr Result<Date> plain_from_days_since_unix_epoch(std::int64_t days) noexcept {
    if (days < min_days_since_unix_epoch || days > max_days_since_unix_epoch) return CalendarError::OutOfRange;
    const std::int64_t since_0000_03_01 = days + 719468;
    const std::int64_t era = floor_div<std::int64_t>(since_0000_03_01, 146097);
    const auto day_of_era = static_cast<std::uint32_t>(since_0000_03_01 - era * 146097);  // [0, 146096]
    // Take away the leap days before the day: one after every 1460 days (each
    // four years end with one), none after every 36524 (each century's last
    // year has none), and the era's last day, 146096 (its 400th year has one
    // again). What is left counts 365 days to every year.
    const std::uint32_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;  // [0, 399]
    const std::uint32_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);  // [0, 365]
    // The inverse of the month starts (153 m + 2) / 5 above.
    const std::uint32_t month_from_march = (5 * day_of_year + 2) / 153;  // [0, 11]
    const std::uint32_t day = day_of_year - (153 * month_from_march + 2) / 5 + 1;
    const std::uint32_t month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
    const std::int64_t year = era * 400 + year_of_era + (month <= 2);
    return Date{static_cast<year_t>(year), static_cast<month_t>(month), static_cast<day_t>(day)};
}

constexpr std::int64_t days_since_unix_epoch(Date date) noexcept {
    return fast::enabled ? fast::days_since_unix_epoch(date) : plain_days_since_unix_epoch(date);
}

constexpr Result<Date> from_days_since_unix_epoch(std::int64_t days) noexcept {
    return fast::enabled ? fast::from_days_since_unix_epoch(days) : plain_from_days_since_unix_epoch(days);
}

// ---------------------------------------------------------------------------
// Steps, weekdays and ordinals
// ---------------------------------------------------------------------------

// The day count, moved by `days`, back to a date.
constexpr Result<Date> plain_add_days(Date date, std::int64_t days) noexcept {
    std::int64_t sum = 0;
    if (add_overflow(days_since_unix_epoch(date), days, &sum)) {
        return CalendarError::OutOfRange;
    }
    return from_days_since_unix_epoch(sum);
}

constexpr Result<Date> add_days(Date date, std::int64_t days) noexcept {
    return fast::enabled ? fast::add_days<plain_add_days>(date, days) : plain_add_days(date, days);
}

// 1970-01-01, day 0, is a Thursday (3).
constexpr Weekday weekday(Date date) noexcept {
    // The day count shifted by a multiple of 7 (7 * 2^40) that makes it
    // positive for every date, so that an unsigned remainder serves.
    constexpr std::uint64_t positive = std::uint64_t{7} << 40;
    return Weekday{
        static_cast<std::uint8_t>((static_cast<std::uint64_t>(days_since_unix_epoch(date)) + positive + 3) % 7)};
}

constexpr unsigned number_from_monday(Weekday weekday) noexcept { return weekday.number + 1u; }

inline constexpr std::string_view weekday_names[7] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                      "Friday", "Saturday", "Sunday"};

constexpr std::string_view name_of(Weekday weekday) noexcept { return weekday_names[weekday.number % 7]; }

// Days of a common year before each month.
inline constexpr std::uint16_t days_before_month[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Day of the year, 1 ..= 366.
constexpr std::uint16_t ordinal(Date date) noexcept {
    const bool after_leap_day = date.month > 2 && is_leap_year(date.year);
    return static_cast<std::uint16_t>(days_before_month[date.month - 1] + date.day + after_leap_day);
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

// "[+-]Y...-M...-D..." with any number of leading zeros in each field. The
// first byte is never a separator, so a leading '-' is the year's sign. Out
// of line, so that the fast path inlines into the callers of parse_date.
KAIRODEX_NOINLINE constexpr Result<Date> plain_parse_date(std::string_view text) noexcept {
    if (text.empty()) return CalendarError::InvalidDate;
    std::size_t separators[2] = {0, 0};
    int count = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '-') {
            if (count == 2) return CalendarError::InvalidDate;
            separators[count++] = i;
        }
    }
    if (count != 2) return CalendarError::InvalidDate;

    std::string_view year_field = impl::part(text, 0, separators[0]);
    const bool negative = year_field[0] == '-';
    if (year_field[0] == '+' || negative) year_field.remove_prefix(1);
    std::uint64_t year = 0, month = 0, day = 0;
    if (!impl::read_bounded(year_field, negative ? 2147483648u : 2147483647u, year) ||
        !impl::read_bounded(impl::part(text, separators[0] + 1, separators[1] - separators[0] - 1), 12, month) ||
        !impl::read_bounded(impl::part(text, separators[1] + 1), 31, day)) {
        return CalendarError::InvalidDate;
    }
    const auto signed_year = negative ? -static_cast<std::int64_t>(year) : static_cast<std::int64_t>(year);
    return make_date(static_cast<year_t>(signed_year), static_cast<month_t>(month), static_cast<day_t>(day));
}

constexpr Result<Date> parse_date(std::string_view text) noexcept {
    return fast::enabled ? fast::parse_date<plain_parse_date>(text) : plain_parse_date(text);
}

// The year padded to four characters (the sign counted among them), then
// "-MM-DD": "0005-01-01", "-001-12-31", "12345-06-07".
template <class Out>
KAIRODEX_NOINLINE constexpr void plain_write_date(Out& out, Date date) noexcept {
    if (date.year < 0) {
        out.put('-');
        plain_put_unsigned(out, 0u - static_cast<std::uint32_t>(date.year), 3);
    } else {
        plain_put_unsigned(out, static_cast<std::uint32_t>(date.year), 4);
    }
    out.put('-');
    plain_put_unsigned(out, date.month, 2);
    out.put('-');
    plain_put_unsigned(out, date.day, 2);
}

template <class Out>
constexpr void write_date(Out& out, Date date) noexcept {
    fast::enabled ? fast::write_date<plain_write_date<Out>>(out, date) : plain_write_date(out, date);
}

}  // namespace kairodex
