// Instants in UTC, a date and a time of day: conversions to and from counts
// of seconds and nanoseconds since 1970-01-01T00:00:00Z, shifts by durations,
// the system clock's formats, the UTC grammar, and the text form of a reading
// with its offset. (The DateTime struct and its ordering are in values.hpp.)
#pragma once

#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/date.hpp"
#include "kairodex/duration.hpp"
#include "kairodex/fast/fence.hpp"
#include "kairodex/fast/fixed_layout.hpp"
#include "kairodex/fast/text_words.hpp"
#include "kairodex/fast/unix_nanos.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/text_buffer.hpp"
#include "kairodex/text_scan.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"
#include "kairodex/values.hpp"

namespace kairodex {

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

// The count floored to whole seconds, and the nanoseconds past them.
constexpr Result<DateTime> plain_from_unix_nanos(i128 nanos) noexcept {
    const i128 seconds = floor_div<i128>(nanos, nanos_per_second);
    if (seconds < INT64_MIN || seconds > INT64_MAX) return CalendarError::OutOfRange;
    const auto adjust = static_cast<std::int32_t>(nanos - seconds * nanos_per_second);
    return from_unix_parts(static_cast<std::int64_t>(seconds), adjust);
}

// A count that fits 64 bits is split by 64-bit divisions.
constexpr Result<DateTime> from_unix_nanos(i128 nanos) noexcept {
    if constexpr (fast::enabled) {
        if (const auto parts = fast::try_split_unix_nanos(nanos)) return from_unix_parts(parts->seconds, parts->adjust);
    }
    return plain_from_unix_nanos(nanos);
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

// "<date>T<time>Z", with ' ' accepted in place of 'T' and 'z' in place of 'Z',
// the date and the time read by `read_date` and `read_time`: the plain
// readers in plain_parse_datetime, the public ones where the public reader's
// fast path hands a text over (they answer as the plain ones do, and sooner).
// Only UTC is read here; other offsets belong to OffsetDateTime. Out of line,
// so that the fast path inlines into the callers of parse_datetime.
template <auto read_date, auto read_time>
KAIRODEX_NOINLINE constexpr Result<DateTime> read_datetime(std::string_view text) noexcept {
    if (text.empty() || (text.back() != 'Z' && text.back() != 'z')) {
        return CalendarError::InvalidDate;
    }
    text.remove_suffix(1);
    std::size_t separator = date_time_separator(text);
    if (separator == std::string_view::npos) return CalendarError::InvalidDate;
    const Result<Date> date = read_date(part(text, 0, separator));
    const Result<Time> time = read_time(part(text, separator + 1));
    if (!date || !time) return CalendarError::InvalidDate;
    return DateTime{*date, *time};
}

}  // namespace impl

constexpr Result<DateTime> plain_parse_datetime(std::string_view text) noexcept {
    return impl::read_datetime<plain_parse_date, plain_parse_time>(text);
}

// Inlined into its callers, as the compiler inlines the choices of the date
// and time readers by itself: it weighs this one just past its limit, and a
// call then costs the module ten instructions more.
KAIRODEX_ALWAYS_INLINE constexpr Result<DateTime> parse_datetime(std::string_view text) noexcept {
    return fast::enabled ? fast::parse_datetime<impl::read_datetime<parse_date, parse_time>>(text)
                         : plain_parse_datetime(text);
}

// A local reading and its offset: the date, 'T', the time, then "Z" for a
// zero offset or "+HH:MM". Out of line, so that the fast path inlines into
// the callers of write_local_with_offset.
template <class Out>
KAIRODEX_NOINLINE constexpr void plain_write_local_with_offset(Out& out, DateTime local, UtcOffset offset) noexcept {
    plain_write_date(out, local.date);
    out.put('T');
    plain_write_time(out, local.time);
    if (is_utc(offset)) {
        out.put('Z');
    } else {
        plain_write_offset(out, offset);
    }
}

// "2024-06-01T09:30:00+02:00", "2024-06-01T07:30:00Z".
template <class Out>
constexpr void write_local_with_offset(Out& out, DateTime local, UtcOffset offset) noexcept {
    fast::enabled ? fast::write_local_with_offset<plain_write_local_with_offset<Out>>(out, local, offset)
                  : plain_write_local_with_offset(out, local, offset);
}

// "2024-06-01T07:30:00Z"; at most 37 characters.
template <class Out>
constexpr void write_datetime(Out& out, DateTime value) noexcept {
    write_local_with_offset(out, value, UtcOffset{0});
}

}  // namespace kairodex
