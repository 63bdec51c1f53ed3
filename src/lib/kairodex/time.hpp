// Times of day with nanosecond resolution: construction from fields, counts
// since midnight, the time grammar and the time text form.
#pragma once

#include <bit>
#include <compare>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "kairodex/calendar_error.hpp"
#include "kairodex/date.hpp"
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

// Eight bytes of `text` from `at` as a little-endian word.
constexpr std::uint64_t load_le64(std::string_view text, std::size_t at) noexcept {
    return kairodex::load_le64(text.data() + at);
}

// Eight bytes that must be digits or given separators, one mask per byte.
struct WordLayout {
    std::uint64_t high_mask;   // 0xF0 at a digit, 0xFF at a separator
    std::uint64_t expected;    // 0x30 at a digit, the separator itself
    std::uint64_t six;         // 0x06 at a digit: carries a digit above '9' out of 0x3_
    std::uint64_t digit_high;  // 0xF0 at a digit
};

// A digit has the high nibble 3 both as it is and plus 6; no byte carries
// into the next unless its own test already fails.
constexpr bool matches(std::uint64_t word, const WordLayout& layout) noexcept {
    return (word & layout.high_mask) == layout.expected &&
           ((word + layout.six) & layout.digit_high) == (layout.expected & layout.digit_high);
}

// Byte i becomes 10 * digit i + digit i + 1, for the digit bytes of a word
// that `matches` a layout (separators count as small digits and never carry).
constexpr std::uint64_t digit_pairs(std::uint64_t word) noexcept {
    word &= 0x0F0F0F0F0F0F0F0F;
    return word * 10 + (word >> 8);
}

// The eight-digit number whose digits (0 to 9) are the bytes of `word`, the
// lowest byte the most significant digit: pairs, then pairs of pairs.
constexpr std::uint32_t eight_digits(std::uint64_t word) noexcept {
    word = word * 10 + (word >> 8);
    word = ((word & 0x000000FF000000FF) * (100 + (std::uint64_t{1000000} << 32)) +
            ((word >> 16) & 0x000000FF000000FF) * (1 + (std::uint64_t{10000} << 32))) >>
           32;
    return static_cast<std::uint32_t>(word);
}

// "HH:MM:SS", first byte lowest.
constexpr WordLayout time_layout{0xF0F0FFF0F0FFF0F0, 0x30303A30303A3030, 0x0606000606000606, 0xF0F000F0F000F0F0};

// Byte `i` of a word of digit pairs.
constexpr unsigned pair_at(std::uint64_t pairs, int i) noexcept {
    return static_cast<unsigned>(pairs >> (8 * i)) & 0xFF;
}

// "HH:MM:SS" at `text[at]`, with an optional '.' and one to nine fraction
// digits, read at fixed places into `time`. Returns where the reading ended,
// or 0 when the text has another layout or a field out of range; the general
// grammars take over then, and read whatever this reads the same way.
KAIRODEX_ALWAYS_INLINE constexpr std::size_t read_fixed_clock(std::string_view text, std::size_t at,
                                                              Time& time) noexcept {
    if (text.size() < at + 8) return 0;
    const std::uint64_t word = load_le64(text, at);
    if (!matches(word, time_layout)) return 0;
    const std::uint64_t pairs = digit_pairs(word);
    std::size_t end = at + 8;
    std::uint32_t fraction = 0;
    if (text.size() > end + 1 && text[end] == '.') {
        // The eight bytes after the '.' (of a shorter text its last eight,
        // shifted down), as far as they are digits; missing places read as
        // zeros, so the value comes out in units of 10 ns.
        const std::size_t first = end + 1;
        const std::size_t load_at = text.size() >= first + 8 ? first : text.size() - 8;
        const std::uint64_t digits = load_le64(text, load_at) >> (8 * (first - load_at));
        const std::uint64_t not_digit = ((digits & 0xF0F0F0F0F0F0F0F0) ^ 0x3030303030303030) |
                                        (((digits + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) ^ 0x3030303030303030);
        const int count = not_digit == 0 ? 8 : std::countr_zero(not_digit) / 8;
        if (count == 0) return 0;
        const std::uint64_t kept = count == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * count)) - 1;
        fraction = eight_digits(digits & kept & 0x0F0F0F0F0F0F0F0F) * 10;
        end = first + static_cast<std::size_t>(count);
        // A ninth digit; a tenth is left for the caller to refuse.
        if (count == 8 && end < text.size()) {
            if (const unsigned ninth = static_cast<unsigned char>(text[end]) - unsigned{'0'}; ninth <= 9) {
                fraction += ninth;
                ++end;
            }
        }
    }
    const Result<Time> checked =
        make_time(static_cast<std::uint8_t>(pair_at(pairs, 0)), static_cast<std::uint8_t>(pair_at(pairs, 3)),
                  static_cast<std::uint8_t>(pair_at(pairs, 6)), fraction);
    if (!checked) return 0;
    time = *checked;
    return end;
}

// A whole text in the layout of read_fixed_clock, into `time`; false for any
// other text.
constexpr bool parse_fixed_time(std::string_view text, Result<Time>& time) noexcept {
    Time value{};
    const std::size_t end = read_fixed_clock(text, 0, value);
    if (end == 0 || end != text.size()) return false;
    time = value;
    return true;
}

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
    if (Result<Time> time = CalendarError::InvalidTime; impl::parse_fixed_time(text, time)) return time;
    return impl::parse_time_general(text);
}

// "HH:MM:SS", followed by '.' and the fraction without its trailing zeros when
// the nanosecond is not zero: "12:30:45.5", "01:02:03.00000012".
template <class Out>
constexpr void write_time(Out& out, Time time) noexcept {
    char* at = out.extend(time.nanosecond == 0 ? 8 : 18);
    if (at == nullptr) return;
    write_two_digits(at, time.hour);
    at[2] = ':';
    write_two_digits(at + 3, time.minute);
    at[5] = ':';
    write_two_digits(at + 6, time.second);
    if (time.nanosecond == 0) return;

    // ".fffffffff", then the fraction's trailing zeros taken back: digits 2
    // to 9 read as one little-endian word have their '0's in the top bytes.
    at[8] = '.';
    const std::uint32_t low = time.nanosecond % 100000000;
    at[9] = static_cast<char>('0' + time.nanosecond / 100000000);
    write_two_digits(at + 10, low / 1000000);
    write_two_digits(at + 12, low / 10000 % 100);
    write_two_digits(at + 14, low / 100 % 100);
    write_two_digits(at + 16, low % 100);
    const std::uint64_t nonzero = load_le64(at + 10) ^ 0x3030303030303030;
    out.retract(nonzero == 0 ? 8 : static_cast<std::size_t>(std::countl_zero(nonzero) / 8));
}

}  // namespace kairodex
