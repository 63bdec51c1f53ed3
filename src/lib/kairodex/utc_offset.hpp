// Fixed offsets from UTC, in whole seconds east of Greenwich.
#pragma once

#include <compare>
#include <cstdint>

#include "kairodex/calendar_error.hpp"
#include "kairodex/portable.hpp"
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
// Offsets stay below 100 hours, so "+HH:MM" has a fixed layout: one
// little-endian word, of which the text is the low six bytes.
constexpr std::uint64_t offset_ascii(UtcOffset offset) noexcept {
    const std::uint32_t magnitude = offset.seconds >= 0 ? static_cast<std::uint32_t>(offset.seconds)
                                                        : 0u - static_cast<std::uint32_t>(offset.seconds);
    const std::uint64_t sign = offset.seconds >= 0 ? '+' : '-';
    return two_digit_lanes(std::uint64_t{magnitude / 3600} << 8 | std::uint64_t{magnitude % 3600 / 60} << 32,
                           0x0000000F00000F00, 0x30303A303000 | sign);
}

template <class Out>
constexpr void write_offset(Out& out, UtcOffset offset) noexcept {
    if (char* at = out.extend(6)) store_le64(at, offset_ascii(offset));
}

}  // namespace kairodex
