// The value types of the calendar core: plain structs of fields, the rules
// that make those fields valid (leap years, month lengths, the bounds of a
// time of day), the counts since midnight, and the one ordering of each
// type. Every other header computes with these values, the fast paths in
// fast/ included: whatever holds one may take its fields as valid.
#pragma once

#include <compare>
#include <cstdint>

#include "kairodex/calendar_error.hpp"
#include "kairodex/fast/fence.hpp"
#include "kairodex/fast/leap_year.hpp"
#include "kairodex/portable.hpp"

namespace kairodex {

// ---------------------------------------------------------------------------
// Dates
// ---------------------------------------------------------------------------

using year_t = std::int32_t;   // [-2147483648:2147483647], year 0 exists
using month_t = std::uint8_t;  // [1:12]
using day_t = std::uint8_t;    // [1:days_in_month]

struct Date {
    year_t year;
    month_t month;
    day_t day;

    friend constexpr bool operator==(const Date&, const Date&) = default;
};

// 0 = Monday ... 6 = Sunday.
struct Weekday {
    std::uint8_t number;

    friend constexpr bool operator==(const Weekday&, const Weekday&) = default;
};

// Multiple of 4 and not of 100, unless of 400.
constexpr bool plain_is_leap_year(year_t year) noexcept {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr bool is_leap_year(year_t year) noexcept {
    return fast::enabled ? fast::is_leap_year(year) : plain_is_leap_year(year);
}

// 31 for months 1, 3, 5, 7, 8, 10, 12 and 30 for 4, 6, 9, 11: the low bit of
// m, flipped from August on, decides.
constexpr day_t days_in_month(year_t year, month_t month) noexcept {
    if (month == 2) return is_leap_year(year) ? 29 : 28;
    return static_cast<day_t>((month ^ (month >> 3)) | 30);
}

constexpr Result<Date> make_date(year_t year, month_t month, day_t day) noexcept {
    if (month < 1 || month > 12) return CalendarError::InvalidDate;
    if (day < 1 || day > days_in_month(year, month)) return CalendarError::InvalidDate;
    return Date{year, month, day};
}

// ---------------------------------------------------------------------------
// Times of day
// ---------------------------------------------------------------------------

struct Time {
    std::uint8_t hour;         // [0:23]
    std::uint8_t minute;       // [0:59]
    std::uint8_t second;       // [0:59], no leap seconds
    std::uint32_t nanosecond;  // [0:999999999]

    friend constexpr bool operator==(const Time&, const Time&) = default;
};

// Nanoseconds in one second.
constexpr std::uint32_t nanos_per_second = 1000000000;

constexpr Result<Time> make_time(std::uint8_t hour, std::uint8_t minute, std::uint8_t second,
                                 std::uint32_t nanosecond) noexcept {
    if (hour >= 24 || minute >= 60 || second >= 60 || nanosecond >= nanos_per_second) {
        return CalendarError::InvalidTime;
    }
    return Time{hour, minute, second, nanosecond};
}

constexpr std::uint32_t seconds_since_midnight(Time time) noexcept {
    return time.hour * 3600u + time.minute * 60u + time.second;
}

constexpr std::uint64_t nanos_since_midnight(Time time) noexcept {
    return std::uint64_t{seconds_since_midnight(time)} * nanos_per_second + time.nanosecond;
}

// ---------------------------------------------------------------------------
// Durations, offsets and instants
// ---------------------------------------------------------------------------

// Every 128-bit count is a valid duration.
struct Duration {
    i128 nanos;

    friend constexpr bool operator==(const Duration&, const Duration&) = default;
    friend constexpr auto operator<=>(const Duration&, const Duration&) = default;
};

struct UtcOffset {
    std::int32_t seconds;  // [-86400:86400], local time minus UTC

    friend constexpr bool operator==(const UtcOffset&, const UtcOffset&) = default;
    friend constexpr auto operator<=>(const UtcOffset&, const UtcOffset&) = default;
};

constexpr bool is_utc(UtcOffset offset) noexcept { return offset.seconds == 0; }

// An instant in UTC.
struct DateTime {
    Date date;
    Time time;

    friend constexpr bool operator==(const DateTime&, const DateTime&) = default;
};

// An instant and the fixed offset it is shown in. Equal values show the same
// local reading; ordering looks at the instant only, so equivalent values may
// still differ in their offsets.
struct OffsetDateTime {
    DateTime utc;
    UtcOffset offset;

    friend constexpr bool operator==(const OffsetDateTime&, const OffsetDateTime&) = default;
};

// ---------------------------------------------------------------------------
// Orderings: one key per type, read straight off the fields
// ---------------------------------------------------------------------------

// The year with its sign bit flipped (signed order as unsigned), then month
// and day.
constexpr std::uint64_t calendar_order(Date date) noexcept {
    return std::uint64_t{static_cast<std::uint32_t>(date.year) ^ 0x80000000u} << 16 | std::uint64_t{date.month} << 8 |
           date.day;
}

// The fields side by side, most significant first.
constexpr std::uint64_t calendar_order(Time time) noexcept {
    return std::uint64_t{time.hour} << 48 | std::uint64_t{time.minute} << 40 | std::uint64_t{time.second} << 32 |
           time.nanosecond;
}

// The date's key, then the time of day's: the order of instants, without a
// count since the epoch.
constexpr u128 calendar_order(DateTime value) noexcept {
    return static_cast<u128>(calendar_order(value.date)) << 64 | calendar_order(value.time);
}

constexpr std::strong_ordering operator<=>(const Time& a, const Time& b) noexcept {
    return calendar_order(a) <=> calendar_order(b);
}

constexpr std::strong_ordering operator<=>(const DateTime& a, const DateTime& b) noexcept {
    return calendar_order(a) <=> calendar_order(b);
}

constexpr std::weak_ordering operator<=>(const OffsetDateTime& a, const OffsetDateTime& b) noexcept {
    return a.utc <=> b.utc;
}

}  // namespace kairodex
