// The text forms in their fixed layouts, each built in a few little-endian
// words and stored a word at a time: "YYYY-MM-DD" for the years 0 to 9999,
// "HH:MM:SS" and its fraction, "+HH:MM", and a reading "YYYY-MM-DDTHH:MM:SS"
// with its fraction and zone. The plain writers (date.hpp, time.hpp,
// utc_offset.hpp, datetime.hpp) write the same bytes field by field. A word
// may run past the text: the text buffer's slack takes those bytes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "kairodex/fast/digit_words.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/values.hpp"

namespace kairodex::fast {

// "YYYY-MM-" for a date of the years 0 to 9999.
constexpr std::uint64_t year_month_ascii(Date date) noexcept {
    const auto year = static_cast<unsigned>(date.year);
    return two_digit_lanes(year / 100 | std::uint64_t{year % 100} << 16 | std::uint64_t{date.month} << 40,
                           0x00000F00000F000F, 0x2D30302D30303030);
}

// "HH:MM:SS" for three values below 100.
constexpr std::uint64_t clock_ascii(unsigned hour, unsigned minute, unsigned second) noexcept {
    return two_digit_lanes(hour | std::uint64_t{minute} << 24 | std::uint64_t{second} << 48, 0x000F00000F00000F,
                           0x30303A30303A3030);
}

// ".fffffffff", a nanosecond count below 10^9 as a fraction of nine digits,
// in two words: '.', the first digit and six more, then two; `width` is the
// number of digits left once the trailing zeros are taken off (1 to 9 for a
// count above zero). In the word of digits 2 to 9 the trailing zeros are the
// top bytes that equal '0'.
struct Fraction {
    std::uint64_t first, second;
    std::size_t width;
};

constexpr Fraction fraction_ascii(std::uint32_t nanoseconds) noexcept {
    const std::uint64_t digits = eight_digits_ascii(nanoseconds % 100000000);
    const std::uint64_t nonzero = digits ^ 0x3030303030303030;
    const int trailing_zeros = nonzero == 0 ? 8 : std::countl_zero(nonzero) / 8;
    return {'.' | std::uint64_t{'0' + nanoseconds / 100000000} << 8 | digits << 16, digits >> 48,
            static_cast<std::size_t>(9 - trailing_zeros)};
}

// "+HH:MM" / "-HH:MM" in the low six bytes. Offsets stay below 100 hours.
constexpr std::uint64_t offset_ascii(UtcOffset offset) noexcept {
    const std::uint32_t magnitude = offset.seconds >= 0 ? static_cast<std::uint32_t>(offset.seconds)
                                                        : 0u - static_cast<std::uint32_t>(offset.seconds);
    const std::uint64_t sign = offset.seconds >= 0 ? '+' : '-';
    return two_digit_lanes(std::uint64_t{magnitude / 3600} << 8 | std::uint64_t{magnitude % 3600 / 60} << 32,
                           0x0000000F00000F00, 0x30303A303000 | sign);
}

// "YYYY-MM-DD", for the years 0 to 9999 (nearly every date); the other years
// go to `plain`.
template <auto plain, class Out>
constexpr void write_date(Out& out, Date date) noexcept {
    if (date.year >= 0 && date.year <= 9999) {
        if (char* at = out.extend(10)) {
            store_le64(at, year_month_ascii(date));
            store_le64(at + 8, two_digit_lanes(date.day, 0x0F, 0x3030));
        }
        return;
    }
    plain(out, date);
}

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

template <class Out>
constexpr void write_offset(Out& out, UtcOffset offset) noexcept {
    if (char* at = out.extend(6)) store_le64(at, offset_ascii(offset));
}

// A reading of the years 0 to 9999, "YYYY-MM-DDTHH:MM:SS" and the fraction
// when there is one, in four words, of which the text is the first `length`
// bytes.
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

// The reading, then "Z" for a zero offset or "+HH:MM", for the years 0 to
// 9999; the other years go to `plain`. The four words run up to 13 bytes past
// the reading, the offset's word two past the text.
template <auto plain, class Out>
constexpr void write_local_with_offset(Out& out, DateTime local, UtcOffset offset) noexcept {
    if (local.date.year >= 0 && local.date.year <= 9999) {
        const FixedReading reading = fixed_reading(local);
        if (char* at = out.extend(reading.length + (is_utc(offset) ? 1 : 6))) {
            for (std::size_t i = 0; i < 4; ++i) store_le64(at + 8 * i, reading.words[i]);
            if (is_utc(offset)) {
                at[reading.length] = 'Z';
            } else {
                store_le64(at + reading.length, offset_ascii(offset));
            }
        }
        return;
    }
    plain(out, local, offset);
}

}  // namespace kairodex::fast
