// The fixed layouts that most texts of every grammar come in: "YYYY-MM-DD",
// "HH:MM:SS" with an optional fraction, the two joined by 'T' or ' ', and
// "+HH:MM". They are read here at fixed places, eight bytes at a time: one
// word is checked against its layout with two masked compares and turned
// into digit pairs with one multiplication.
//
// Every field reader has one form:
//
//     std::size_t read_fixed_X(std::string_view text, std::size_t at, FixedX& fields)
//
// It reads its layout at text[at] into `fields` and returns where the reading
// ended, or returns 0 (`fields` then unspecified) when the text there has
// another layout. The fields are digits and nothing more. The grammars'
// fast paths at the end (parse_date and its neighbours) check them and answer
// as the plain readers would, or decline: what they do not take they hand to
// the plain reader they are given (date.hpp, time.hpp, datetime.hpp,
// offset_datetime.hpp).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/fast/short_steps.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/values.hpp"

namespace kairodex::fast {

// ---------------------------------------------------------------------------
// Words of eight bytes
// ---------------------------------------------------------------------------

// Eight bytes of `text` from `at` as a little-endian word: byte `at + i` of
// the text is byte i of the word, counted from the lowest.
constexpr std::uint64_t load_le64(std::string_view text, std::size_t at) noexcept {
    return kairodex::load_le64(text.data() + at);
}

// The byte `b` in every byte of a word.
constexpr std::uint64_t every_byte(std::uint8_t b) noexcept { return b * std::uint64_t{0x0101010101010101}; }

// Up to eight bytes that must be digits or given separators, as masks for a
// word that holds them.
struct WordLayout {
    std::uint64_t high_mask;   // 0xF0 at a digit, 0xFF at a separator, 0 at a byte left alone
    std::uint64_t expected;    // 0x30 at a digit, the separator itself at a separator
    std::uint64_t six;         // 0x06 at a digit: carries a digit above '9' out of 0x3_
    std::uint64_t digit_high;  // 0xF0 at a digit
};

// The masks of a layout written out: an upper-case letter stands for a digit,
// '?' for a byte that the caller checks itself, and any other character for
// itself ("YYYY-MM-" is a year, '-', a month and '-'). Bytes past the end of
// the layout are left alone. So 'T' and 'Z' cannot be separators of a word
// layout: the readers check those bytes one by one.
template <std::size_t N>
consteval WordLayout word_layout(const char (&layout)[N]) noexcept {
    static_assert(N >= 2 && N <= 9, "a layout of one to eight characters");
    WordLayout masks{0, 0, 0, 0};
    for (std::size_t i = 0; i + 1 < N; ++i) {
        const auto c = static_cast<unsigned char>(layout[i]);
        const std::size_t shift = 8 * i;
        if (c >= 'A' && c <= 'Z') {
            masks.high_mask |= std::uint64_t{0xF0} << shift;
            masks.expected |= std::uint64_t{'0'} << shift;
            masks.six |= std::uint64_t{0x06} << shift;
            masks.digit_high |= std::uint64_t{0xF0} << shift;
        } else if (c != '?') {
            masks.high_mask |= std::uint64_t{0xFF} << shift;
            masks.expected |= std::uint64_t{c} << shift;
        }
    }
    return masks;
}

inline constexpr WordLayout date_word_layout = word_layout("YYYY-MM-");  // the day follows on its own
inline constexpr WordLayout clock_layout = word_layout("HH:MM:SS");
inline constexpr WordLayout fraction_layout = word_layout("FFFFFFFF");
inline constexpr WordLayout offset_layout = word_layout("?HH:MM");  // the sign is checked on its own

// The bytes of `word` that break `layout`, as non-zero bytes of the result.
// A byte is a digit when its high nibble is 3 both as it is (the byte lies
// in 0x30 ..= 0x3F) and plus 6 (in 0x2A ..= 0x39). The six is added to the
// whole word: a byte
// carries into the next only from 0xFA up, which fails the first test
// anyway, so the lowest non-zero byte is always the first that breaks the
// layout, and only bytes above it may be marked through a carry.
constexpr std::uint64_t mismatches(std::uint64_t word, const WordLayout& layout) noexcept {
    return ((word & layout.high_mask) ^ layout.expected) |
           (((word + layout.six) & layout.digit_high) ^ (layout.expected & layout.digit_high));
}

constexpr bool matches(std::uint64_t word, const WordLayout& layout) noexcept { return mismatches(word, layout) == 0; }

// Byte i becomes 10 * d(i) + d(i + 1), where d is a byte's low nibble: a
// digit's value, or at most 15 for a separator. No byte passes
// 10 * 15 + 15 = 165, so none carries into the next; the bytes where a
// two-digit field starts hold its value.
constexpr std::uint64_t digit_pairs(std::uint64_t word) noexcept {
    word &= every_byte(0x0F);
    return word * 10 + (word >> 8);
}

// Byte `i` of a word of digit pairs.
constexpr unsigned pair_at(std::uint64_t pairs, int i) noexcept {
    return static_cast<unsigned>(pairs >> (8 * i)) & 0xFF;
}

// The eight-digit number whose digits d0 ... d7 (0 to 9) are the bytes of
// `word`, d0 the lowest byte and the most significant digit. The pair step
// leaves p0 = 10 d0 + d1 in byte 0, p1 in byte 2, p2 in byte 4 and p3 in byte
// 6 (the odd bytes are masked off). Two products then gather the pairs in the
// high half of the word:
//
//   (p0 + p2 2^32) (100 + 10^6 2^32) = 100 p0 + (10^6 p0 + 100 p2) 2^32 + 10^6 p2 2^64
//   (p1 + p3 2^32) (1 + 10^4 2^32)   =     p1 + (10^4 p1 +      p3) 2^32 + 10^4 p3 2^64
//
// The 2^64 terms fall out of the word, the low halves add up to
// 100 p0 + p1 < 2^32 and carry nothing, and the high halves to
// 10^6 p0 + 10^4 p1 + 100 p2 + p3 < 10^8: the number.
constexpr std::uint32_t eight_digits(std::uint64_t word) noexcept {
    word = word * 10 + (word >> 8);
    constexpr std::uint64_t bytes_0_and_4 = 0x000000FF000000FF;
    word = ((word & bytes_0_and_4) * (100 + (std::uint64_t{1000000} << 32)) +
            ((word >> 16) & bytes_0_and_4) * (1 + (std::uint64_t{10000} << 32))) >>
           32;
    return static_cast<std::uint32_t>(word);
}

// Marks a field that is not two digits; it survives an OR of fields (< 128).
constexpr unsigned not_two_digits = 0x100;

// The two ASCII digits at `text[at]` as a number, or not_two_digits. A byte
// below '0' wraps around to a large unsigned value, so one comparison each
// checks both ends.
constexpr unsigned two_digits(std::string_view text, std::size_t at) noexcept {
    const unsigned tens = static_cast<unsigned char>(text[at]) - unsigned{'0'};
    const unsigned ones = static_cast<unsigned char>(text[at + 1]) - unsigned{'0'};
    return tens > 9 || ones > 9 ? not_two_digits : tens * 10 + ones;
}

// ---------------------------------------------------------------------------
// The readers
// ---------------------------------------------------------------------------

// Fields as their digits give them, before any range check.
struct FixedDate {
    std::int32_t year;  // 0 ..= 9999
    std::uint8_t month;
    std::uint8_t day;
};

struct FixedClock {
    std::uint8_t hour;
    std::uint8_t minute;
    std::uint8_t second;
    std::uint32_t nanosecond;  // 0 ..= 999999999
};

struct FixedDateTime {
    FixedDate date;
    FixedClock clock;
};

struct FixedOffset {
    bool positive;
    std::uint8_t hours;
    std::uint8_t minutes;
};

// "YYYY-MM-DD": the first eight bytes as one word, the day on its own.
KAIRODEX_ALWAYS_INLINE constexpr std::size_t read_fixed_date(std::string_view text, std::size_t at,
                                                             FixedDate& fields) noexcept {
    if (text.size() < at + 10) return 0;
    const std::uint64_t word = load_le64(text, at);
    if (!matches(word, date_word_layout)) return 0;
    const unsigned day = two_digits(text, at + 8);
    if (day & not_two_digits) return 0;
    const std::uint64_t pairs = digit_pairs(word);
    fields = FixedDate{static_cast<std::int32_t>(pair_at(pairs, 0) * 100 + pair_at(pairs, 2)),
                       static_cast<std::uint8_t>(pair_at(pairs, 5)), static_cast<std::uint8_t>(day)};
    return at + 10;
}

// One to nine fraction digits from text[at], as nanoseconds. The eight bytes
// from `at` (of a shorter text its last eight, shifted down so that the bytes
// past its end read as zeros) are taken as far as they are digits, with the
// places after the last one as zeros: the value comes out in units of 10 ns.
// A ninth digit is added on its own; a tenth is left for the caller to refuse.
KAIRODEX_ALWAYS_INLINE constexpr std::size_t read_fixed_fraction(std::string_view text, std::size_t at,
                                                                 std::uint32_t& nanosecond) noexcept {
    if (at >= text.size() || text.size() < 8) return 0;
    const std::size_t load_at = text.size() >= at + 8 ? at : text.size() - 8;
    const std::uint64_t digits = load_le64(text, load_at) >> (8 * (at - load_at));
    const std::uint64_t not_digit = mismatches(digits, fraction_layout);
    const int count = not_digit == 0 ? 8 : std::countr_zero(not_digit) / 8;
    if (count == 0) return 0;
    const std::uint64_t kept = count == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * count)) - 1;
    std::uint32_t value = eight_digits(digits & kept & every_byte(0x0F)) * 10;
    std::size_t end = at + static_cast<std::size_t>(count);
    if (count == 8 && end < text.size()) {
        if (const unsigned ninth = static_cast<unsigned char>(text[end]) - unsigned{'0'}; ninth <= 9) {
            value += ninth;
            ++end;
        }
    }
    nanosecond = value;
    return end;
}

// "HH:MM:SS", then, when a '.' and a digit follow, the fraction.
KAIRODEX_ALWAYS_INLINE constexpr std::size_t read_fixed_clock(std::string_view text, std::size_t at,
                                                              FixedClock& fields) noexcept {
    if (text.size() < at + 8) return 0;
    const std::uint64_t word = load_le64(text, at);
    if (!matches(word, clock_layout)) return 0;
    const std::uint64_t pairs = digit_pairs(word);
    std::size_t end = at + 8;
    std::uint32_t nanosecond = 0;
    if (text.size() > end + 1 && text[end] == '.') {
        // 0 where no fraction of the layout follows: the answer for the
        // whole, as the fields are read only after a non-zero one.
        end = read_fixed_fraction(text, end + 1, nanosecond);
    }
    fields = FixedClock{static_cast<std::uint8_t>(pair_at(pairs, 0)), static_cast<std::uint8_t>(pair_at(pairs, 3)),
                        static_cast<std::uint8_t>(pair_at(pairs, 6)), nanosecond};
    return end;
}

// "YYYY-MM-DDTHH:MM:SS", ' ' allowed for 'T', with the clock's fraction.
KAIRODEX_ALWAYS_INLINE constexpr std::size_t read_fixed_datetime(std::string_view text, std::size_t at,
                                                                 FixedDateTime& fields) noexcept {
    if (text.size() < at + 19 || (text[at + 10] != 'T' && text[at + 10] != ' ')) return 0;
    if (read_fixed_date(text, at, fields.date) == 0) return 0;
    return read_fixed_clock(text, at + 11, fields.clock);
}

// "+HH:MM" or "-HH:MM". The six bytes are loaded as the word that ends with
// them, so that an offset at the end of a text is read without a byte past
// it; two bytes must come before `at`, as they do wherever an offset follows
// a time.
KAIRODEX_ALWAYS_INLINE constexpr std::size_t read_fixed_offset(std::string_view text, std::size_t at,
                                                               FixedOffset& fields) noexcept {
    if (at < 2 || text.size() < at + 6) return 0;
    const std::uint64_t word = load_le64(text, at - 2) >> 16;
    const auto sign = static_cast<unsigned char>(word);
    if ((sign != '+' && sign != '-') || !matches(word, offset_layout)) return 0;
    const std::uint64_t pairs = digit_pairs(word);
    fields = FixedOffset{sign == '+', static_cast<std::uint8_t>(pair_at(pairs, 1)),
                         static_cast<std::uint8_t>(pair_at(pairs, 4))};
    return at + 6;
}

// ---------------------------------------------------------------------------
// The grammars' fast paths
// ---------------------------------------------------------------------------

// A reading's fields as a date and a time, or InvalidDate when a field is out
// of range.
constexpr Result<DateTime> make_datetime(const FixedDateTime& fields) noexcept {
    const Result<Time> time =
        make_time(fields.clock.hour, fields.clock.minute, fields.clock.second, fields.clock.nanosecond);
    const Result<Date> date = make_date(fields.date.year, fields.date.month, fields.date.day);
    if (!time || !date) return CalendarError::InvalidDate;
    return DateTime{*date, *time};
}

// "YYYY-MM-DD"; any other text goes to `plain`.
template <auto plain>
KAIRODEX_ALWAYS_INLINE constexpr Result<Date> parse_date(std::string_view text) noexcept {
    if (FixedDate fields{}; text.size() == 10 && read_fixed_date(text, 0, fields) != 0) {
        return make_date(fields.year, fields.month, fields.day);
    }
    return plain(text);
}

// "HH:MM:SS[.F]", a valid time; any other text goes to `plain`, which says
// what is wrong with it.
template <auto plain>
KAIRODEX_ALWAYS_INLINE constexpr Result<Time> parse_time(std::string_view text) noexcept {
    if (FixedClock fields{}; const std::size_t end = read_fixed_clock(text, 0, fields)) {
        if (end == text.size()) {
            if (const Result<Time> time = make_time(fields.hour, fields.minute, fields.second, fields.nanosecond)) {
                return time;
            }
        }
    }
    return plain(text);
}

// "YYYY-MM-DDTHH:MM:SS[.F]Z", a valid reading; any other text goes to
// `plain`.
template <auto plain>
KAIRODEX_ALWAYS_INLINE constexpr Result<DateTime> parse_datetime(std::string_view text) noexcept {
    if (FixedDateTime fields{}; const std::size_t end = read_fixed_datetime(text, 0, fields)) {
        if (end + 1 == text.size() && (text[end] == 'Z' || text[end] == 'z')) {
            if (const Result<DateTime> value = make_datetime(fields)) return value;
        }
    }
    return plain(text);
}

// "YYYY-MM-DDTHH:MM:SS[.F]" and "Z" or "+HH:MM", a valid reading and offset;
// any other text goes to `plain`. The layout starts with a digit and ends
// with 'Z' or a digit, so there is no white space to trim.
template <auto plain>
KAIRODEX_ALWAYS_INLINE constexpr Result<OffsetDateTime> parse_offset_datetime(std::string_view text) noexcept {
    if (FixedDateTime fields{}; const std::size_t end = read_fixed_datetime(text, 0, fields)) {
        if (const Result<DateTime> local = make_datetime(fields)) {
            // At offset zero the local reading is the instant itself.
            if (end + 1 == text.size() && (text[end] == 'Z' || text[end] == 'z')) {
                return OffsetDateTime{*local, UtcOffset{0}};
            }
            // "+HH:MM" to the end: the instant is the local reading moved back
            // by the offset's whole minutes.
            if (FixedOffset zone{}; text.size() - end == 6 && read_fixed_offset(text, end, zone) != 0 &&
                                    zone.hours <= 23 && zone.minutes <= 59) {
                const int offset_minutes = zone.hours * 60 + zone.minutes;
                const Result<DateTime> utc = move_minutes(*local, zone.positive ? -offset_minutes : offset_minutes);
                if (!utc) return CalendarError::OutOfRange;
                return OffsetDateTime{*utc, UtcOffset{(zone.positive ? 60 : -60) * offset_minutes}};
            }
        }
    }
    return plain(text);
}

}  // namespace kairodex::fast
