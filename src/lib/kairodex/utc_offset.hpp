// Fixed offsets from UTC, in whole seconds east of Greenwich: construction
// and the text form. (The UtcOffset struct is in values.hpp.)
#pragma once

#include <cstdint>

#include "kairodex/calendar_error.hpp"
#include "kairodex/fast/fence.hpp"
#include "kairodex/fast/text_words.hpp"
#include "kairodex/text_buffer.hpp"
#include "kairodex/values.hpp"

namespace kairodex {

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

// "+HH:MM" / "-HH:MM". Seconds that do not make a whole minute are not shown,
// and a negative offset of under a minute keeps its sign: -30 is "-00:00".
template <class Out>
constexpr void plain_write_offset(Out& out, UtcOffset offset) noexcept {
    const std::uint32_t magnitude = offset.seconds >= 0 ? static_cast<std::uint32_t>(offset.seconds)
                                                        : 0u - static_cast<std::uint32_t>(offset.seconds);
    out.put(offset.seconds >= 0 ? '+' : '-');
    plain_put_unsigned(out, magnitude / 3600, 2);
    out.put(':');
    plain_put_unsigned(out, magnitude % 3600 / 60, 2);
}

template <class Out>
constexpr void write_offset(Out& out, UtcOffset offset) noexcept {
    fast::enabled ? fast::write_offset(out, offset) : plain_write_offset(out, offset);
}

}  // namespace kairodex
