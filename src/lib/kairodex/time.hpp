// The time grammar and the time text form. (The Time struct, its bounds and
// its counts since midnight are in values.hpp.)
#pragma once

#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/fast/fence.hpp"
#include "kairodex/fast/fixed_layout.hpp"
#include "kairodex/fast/text_words.hpp"
#include "kairodex/text_buffer.hpp"
#include "kairodex/text_scan.hpp"
#include "kairodex/values.hpp"

namespace kairodex {

namespace impl {

// Scale of a fraction with i digits: 10^(9 - i), looked up by 9 - i.
inline constexpr std::uint32_t fraction_scale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

}  // namespace impl

// "H...:M...:S...[.F]" where each clock field has any number of leading zeros
// and the fraction has one to nine digits. Nothing around the time is
// tolerated: no sign, no zone, no white space. Out of line, so that the fast
// path inlines into the callers of parse_time.
KAIRODEX_NOINLINE constexpr Result<Time> plain_parse_time(std::string_view text) noexcept {
    std::string_view clock = text;
    std::uint64_t nanosecond = 0;
    if (const std::size_t dot = text.find('.'); dot != std::string_view::npos) {
        clock = impl::part(text, 0, dot);
        const std::string_view fraction = impl::part(text, dot + 1);
        // A second '.' inside the fraction is refused as a non-digit.
        if (fraction.size() > 9 || !impl::read_bounded(fraction, 999999999, nanosecond)) {
            return CalendarError::InvalidTime;
        }
        nanosecond *= impl::fraction_scale[9 - fraction.size()];
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

constexpr Result<Time> parse_time(std::string_view text) noexcept {
    return fast::enabled ? fast::parse_time<plain_parse_time>(text) : plain_parse_time(text);
}

// "HH:MM:SS", followed by '.' and the nine digits of the nanosecond without
// their trailing zeros when it is not zero: "12:30:45.5", "01:02:03.00000012".
template <class Out>
constexpr void plain_write_time(Out& out, Time time) noexcept {
    plain_put_unsigned(out, time.hour, 2);
    out.put(':');
    plain_put_unsigned(out, time.minute, 2);
    out.put(':');
    plain_put_unsigned(out, time.second, 2);
    if (time.nanosecond == 0) return;
    std::uint32_t fraction = time.nanosecond;
    int digits = 9;
    for (; fraction % 10 == 0; fraction /= 10) --digits;
    out.put('.');
    plain_put_unsigned(out, fraction, digits);
}

template <class Out>
constexpr void write_time(Out& out, Time time) noexcept {
    fast::enabled ? fast::write_time(out, time) : plain_write_time(out, time);
}

}  // namespace kairodex
