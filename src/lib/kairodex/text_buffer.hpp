// A fixed-capacity text buffer that every text form is written into. Nothing
// is allocated: a write that does not fit marks the buffer as overflowed, and
// the whole text is then refused by whoever turns it into a string.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kairodex/portable.hpp"

namespace kairodex {

template <std::size_t Capacity>
class TextBuffer {
  public:
    static constexpr std::size_t capacity = Capacity;
    static constexpr std::size_t slack = 16;

    constexpr void put(char c) noexcept {
        if (size_ < Capacity) {
            data_[size_++] = c;
        } else {
            overflowed_ = true;
        }
    }

    constexpr void put(std::string_view text) noexcept {
        if (char* at = extend(text.size())) std::copy_n(text.data(), text.size(), at);
    }

    // Room for `count` more characters, which the caller writes in place; null,
    // with the buffer marked as overflowed, where they do not fit. The caller
    // may store whole words that run up to `slack` bytes past the room it
    // asked for: those bytes are storage, never text.
    constexpr char* extend(std::size_t count) noexcept {
        if (count > Capacity - size_) {
            overflowed_ = true;
            return nullptr;
        }
        char* at = data_ + size_;
        size_ += count;
        return at;
    }

    constexpr bool overflowed() const noexcept { return overflowed_; }
    constexpr std::string_view view() const noexcept { return {data_, size_}; }

  private:
    // Only the first size_ bytes are text, so the storage is never cleared;
    // the slack past the capacity takes the ends of the writers' words.
    char data_[Capacity + slack];
    std::size_t size_ = 0;
    bool overflowed_ = false;
};

// --- decimal writers -------------------------------------------------------

// "00", "01", .. "99": two digits per lookup, so a number takes half as many
// divisions (each a multiplication by the reciprocal of 100).
inline constexpr auto digit_pairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Writes `value` (below 100) as two digits at `at`.
constexpr void write_two_digits(char* at, unsigned value) noexcept {
    at[0] = digit_pairs[2 * value];
    at[1] = digit_pairs[2 * value + 1];
}

// The eight decimal digits of `value` (below 10^8, zeros on the left) as ASCII
// in a little-endian word, the first digit in the lowest byte. Computed in
// lanes, with no table and no division: `value` splits into two 4-digit
// halves in 32-bit lanes; each lane into two 2-digit quarters in 16-bit
// lanes (x / 100 as x * 10486 >> 20, exact for x < 10^4 as the error stays
// below x * 2.4e-7 < 1/100); each of those into two digits in bytes (y / 10 as
// y * 103 >> 10, exact for y < 100). No lane's product reaches the next lane.
constexpr std::uint64_t eight_digits_ascii(std::uint32_t value) noexcept {
    const std::uint64_t halves = value / 10000 | std::uint64_t{value % 10000} << 32;
    const std::uint64_t high_pairs = (halves * 10486) >> 20 & 0x0000007F0000007F;
    const std::uint64_t pairs = high_pairs | (halves - 100 * high_pairs) << 16;
    const std::uint64_t tens = (pairs * 103) >> 10 & 0x000F000F000F000F;
    return (tens | (pairs - 10 * tens) << 8) + 0x3030303030303030;
}

// Two ASCII digits for each value below 100 in `values`, each value in a lane
// of its own whose lowest byte `tens_mask` marks (0x0F there): the tens replace
// the value (y / 10 as y * 103 >> 10, exact for y < 100), the units go into the
// byte above, and `frame` adds the '0's and whatever stands between the
// fields. Lanes must lie 16 bits or more apart, so that no product reaches
// the next one.
constexpr std::uint64_t two_digit_lanes(std::uint64_t values, std::uint64_t tens_mask, std::uint64_t frame) noexcept {
    const std::uint64_t tens = (values * 103) >> 10 & tens_mask;
    return (tens | (values - 10 * tens) << 8) + frame;
}

// "HH:MM:SS" for three values below 100 as a little-endian word.
constexpr std::uint64_t clock_ascii(unsigned hour, unsigned minute, unsigned second) noexcept {
    return two_digit_lanes(hour | std::uint64_t{minute} << 24 | std::uint64_t{second} << 48, 0x000F00000F00000F,
                           0x30303A30303A3030);
}

// ".fffffffff", a nanosecond count below 10^9 as a fraction of nine digits,
// in two little-endian words: '.', the first digit and six more, then two;
// `width` is the number of digits left once the trailing zeros are taken
// off (1 to 9 for a count above zero). In the word of digits 2 to 9 the
// trailing zeros are the top bytes that equal '0'.
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

// Writes the decimal digits of `value`, at least `width` of them (zeros on the
// left), so that they end just before `end`; returns where they start.
constexpr char* write_digits_backwards(char* end, std::uint64_t value, int width) noexcept {
    char* at = end;
    while (value >= 100) {
        at -= 2;
        write_two_digits(at, static_cast<unsigned>(value % 100));
        value /= 100;
    }
    if (value >= 10) {
        at -= 2;
        write_two_digits(at, static_cast<unsigned>(value));
    } else {
        *--at = static_cast<char>('0' + value);
    }
    while (end - at < width) *--at = '0';
    return at;
}

// 10^0 .. 10^19, the powers of ten that fit in 64 bits.
inline constexpr std::uint64_t powers_of_ten[20] = {1,
                                                    10,
                                                    100,
                                                    1000,
                                                    10000,
                                                    100000,
                                                    1000000,
                                                    10000000,
                                                    100000000,
                                                    1000000000,
                                                    10000000000,
                                                    100000000000,
                                                    1000000000000,
                                                    10000000000000,
                                                    100000000000000,
                                                    1000000000000000,
                                                    10000000000000000,
                                                    100000000000000000,
                                                    1000000000000000000,
                                                    10000000000000000000u};

// The number of decimal digits of `value` (1 for 0): from its bit length, a
// first guess (bits * log10(2), as 1233 / 4096), corrected by one comparison.
constexpr int decimal_width(std::uint64_t value) noexcept {
    const int guess = (64 - std::countl_zero(value | 1)) * 1233 >> 12;  // floor(log10(value)) or one less
    return guess + ((value | 1) >= powers_of_ten[guess]);
}

// Writes `value` (below 10^16) in decimal, padded on the left with zeros to
// `width` digits (at most 16): all sixteen digits are made in two words, in
// lanes, which no chain of divisions delays, and the last of them stored.
template <class Out>
constexpr void write_sixteen_digits(Out& out, std::uint64_t value, int width) noexcept {
    const int count = std::max(decimal_width(value), width);
    char* at = out.extend(static_cast<std::size_t>(count));
    if (at == nullptr) return;
    // The digits are the bytes of `high` then those of `low`; the text is
    // their last `count`, stored in whole words (the buffer's slack takes
    // what runs past it).
    const std::uint64_t high = eight_digits_ascii(static_cast<std::uint32_t>(value / 100000000));
    const std::uint64_t low = eight_digits_ascii(static_cast<std::uint32_t>(value % 100000000));
    if (count <= 8) {
        store_le64(at, low >> (8 * (8 - count)));
        return;
    }
    const int skipped = 8 * (16 - count);  // bits of `high` before the text, 0 to 56
    store_le64(at, skipped == 0 ? high : high >> skipped | low << (64 - skipped));
    store_le64(at + count - 8, low);
}

// Writes `value` in decimal, padded on the left with zeros to `width` digits
// (at most 39), straight into the buffer. A value beyond 64 bits is first
// split by 10^19 into pieces of 19 digits (two at most, 2^128 having 39
// digits), so that only those divisions are 128-bit ones.
template <class Out>
constexpr void put_unsigned(Out& out, u128 value, int width = 1) noexcept {
    if (width == 2 && value < 100) {
        if (char* at = out.extend(2)) write_two_digits(at, static_cast<unsigned>(value));
        return;
    }
    if (value < 10000000000000000 && width <= 16) {
        write_sixteen_digits(out, static_cast<std::uint64_t>(value), width);
        return;
    }
    constexpr std::uint64_t ten_to_19 = 10000000000000000000u;
    std::uint64_t pieces[2] = {};  // the lowest 19 digits first
    int count = 0;
    while (value > UINT64_MAX) {
        pieces[count++] = static_cast<std::uint64_t>(value % ten_to_19);
        value /= ten_to_19;
    }
    const auto high = static_cast<std::uint64_t>(value);
    const int high_width = std::max(decimal_width(high), width - 19 * count);
    char* at = out.extend(static_cast<std::size_t>(high_width + 19 * count));
    if (at == nullptr) return;
    char* end = at + high_width;
    write_digits_backwards(end, high, high_width);
    for (int j = 1; j <= count; ++j) write_digits_backwards(end + 19 * j, pieces[count - j], 19);
}

// Writes `value` in decimal with a leading '-' when negative.
template <class Out>
constexpr void put_signed(Out& out, i128 value) noexcept {
    if (value < 0) {
        out.put('-');
        put_unsigned(out, u128{0} - static_cast<u128>(value));
    } else {
        put_unsigned(out, static_cast<u128>(value));
    }
}

}  // namespace kairodex
