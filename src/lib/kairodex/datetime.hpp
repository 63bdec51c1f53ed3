// Instants in UTC: a date and a time of day, convertible to and from counts
// of seconds and nanoseconds since 1970-01-01T00:00:00Z, shifted by durations,
// read from the system clock's formats, parsed and written.
#pragma once

#include <compare>
#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/date.hpp"
#include "kairodex/duration.hpp"
#include "kairodex/fixed_layout.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/text_buffer.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"

namespace kairodex {

struct DateTime {
    Date date;
    Time time;

    friend constexpr bool operator==(const DateTime&, const DateTime&) = default;
};

// Unix timestamps of the first and the last representable second:
// -2147483648-01-01T00:00:00Z and 2147483647-12-31T23:59:59Z.
constexpr std::int64_t min_unix_timestamp = -67768100567971200;
constexpr std::int64_t max_unix_timestamp = 67767976233532799;

// Seconds since 1970-01-01T00:00:00Z, leap seconds not counted.
constexpr std::int64_t unix_timestamp(DateTime value) noexcept {
    return days_since_unix_epoch(value.date) * 86400 + seconds_since_midnight(value.time);
}

constexpr i128 unix_timestamp_nanos(DateTime value) noexcept {
    return static_cast<i128>(unix_timestamp(value)) * nanos_per_second + value.time.nanosecond;
}

// Field order and the order of instants agree, but the count says it plainly.
constexpr std::strong_ordering operator<=>(const DateTime& a, const DateTime& b) noexcept {
    return unix_timestamp_nanos(a) <=> unix_timestamp_nanos(b);
}

// The same order from the fields alone: the date's, then the time of day.
constexpr u128 calendar_order(DateTime value) noexcept {
    return static_cast<u128>(calendar_order(value.date)) << 64 | calendar_order(value.time);
}

// ---------------------------------------------------------------------------
// From counts since 1970-01-01T00:00:00Z
// ---------------------------------------------------------------------------

// `seconds` plus `adjust` nanoseconds, where -10^9 < adjust < 10^9. A negative
// adjustment borrows one second so the nanosecond field is never negative.
constexpr Result<DateTime> from_unix_parts(std::int64_t seconds, std::int32_t adjust) noexcept {
    if (adjust < 0) {
        if (seconds == INT64_MIN) return CalendarError::OutOfRange;
        seconds -= 1;
        adjust += static_cast<std::int32_t>(nanos_per_second);
    }
    const auto second_of_day = static_cast<std::uint32_t>(floor_mod<std::int64_t>(seconds, 86400));
    const Result<Date> date = from_days_since_unix_epoch(floor_div<std::int64_t>(seconds, 86400));
    if (!date) return date.error();
    return DateTime{*date, Time{static_cast<std::uint8_t>(second_of_day / 3600),
                                static_cast<std::uint8_t>(second_of_day % 3600 / 60),
                                static_cast<std::uint8_t>(second_of_day % 60), static_cast<std::uint32_t>(adjust)}};
}

constexpr Result<DateTime> from_unix_nanos(i128 nanos) noexcept {
    // Counts within 64 bits (the years 1677 to 2262) divide without a 128-bit
    // division, which the compiler leaves to a library call.
    // The truncated remainder may be negative; from_unix_parts borrows for it.
    if (nanos >= INT64_MIN && nanos <= INT64_MAX) {
        const auto narrow = static_cast<std::int64_t>(nanos);
        constexpr std::int64_t per_second = nanos_per_second;
        return from_unix_parts(narrow / per_second, static_cast<std::int32_t>(narrow % per_second));
    }
    const i128 seconds = floor_div<i128>(nanos, nanos_per_second);
    if (seconds < INT64_MIN || seconds > INT64_MAX) return CalendarError::OutOfRange;
    const auto adjust = static_cast<std::int32_t>(nanos - seconds * nanos_per_second);
    return from_unix_parts(static_cast<std::int64_t>(seconds), adjust);
}

// Seconds and a nanosecond count that may run past whole seconds either way:
// (0, 1500000000) is 1.5 s after the epoch, (0, -1) one nanosecond before it.
constexpr Result<DateTime> from_unix_timestamp(std::int64_t seconds, std::int32_t nanoseconds = 0) noexcept {
    // The carry is -3 ..= 2; its product with 10^9 needs 64 bits.
    const std::int64_t carry = floor_div<std::int64_t>(nanoseconds, nanos_per_second);
    const auto rest = static_cast<std::int32_t>(nanoseconds - carry * nanos_per_second);
    std::int64_t total = 0;
    if (add_overflow(seconds, carry, &total)) return CalendarError::OutOfRange;
    return from_unix_parts(total, rest);
}

// ---------------------------------------------------------------------------
// Durations
// ---------------------------------------------------------------------------

constexpr Result<DateTime> add_duration(DateTime value, Duration duration) noexcept {
    i128 nanos = 0;
    if (add_overflow(unix_timestamp_nanos(value), duration.nanos, &nanos)) {
        return CalendarError::OutOfRange;
    }
    return from_unix_nanos(nanos);
}

// Both counts lie within about ±2^96, so the difference is always exact.
constexpr Duration difference(DateTime a, DateTime b) noexcept {
    return Duration{unix_timestamp_nanos(a) - unix_timestamp_nanos(b)};
}

// ---------------------------------------------------------------------------
// System clock readings
// ---------------------------------------------------------------------------

// A POSIX reading: whole seconds since the Unix epoch and the nanoseconds past
// them, normally 0 ..= 999999999 (any value is taken at face value).
constexpr Result<DateTime> from_clock_reading(std::int64_t seconds, std::int64_t nanoseconds) noexcept {
    return from_unix_nanos(static_cast<i128>(seconds) * nanos_per_second + nanoseconds);
}

// Ticks of 100 ns between 1601-01-01T00:00:00Z and the Unix epoch.
constexpr std::uint64_t filetime_ticks_at_unix_epoch = 116444736000000000;

// A count of 100 ns ticks since 1601-01-01T00:00:00Z. The distance from the
// Unix epoch is split while still unsigned, so no tick count can overflow.
constexpr Result<DateTime> from_filetime_ticks(std::uint64_t ticks) noexcept {
    constexpr std::uint64_t ticks_per_second = 10000000;
    if (ticks >= filetime_ticks_at_unix_epoch) {
        const std::uint64_t after = ticks - filetime_ticks_at_unix_epoch;
        return from_unix_parts(static_cast<std::int64_t>(after / ticks_per_second),
                               static_cast<std::int32_t>(after % ticks_per_second * 100));
    }
    const std::uint64_t before = filetime_ticks_at_unix_epoch - ticks;
    return from_unix_parts(-static_cast<std::int64_t>(before / ticks_per_second),
                           -static_cast<std::int32_t>(before % ticks_per_second * 100));
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

namespace impl {

// A fixed-layout reading as a date and a time, or InvalidDate when a field is
// out of range.
constexpr Result<DateTime> make_datetime(const FixedDateTime& fields) noexcept {
    const Result<Time> time =
        make_time(fields.clock.hour, fields.clock.minute, fields.clock.second, fields.clock.nanosecond);
    const Result<Date> date = make_date(fields.date.year, fields.date.month, fields.date.day);
    if (!time || !date) return CalendarError::InvalidDate;
    return DateTime{*date, *time};
}

// The general grammar, for the texts that the fixed layout does not take;
// out of line, so that the fixed layout inlines into its callers.
KAIRODEX_NOINLINE constexpr Result<DateTime> parse_datetime_general(std::string_view text) noexcept {
    if (text.empty() || (text.back() != 'Z' && text.back() != 'z')) {
        return CalendarError::InvalidDate;
    }
    text.remove_suffix(1);
    std::size_t separator = impl::date_time_separator(text);
    if (separator == std::string_view::npos) return CalendarError::InvalidDate;
    const Result<Date> date = parse_date(impl::part(text, 0, separator));
    const Result<Time> time = parse_time(impl::part(text, separator + 1));
    if (!date || !time) return CalendarError::InvalidDate;
    return DateTime{*date, *time};
}

}  // namespace impl

// "<date>T<time>Z", with ' ' accepted in place of 'T' and 'z' in place of 'Z'.
// Only UTC is read here; other offsets belong to OffsetDateTime.
constexpr Result<DateTime> parse_datetime(std::string_view text) noexcept {
    // "YYYY-MM-DDTHH:MM:SS[.F]Z" at fixed places; the general grammar reads it the same.
    if (impl::FixedDateTime fields{}; const std::size_t end = impl::read_fixed_datetime(text, 0, fields)) {
        if (end + 1 == text.size() && (text[end] == 'Z' || text[end] == 'z')) {
            if (const Result<DateTime> value = impl::make_datetime(fields)) return value;
        }
    }
    return impl::parse_datetime_general(text);
}

namespace impl {

// A reading of the years 0 to 9999, "YYYY-MM-DDTHH:MM:SS" and the fraction
// when there is one, has a fixed layout: four little-endian words, of which
// the text is the first `length` bytes.
constexpr bool has_fixed_reading(DateTime value) noexcept { return value.date.year >= 0 && value.date.year <= 9999; }

struct FixedReading {
    std::uint64_t words[4];
    std::size_t length;
};

constexpr FixedReading fixed_reading(DateTime value) noexcept {
    const Time time = value.time;
    // "YYYY-MM-", "DDTHH:MM", then ":SS" and the fraction's first five
    // characters, then its last five.
    FixedReading reading{
        {year_month_ascii(value.date),
         two_digit_lanes(value.date.day | std::uint64_t{time.hour} << 24 | std::uint64_t{time.minute} << 48,
                         0x000F00000F00000F, 0x30303A3030543030),
         two_digit_lanes(std::uint64_t{time.second} << 8, 0x0F00, 0x30303A), 0},
        19};
    if (time.nanosecond != 0) {
        const Fraction fraction = fraction_ascii(time.nanosecond);
        reading.words[2] |= fraction.first << 24;
        reading.words[3] = fraction.first >> 40 | fraction.second << 24;
        reading.length = 20 + fraction.width;
    }
    return reading;
}

// Stores the words at `at`: up to 13 bytes past the text, which the text
// buffer's slack takes.
constexpr void store_fixed_reading(char* at, const FixedReading& reading) noexcept {
    for (std::size_t i = 0; i < 4; ++i) store_le64(at + 8 * i, reading.words[i]);
}

// Any reading, field by field; out of line, so that the fixed layout inlines
// into its callers.
template <class Out>
KAIRODEX_NOINLINE constexpr void write_reading_general(Out& out, DateTime value) noexcept {
    write_date(out, value.date);
    out.put('T');
    write_time(out, value.time);
}

}  // namespace impl

// A local reading and its offset: "2024-06-01T09:30:00+02:00", with "Z" for a
// zero offset.
template <class Out>
constexpr void write_local_with_offset(Out& out, DateTime local, UtcOffset offset) noexcept {
    if (impl::has_fixed_reading(local)) {
        const impl::FixedReading reading = impl::fixed_reading(local);
        if (char* at = out.extend(reading.length + (is_utc(offset) ? 1 : 6))) {
            impl::store_fixed_reading(at, reading);
            if (is_utc(offset)) {
                at[reading.length] = 'Z';
            } else {
                store_le64(at + reading.length, offset_ascii(offset));
            }
        }
        return;
    }
    impl::write_reading_general(out, local);
    if (is_utc(offset)) {
        out.put('Z');
    } else {
        write_offset(out, offset);
    }
}

// "2024-06-01T07:30:00Z"; at most 37 characters.
template <class Out>
constexpr void write_datetime(Out& out, DateTime value) noexcept {
    write_local_with_offset(out, value, UtcOffset{0});
}

}  // namespace kairodex
