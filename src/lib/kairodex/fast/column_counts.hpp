// The column kernel's fast paths (columns.hpp): a stamp of the fixed layout
// "YYYY-MM-DDTHH:MM:SS[.F]" with "Z" or "+HH:MM" counted straight from its
// fields, and the newlines of a buffer counted eight bytes at a time.
//
// The plain kernel reads a stamp into a DateTime (an OffsetDateTime moves
// its reading to UTC field by field first) and counts that. Here the fields
// read at their fixed places (fixed_layout.hpp) are checked and counted as
// they are: the day count of the local date, the clock's seconds, less the
// offset's. A text of any other layout, a field out of range, a fraction the
// unit cannot show and a count near the ends of 64 bits are declined (an
// empty optional), for the plain kernel to answer, so that what is answered
// here is what the plain kernel answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "kairodex/fast/day_count.hpp"
#include "kairodex/fast/fixed_layout.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/values.hpp"

namespace kairodex::fast {

// A count of a unit since the epoch, and the offset the stamp was read at.
struct FixedCount {
    std::int64_t count;
    std::int32_t offset_seconds;
};

// By unit, finest first (ns, us, ms, s): counts in a second, nanoseconds in
// a count, and the whole seconds whose count is at most INT64_MAX - scale,
// so that no sum of a count of whole seconds and a fraction passes 64 bits
// either way, nor reaches INT64_MIN. (Looked up: a division by a unit known
// only at run time would cost more than the rest of the count.)
inline constexpr std::int64_t unit_scales[4] = {1000000000, 1000000, 1000, 1};
inline constexpr std::uint32_t unit_steps[4] = {1, 1000, 1000000, 1000000000};
inline constexpr std::int64_t unit_second_limits[4] = {INT64_MAX / 1000000000 - 1, INT64_MAX / 1000000 - 1,
                                                       INT64_MAX / 1000 - 1, INT64_MAX - 1};

// "YYYY-MM-DDTHH:MM:SS[.F]" then "Z" or "z" (or, where `offsets`, "+HH:MM"
// or "-HH:MM") as a count of the unit (0 to 3, ns to s). `offsets` false is
// DateTime's grammar, true OffsetDateTime's.
template <bool offsets>
KAIRODEX_ALWAYS_INLINE constexpr std::optional<FixedCount> count_fixed_layout(std::string_view text,
                                                                              unsigned unit) noexcept {
    FixedDateTime fields{};
    const std::size_t end = read_fixed_datetime(text, 0, fields);
    if (end == 0) return std::nullopt;
    int offset_minutes = 0;
    if (end + 1 == text.size() && (text[end] == 'Z' || text[end] == 'z')) {
        // UTC
    } else if (FixedOffset zone{}; offsets && text.size() - end == 6 && read_fixed_offset(text, end, zone) != 0 &&
                                   zone.hours <= 23 && zone.minutes <= 59) {
        offset_minutes = (zone.positive ? 1 : -1) * (zone.hours * 60 + zone.minutes);
    } else {
        return std::nullopt;
    }
    const FixedDate& date = fields.date;
    const FixedClock& clock = fields.clock;
    if (clock.hour > 23 || clock.minute > 59 || clock.second > 59 || date.month < 1 || date.month > 12 ||
        date.day < 1 || date.day > days_in_month(date.year, date.month)) {
        return std::nullopt;
    }
    unit &= 3;
    const std::uint32_t step = unit_steps[unit];
    if (clock.nanosecond % step != 0) return std::nullopt;
    // The local reading's seconds since the epoch, less the offset: the
    // instant's. Four-digit years keep them within about 2.6e11.
    const std::int64_t seconds = fast::days_since_unix_epoch(Date{date.year, date.month, date.day}) * 86400 +
                                 clock.hour * 3600 + clock.minute * 60 + clock.second - offset_minutes * 60;
    if (seconds > unit_second_limits[unit] || seconds < -unit_second_limits[unit]) return std::nullopt;
    return FixedCount{seconds * unit_scales[unit] + clock.nanosecond / step, offset_minutes * 60};
}

// The newlines of a buffer, eight bytes at a time. In `word ^ "\n\n\n\n\n\n\n\n"`
// a newline is a zero byte; (x & 0x7F) + 0x7F sets the high bit of every byte
// whose low seven bits are not all zero, without a carry into the next byte,
// and or-ing x itself in covers the bytes with only the high bit set, so the
// high bits left clear are exactly the zero bytes. Those marks are added up
// in eight byte-wide counters, emptied before any can pass 255.
constexpr std::size_t count_newlines(std::string_view buffer) noexcept {
    constexpr std::uint64_t low7 = every_byte(0x7F);
    constexpr std::uint64_t ones = every_byte(0x01);
    std::size_t count = 0, at = 0;
    while (buffer.size() - at >= 8) {
        std::uint64_t counters = 0;
        for (int words = 0; words < 255 && buffer.size() - at >= 8; ++words, at += 8) {
            const std::uint64_t x = load_le64(buffer, at) ^ every_byte('\n');
            counters += (~(((x & low7) + low7) | x) >> 7) & ones;
        }
        // The eight counters summed in pairs into four 16-bit lanes, then by
        // one product into the top lane (at most 8 * 255 = 2040).
        const std::uint64_t pairs = (counters & 0x00FF00FF00FF00FF) + (counters >> 8 & 0x00FF00FF00FF00FF);
        count += static_cast<std::size_t>((pairs * 0x0001000100010001) >> 48);
    }
    for (; at < buffer.size(); ++at) count += buffer[at] == '\n';
    return count;
}

}  // namespace kairodex::fast
