// Fixed offsets from UTC, in whole seconds east of Greenwich.
#pragma once

#include <compare>
#include <cstdint>

#include "kairodex/calendar_error.hpp"
#include "kairodex/text_buffer.hpp"

namespace kairodex {

struct UtcOffset {
    std::int32_t seconds;  // [-86400:86400], local time minus UTC

    friend constexpr bool operator==(const UtcOffset&, const UtcOffset&) = default;
    friend constexpr auto operator<=>(const UtcOffset&, const UtcOffset&) = default;
};

// The largest offset either way: one whole day.
constexpr std::int32_t max_offset_seconds = 86400;

constexpr Result<UtcOffset> offset_from_seconds(std::int32_t seconds) noexcept {
    if (seconds < -max_offset_seconds || seconds > max_offset_seconds) {
        return CalendarError::OutOfRange;
    }
    return UtcOffset{seconds};
}

// Whole hours and minutes with a separate sign, so that "-00:30" can be said.
constexpr Result<UtcOffset> offset_from_hours_minutes(bool sign_positive, std::uint8_t hours,
                                                      std::uint8_t minutes) noexcept {
    if (hours >= 24 || minutes >= 60) return CalendarError::OutOfRange;
    const std::int32_t seconds = hours * 3600 + minutes * 60;
    return UtcOffset{sign_positive ? seconds : -seconds};
}

constexpr bool is_utc(UtcOffset offset) noexcept { return offset.seconds == 0; }

// "+HH:MM" / "-HH:MM". Seconds that do not make a whole minute are not shown,
// and a negative offset of under a minute keeps its sign: -30 is "-00:00".
template <class Out>
constexpr void write_offset(Out& out, UtcOffset offset) noexcept {
    const std::uint32_t magnitude = offset.seconds >= 0 ? static_cast<std::uint32_t>(offset.seconds)
                                                        : 0u - static_cast<std::uint32_t>(offset.seconds);
    // Offsets stay below 100 hours, so "+HH:MM" has a fixed layout.
    if (char* at = out.extend(6)) {
        at[0] = offset.seconds >= 0 ? '+' : '-';
        write_two_digits(at + 1, magnitude / 3600);
        at[3] = ':';
        write_two_digits(at + 4, magnitude % 3600 / 60);
    }
}

}  // namespace kairodex
