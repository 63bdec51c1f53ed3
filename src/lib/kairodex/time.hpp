// Times of day with nanosecond resolution: construction from fields, counts
// since midnight, the time grammar and the time text form.
#pragma once

#include <compare>
#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/date.hpp"
#include "kairodex/fixed_layout.hpp"
#include "kairodex/text_buffer.hpp"

namespace kairodex {

struct Time {
    std::uint8_t hour;         // [0:23]
    std::uint8_t minute;       // [0:59]
    std::uint8_t second;       // [0:59], no leap seconds
    std::uint32_t nanosecond;  // [0:999999999]

    friend constexpr bool operator==(const Time&, const Time&) = default;
    // Field by field, most significant first, is chronological order.
    friend constexpr auto operator<=>(const Time&, const Time&) = default;
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

// A number in the order of times of day, the fields side by side.
constexpr std::uint64_t calendar_order(Time time) noexcept {
    return std::uint64_t{time.hour} << 48 | std::uint64_t{time.minute} << 40 | std::uint64_t{time.second} << 32 |
           time.nanosecond;
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

namespace impl {

// Scale of a fraction with i digits: 10^(9 - i), looked up by 9 - i.
inline constexpr std::uint32_t fraction_scale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The general grammar, for the texts that the fixed layout does not take;
// out of line, so that the fixed layout inlines into its callers.
KAIRODEX_NOINLINE constexpr Result<Time> parse_time_general(std::string_view text) noexcept {
    std::string_view clock = text;
    std::uint64_t nanosecond = 0;
    if (const std::size_t dot = text.find('.'); dot != std::string_view::npos) {
        clock = impl::part(text, 0, dot);
        const std::string_view fraction = impl::part(text, dot + 1);
        // A second '.' inside the fraction is refused as a non-digit.
        if (fraction.size() > 9 || !impl::read_bounded(fraction, 999999999, nanosecond)) {
            return CalendarError::InvalidTime;
        }
        nanosecond *= fraction_scale[9 - fraction.size()];
    }

    const std::size_t first = clock.find(':');
    if (first == std::string_view::npos) return CalendarError::InvalidTime;
    const std::size_t second = clock.find(':', first + 1);
    if (second == std::string_view::npos) return CalendarError::InvalidTime;
    if (clock.find(':', second + 1) != std::string_view::npos) return CalendarError::InvalidTime;

    std::uint64_t hour = 0, minute = 0, sec = 0;
    if (!impl::read_bounded(impl::part(clock, 0, first), 23, hour) ||
        !impl::read_bounded(impl::part(clock, first + 1, second - first - 1), 59, minute) ||
        !impl::read_bounded(impl::part(clock, second + 1), 59, sec)) {
        return CalendarError::InvalidTime;
    }
    return Time{static_cast<std::uint8_t>(hour), static_cast<std::uint8_t>(minute), static_cast<std::uint8_t>(sec),
                static_cast<std::uint32_t>(nanosecond)};
}

}  // namespace impl

// "H...:M...:S...[.F]" where each clock field has any number of leading zeros
// and the fraction has one to nine digits. Nothing around the time is
// tolerated: no sign, no zone, no white space.
constexpr Result<Time> parse_time(std::string_view text) noexcept {
    // "HH:MM:SS[.F]" at fixed places; the general grammar reads it the same.
    if (impl::FixedClock fields{}; const std::size_t end = impl::read_fixed_clock(text, 0, fields)) {
        if (end == text.size()) {
            if (const Result<Time> time = make_time(fields.hour, fields.minute, fields.second, fields.nanosecond)) {
                return time;
            }
        }
    }
    return impl::parse_time_general(text);
}

// "HH:MM:SS", followed by '.' and the fraction without its trailing zeros when
// the nanosecond is not zero: "12:30:45.5", "01:02:03.00000012".
template <class Out>
constexpr void write_time(Out& out, Time time) noexcept {
    const std::uint64_t clock = clock_ascii(time.hour, time.minute, time.second);
    if (time.nanosecond == 0) {
        if (char* at = out.extend(8)) store_le64(at, clock);
        return;
    }
    const Fraction fraction = fraction_ascii(time.nanosecond);
    if (char* at = out.extend(9 + fraction.width)) {
        store_le64(at, clock);
        store_le64(at + 8, fraction.first);
        store_le64(at + 16, fraction.second);
    }
}

}  // namespace kairodex
